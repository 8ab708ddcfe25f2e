// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct CommandLine;

// Runs `lexigrove --lookup ...`: checks every word file and the output
// against everything read, then opens the database (command.database, the
// language's, built on first use, or words.mdb in applicationFolder) and
// looks each word up as its line arrives, as the window's lookup run does,
// one word file open at a time, writing the rows in the chosen format as
// they are made (WordStream.h).
// Returns the exit status; failures are told on standard error, and a
// closed standard output ends the program as SIGPIPE does.
int RunBatchLookup(const CommandLine& command, const QString& applicationFolder);

// The command line's own entry point, with no QApplication and no display:
// prints help, version or a usage error, or runs the lookup.
int RunCommandLine(const CommandLine& command, int& argc, char* argv[]);
