// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One language the program can look words up in: an installed MyThes thesaurus (with the
// Hunspell dictionary of its language where one is installed), built on first use into a
// database in the user's cache; or a database the user imported.
struct InstalledThesaurus {
    // "fr", "de", "en_US": the language, with the region only where the language has
    // several thesauri. An imported database: its file name without ".mdb".
    QString code;
    // The language named in itself: "Français", "English (United States)".
    QString name;
    QString thesaurusFile; // the .dat; empty for an imported database
    QString dictionary;    // the Hunspell .dic, or empty
    QString database;      // where the synonym database is (imported) or is built (cache)
    // Every locale the thesaurus serves ("es_AR", "es_ES", ...), for matching a code.
    QStringList locales;

    bool imported() const { return thesaurusFile.isEmpty(); }
    // What the settings remember of a choice: the code, or an imported database's path.
    QString key() const { return imported() ? database : code; }
};

// Where thesauri, dictionaries and databases are looked for and built.
struct CatalogPlaces {
    QStringList thesaurusFolders;  // MyThes .dat files
    QStringList dictionaryFolders; // Hunspell .dic/.aff
    QString importedFolder;        // databases the user imported
    QString cacheFolder;           // databases built from installed thesauri

    // /usr/share/mythes and "mythes" under each XDG data folder, the same for
    // "hunspell", $XDG_DATA_HOME/lexigrove and $XDG_CACHE_HOME/lexigrove.
    static CatalogPlaces standard();
};

// The locale a thesaurus file's name gives ("th_en_US_v2.dat": "en_US") and the locale named
// as the list names languages ("English (United States)"); both empty when the name gives none.
struct FileLanguage {
    QString locale;
    QString name;
};
FileLanguage LanguageOfThesaurusFile(const QString& path);

// Every thesaurus found, installed ones by name, then imported ones. Files that are the
// same thesaurus (links, identical copies under several regions' names) appear once.
QList<InstalledThesaurus> FindThesauri(const CatalogPlaces& places);

// The thesaurus that serves a language code best, as QLocale matches languages: the exact
// locale, else the language's thesaurus for the code's likely region, else the language's
// first; "de-CH", "de_CH" and "DE_ch" are the same. Null when none serves the language, and
// for anything but such a code or a thesaurus's own (a path, a locale with an encoding).
const InstalledThesaurus* MatchLanguage(const QList<InstalledThesaurus>& thesauri,
                                        const QString& code);
