// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThesaurusCatalog.h"

#include <QString>
#include <QStringList>
#include <functional>

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
// terminal and not `quiet`. A wait for another process's build is told once through notice,
// wherever standard error goes, so that a script does not take it for a hang. Throws
// AppError naming the thesaurus and the reason.
QString PreparedLanguageDatabase(const InstalledThesaurus& thesaurus, bool quiet,
                                 const std::function<void(const QString&)>& notice);
