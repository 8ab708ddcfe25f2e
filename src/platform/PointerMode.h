// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's pointer mode. Busy is the program's only busy flag: the
// word-list removal handlers idle and the hover pointer keeps away while it holds.
namespace PointerMode {
constexpr int Plain = 0;
constexpr int Busy = 11;
constexpr int Hand = 99;
} // namespace PointerMode
