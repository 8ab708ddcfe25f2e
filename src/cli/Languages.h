// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThesaurusCatalog.h"

#include <QString>
#include <QStringList>

class TextOutput;

// A --language that names no installed thesaurus: a usage error, whose text lists the
// installed codes.
struct NoSuchLanguage {
    QString text;
};

// `lexigrove --languages`: one line per installed thesaurus, tab-separated: code, name,
// "built" or "not built", and the thesaurus file (the database, for one the user imported).
void ListLanguages(TextOutput& out);

// The installed thesaurus that serves `--language CODE`, without building anything.
// Throws NoSuchLanguage.
InstalledThesaurus ChosenThesaurus(const QString& code);

// Its database, built on first use with its progress on standard error when that is a
// terminal and not `quiet`. Throws AppError naming the thesaurus and the reason.
QString PreparedLanguageDatabase(const InstalledThesaurus& thesaurus, bool quiet);
