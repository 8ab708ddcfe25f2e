// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Thesaurus.h"

#include <QStringList>
#include <map>
#include <vector>

// Headwords with one synonym each, enough for the forms to be filed under them.
inline std::vector<ThesaurusEntry> entriesFor(const QStringList& headwords) {
    std::vector<ThesaurusEntry> entries;
    for (const QString& headword : headwords) {
        entries.push_back(
            ThesaurusEntry{headword,
                           {ThesaurusSynonym{QStringLiteral("x"), QStringLiteral("noun"),
                                             QStringLiteral("synonym"), QString(), 1, true}}});
    }
    return entries;
}

// The headword keys each form key is filed under.
inline std::map<QString, QStringList> basesByForm(const std::vector<InflectedForm>& forms) {
    std::map<QString, QStringList> bases;
    for (const InflectedForm& form : forms)
        bases[form.key] << form.baseKey;
    return bases;
}

// The headword keys the dictionary dic files form under, among these headwords.
inline QStringList filedUnder(const QString& dic, const QStringList& headwords,
                              const QString& form) {
    const auto found = basesByForm(FindInflectedForms(entriesFor(headwords), FormSources{dic, {}}));
    const auto it = found.find(WordKey(form));
    return it == found.end() ? QStringList() : it->second;
}
