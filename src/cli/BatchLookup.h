#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct CommandLine;

// Runs `lexigrove --lookup ...`: opens every word file and the database
// (command.database, or words.mdb in applicationFolder), then looks each
// word up as its line arrives, as the window's lookup run does, and writes
// the rows in the chosen format as they are made (WordStream.h).
// Returns the exit status; failures are told on standard error, and a
// closed standard output ends the program as SIGPIPE does.
int RunBatchLookup(const CommandLine& command, const QString& applicationFolder);

// The command line's own entry point, with no QApplication and no display:
// prints help, version or a usage error, or runs the lookup.
int RunCommandLine(const CommandLine& command, int& argc, char* argv[]);
