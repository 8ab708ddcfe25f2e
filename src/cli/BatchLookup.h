#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct CommandLine;

// The entries of a word file read by the command line: the window's rules
// (WordListText.h), except that the line end closing the text gives no
// empty entry after it, as Unix tools read lines.
QStringList CommandLineEntries(const QByteArray& fileBytes);

// Runs `lexigrove --lookup ...`: reads every word file, opens the database
// (command.database, or words.mdb in applicationFolder), looks every word up
// as the window's lookup run does and writes the rows in the chosen format.
// Returns the exit status; failures are told on standard error, and a
// closed standard output ends the program as SIGPIPE does.
int RunBatchLookup(const CommandLine& command, const QString& applicationFolder);

// The command line's own entry point, with no QApplication and no display:
// prints help, version or a usage error, or runs the lookup.
int RunCommandLine(const CommandLine& command, int& argc, char* argv[]);
