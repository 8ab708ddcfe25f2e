#pragma once

#include <QString>

// `lexigrove --languages`: one line per installed thesaurus on standard output, tab-separated:
// code, name, "built" or "not built", and the thesaurus file (the database, for one the user
// imported). Returns the exit status.
int ListLanguages();

// The database for `--language CODE`: the closest installed thesaurus's, built on first use
// with its progress on standard error when that is a terminal. Empty when there is none: the
// reason is told on standard error and *status holds the exit status (2: no such language,
// listing the installed codes; 1: the build failed).
QString LanguageDatabase(const QString& code, int* status);
