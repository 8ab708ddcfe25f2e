// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What both programs say about themselves in --version and --help, kept in
// one place so the window's About text, the manual pages and the package
// can be checked against it.
namespace program_info {

inline constexpr char kVersion[] = LEXIGROVE_VERSION;
inline constexpr char kHomePage[] = "https://lexigrove.org/";
inline constexpr char kBugReports[] = "https://lexigrove.org/bugs";

// The lines after "NAME VERSION" in --version, as GNU programs print them.
inline constexpr char kCopyrightLines[] =
    "Copyright (C) 2026 The Lexigrove developers.\n"
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// The last lines of --help.
inline constexpr char kHelpFooter[] = "\nReport bugs to: <https://lexigrove.org/bugs>\n"
                                      "Lexigrove home page: <https://lexigrove.org/>\n";

} // namespace program_info
