// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Thesaurus.h"

#include <QDir>
#include <QFile>
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

// An .aff whose n prefixes (P), suffixes (A) and second suffixes (B) each apply to every word,
// on one another: a stem that carries A and P has n + n² forms, n times as many with a prefix.
inline QByteArray CostlyAffixes(int n) {
    const QByteArray count = QByteArray::number(n);
    QByteArray aff =
        "SET UTF-8\nPFX P Y " + count + "\nSFX A Y " + count + "\nSFX B Y " + count + '\n';
    for (int i = 0; i < n; ++i)
        aff += "PFX P 0 p" + QByteArray::number(i) + " .\nSFX A 0 a" + QByteArray::number(i) +
               "/B .\nSFX B 0 b" + QByteArray::number(i) + " .\n";
    return aff;
}

// th_xx.dat, xx.aff and xx.dic in folder: stems u, v and w with A and P, each a kStems headword.
inline const QByteArray kStems = "UTF-8\nu|1\n(noun)|x\nv|1\n(noun)|x\nw|1\n(noun)|x\n";
inline bool WriteStems(const QString& folder, const QByteArray& dat, const QByteArray& aff) {
    for (const auto& [name, text] : {std::pair{"th_xx.dat", dat},
                                     {"xx.aff", aff},
                                     {"xx.dic", QByteArray("3\nu/AP\nv/AP\nw/AP\n")}}) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return false;
    }
    return true;
}

// The headword keys each form key is filed under (a headword's marks are no form).
inline std::map<QString, QStringList> basesByForm(const InflectedForms& found) {
    std::map<QString, QStringList> bases;
    for (const InflectedForm& form : found.forms) {
        if (form.key != form.baseKey)
            bases[form.key] << form.baseKey;
    }
    return bases;
}

// The headword keys the dictionary dic files form under, among these headwords.
inline QStringList filedUnder(const QString& dic, const QStringList& headwords,
                              const QString& form) {
    const auto found = basesByForm(FindInflectedForms(entriesFor(headwords), FormSources{dic, {}}));
    const auto it = found.find(WordKey(form));
    return it == found.end() ? QStringList() : it->second;
}

// A database whose elisions ("l'", "dell'" before a vowel, crossed with a plural) pass a limit
// of three forms, so that they are kept as marks on the words they stand before: "amico" and
// its plural "amici", "uomo"; not "casa". "dell'uomo" is a headword of its own, and "ridire"
// is filed form by form.
inline QString BuildElisionDatabase(const QString& folder) {
    const QDir dir(folder);
    const auto write = [&](const char* name, const QByteArray& text) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    write("xx.aff", "SET UTF-8\nPFX E Y 2\nPFX E 0 l' [aeiou]\nPFX E 0 dell' [aeiou]\n"
                    "PFX R Y 1\nPFX R 0 ri .\nSFX S Y 1\nSFX S o i o\n");
    write("xx.dic", "4\namico/ES\nuomo/E\ncasa/E\ndire/R\n");
    write("th_xx.dat", "UTF-8\namico|1\n(noun)|compagno|socio\ncasa|1\n(noun)|dimora\n"
                       "dell'uomo|1\n(noun)|umanità\ndire|1\n(verb)|parlare\n"
                       "uomo|1\n(noun)|persona|compagno\n");
    const auto entries = ReadThesaurus(dir.filePath(QStringLiteral("th_xx.dat")), QString());
    const QString target = dir.filePath(QStringLiteral("xx.mdb"));
    WriteSynonymDatabase(
        entries, target,
        FindInflectedForms(entries, FormSources{dir.filePath(QStringLiteral("xx.dic")), {}}, {}, 3));
    return target;
}
