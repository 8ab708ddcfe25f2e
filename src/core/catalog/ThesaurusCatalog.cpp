// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThesaurusCatalog.h"

#include "FileSystem.h"
#include "Paths.h"
#include "Thesaurus.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>

namespace {
const QString kFolder = QStringLiteral("lexigrove");

// "th_fr_FR_v2.dat", "thes_fr.dat", "th_pt_BR.dat", "th_gug_PY_v2.dat" -> the locale.
QString LocaleOfFileName(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^th(?:es)?_([a-z]{2,3}(?:_[A-Z]{2})?)(?:_v\\d+)?\\.dat$"));
    const auto match = pattern.match(fileName);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString LanguagePart(const QString& locale) {
    return locale.section(u'_', 0, 0);
}

QString CapitalisedFirst(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

bool Nameable(const QString& language) {
    const QLocale::Language known = QLocale::codeToLanguage(language);
    return known != QLocale::AnyLanguage && known != QLocale::C;
}

// The language named in itself; a code Qt does not know stays as it is.
QString LanguageName(const QString& language) {
    if (!Nameable(language))
        return language;
    const QLocale::Language known = QLocale::codeToLanguage(language);
    // Qt names some languages after their home region ("español de España", "American
    // English"); the name most of the language's locales give is the plain one.
    QHash<QString, int> votes;
    QString plain;
    for (const QLocale& locale :
         QLocale::matchingLocales(known, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const QString name = locale.nativeLanguageName();
        if (++votes[name] > votes.value(plain))
            plain = name;
    }
    return CapitalisedFirst(plain.isEmpty() ? QLocale(known).nativeLanguageName() : plain);
}

// "de_CH" -> "Deutsch (Schweiz)".
QString LanguageAndRegionName(const QString& locale) {
    const QString language = LanguagePart(locale);
    const QString region = locale.section(u'_', 1, 1);
    const QString name = LanguageName(language);
    if (region.isEmpty())
        return name;
    const QLocale::Territory territory = QLocale::codeToTerritory(region);
    QString regionName;
    if (territory != QLocale::AnyTerritory)
        regionName = QLocale(QLocale::codeToLanguage(language), territory).nativeTerritoryName();
    return QStringLiteral("%1 (%2)").arg(name, regionName.isEmpty() ? region : regionName);
}

// Read side by side up to the first difference: regional variants of a thesaurus (Swiss
// German spells ss for ß) often have the same size and differ early.
bool SameContent(const QString& one, const QString& other) {
    QFile a(one), b(other);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return false;
    while (!a.atEnd()) {
        const QByteArray left = a.read(kChunkBytes);
        if (left.isEmpty() || left != b.read(kChunkBytes))
            return false;
    }
    return b.atEnd();
}

// One thesaurus as found: its real file and every locale whose name leads to it.
struct Found {
    QString file;
    qint64 size = 0;
    QStringList locales;
};

QList<Found> FindThesaurusFiles(const QStringList& folders) {
    QMap<QString, Found> byFile; // canonical path -> thesaurus, in a stable order
    for (const QString& folder : folders) {
        const QFileInfoList files = QDir(folder).entryInfoList(
            {QStringLiteral("*.dat")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo& info : files) {
            const QString locale = LocaleOfFileName(info.fileName());
            const QString real = info.canonicalFilePath();
            if (locale.isEmpty() || real.isEmpty())
                continue;
            Found& found = byFile[real];
            found.file = real;
            found.size = info.size();
            if (!found.locales.contains(locale))
                found.locales.append(locale);
        }
    }
    // Copies under several names (same size, same bytes) are one thesaurus; only files of
    // equal size are ever read to tell.
    QList<Found> result;
    for (const Found& found : std::as_const(byFile)) {
        const auto same = std::find_if(result.begin(), result.end(), [&](const Found& earlier) {
            return earlier.size == found.size && SameContent(earlier.file, found.file);
        });
        if (same == result.end()) {
            result.append(found);
            continue;
        }
        for (const QString& locale : found.locales)
            if (!same->locales.contains(locale))
                same->locales.append(locale);
    }
    for (Found& found : result)
        found.locales.sort();
    return result;
}

QString FindDictionary(const QStringList& folders, const QStringList& locales) {
    for (const QString& locale : locales)
        for (const QString& folder : folders) {
            const QString dictionary = QDir(folder).filePath(locale + QStringLiteral(".dic"));
            if (QFileInfo(dictionary).isFile() && QFileInfo(AffixFileOf(dictionary)).isFile())
                return dictionary;
        }
    return {};
}

QList<InstalledThesaurus> ImportedDatabases(const QString& folder) {
    QList<InstalledThesaurus> result;
    if (folder.isEmpty())
        return result;
    const QDir dir(folder);
    const auto add = [&](const QString& code, const QString& path) {
        InstalledThesaurus imported;
        imported.code = code;
        imported.name =
            QStringLiteral("%1 (%2)").arg(LanguageAndRegionName(code), dir.relativeFilePath(path));
        imported.database = path;
        imported.locales = {code};
        result.append(imported);
    };
    // fr.mdb, or fr/words.mdb as the importer's own help suggests.
    for (const QFileInfo& info :
         dir.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files | QDir::Readable, QDir::Name))
        add(info.completeBaseName(), info.absoluteFilePath());
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QFileInfo words(QDir(sub.absoluteFilePath()).filePath(QStringLiteral("words.mdb")));
        if (words.isFile() && words.isReadable())
            add(sub.fileName(), words.absoluteFilePath());
    }
    return result;
}

QString Normalised(const QString& code) {
    QString language = LanguagePart(QString(code).replace(u'-', u'_')).toLower();
    QString region = QString(code).replace(u'-', u'_').section(u'_', 1, 1).toUpper();
    return region.isEmpty() ? language : language + u'_' + region;
}

bool Serves(const InstalledThesaurus& thesaurus, const QString& locale) {
    return thesaurus.code.compare(locale, Qt::CaseInsensitive) == 0 ||
           thesaurus.locales.contains(locale, Qt::CaseInsensitive);
}

bool ServesLanguage(const InstalledThesaurus& thesaurus, const QString& language) {
    return std::any_of(thesaurus.locales.begin(), thesaurus.locales.end(),
                       [&](const QString& locale) { return LanguagePart(locale) == language; });
}
} // namespace

CatalogPlaces CatalogPlaces::standard() {
    CatalogPlaces places;
    const QString dataHome = XdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
    const auto under = [&](const QString& name) {
        QStringList folders{QStringLiteral("/usr/share/") + name};
        for (const QString& data : QStringList{dataHome} + XdgDataFolders()) {
            const QString folder = QDir(data).filePath(name);
            if (!folders.contains(folder))
                folders.append(folder);
        }
        return folders;
    };
    places.thesaurusFolders = under(QStringLiteral("mythes"));
    places.dictionaryFolders = under(QStringLiteral("hunspell"));
    places.importedFolder = QDir(dataHome).filePath(kFolder);
    places.cacheFolder =
        QDir(XdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache"))).filePath(kFolder);
    return places;
}

FileLanguage LanguageOfThesaurusFile(const QString& path) {
    const QString locale = LocaleOfFileName(QFileInfo(path).fileName());
    return {locale, locale.isEmpty() ? QString() : LanguageAndRegionName(locale)};
}

QList<InstalledThesaurus> FindThesauri(const CatalogPlaces& places) {
    const QList<Found> found = FindThesaurusFiles(places.thesaurusFolders);
    QHash<QString, int> perLanguage;
    for (const Found& thesaurus : found)
        ++perLanguage[LanguagePart(thesaurus.locales.first())];

    QList<InstalledThesaurus> result;
    for (const Found& thesaurus : found) {
        const QString language = LanguagePart(thesaurus.locales.first());
        // The region appears only where it tells two thesauri of a language apart; it is
        // then the one the real file is named after.
        QString own = LocaleOfFileName(QFileInfo(thesaurus.file).fileName());
        if (!thesaurus.locales.contains(own))
            own = thesaurus.locales.first();
        InstalledThesaurus entry;
        entry.code = perLanguage.value(language) > 1 && own.contains(u'_') ? own : language;
        // A code alone says little to a user; the file tells where it came from.
        entry.name =
            Nameable(language)
                ? LanguageAndRegionName(entry.code)
                : QStringLiteral("%1 (%2)").arg(entry.code, QFileInfo(thesaurus.file).fileName());
        entry.thesaurusFile = thesaurus.file;
        entry.locales = thesaurus.locales;
        QStringList candidates{own};
        candidates += thesaurus.locales;
        candidates.append(language);
        entry.dictionary = FindDictionary(places.dictionaryFolders, candidates);
        entry.database = QDir(places.cacheFolder).filePath(entry.code + QStringLiteral(".mdb"));
        result.append(entry);
    }
    // Names in many scripts: an order that puts "Íslenska" beside "Italiano" whatever the
    // user's own locale.
    QCollator collator{QLocale(QLocale::English)};
    std::sort(result.begin(), result.end(),
              [&](const auto& a, const auto& b) { return collator.compare(a.name, b.name) < 0; });
    // With XDG_DATA_HOME the same as XDG_CACHE_HOME, the installed ones' databases lie among
    // the imported ones: each is listed once, as what it is.
    const qsizetype installed = result.size();
    for (const InstalledThesaurus& imported : ImportedDatabases(places.importedFolder))
        if (std::none_of(result.cbegin(), result.cbegin() + installed, [&](const auto& t) {
                return QFileInfo(t.database).absoluteFilePath() == imported.database;
            }))
            result.append(imported);
    return result;
}

const InstalledThesaurus* MatchLanguage(const QList<InstalledThesaurus>& thesauri,
                                        const QString& code) {
    const QString wanted = Normalised(code);
    if (wanted.isEmpty())
        return nullptr;
    // A thesaurus of the code itself ("fr_BE" is th_fr_BE) before one that only lists the
    // code among the regions it serves.
    for (const InstalledThesaurus& thesaurus : thesauri)
        if (Normalised(thesaurus.code) == wanted)
            return &thesaurus;
    // Otherwise a language code and nothing more: "en_US/../fr" is none.
    static const QRegularExpression plain(
        QStringLiteral("^[A-Za-z]{2,3}(?:[-_](?:[A-Za-z]{2}|[0-9]{3}))?$"));
    if (!plain.match(code).hasMatch())
        return nullptr;
    for (const InstalledThesaurus& thesaurus : thesauri)
        if (Serves(thesaurus, wanted))
            return &thesaurus;
    // Qt's own aliases ("no" is Norwegian Bokmål, "nb") and the region a language is most
    // likely spoken in ("pt" is Brazil's, "en" the United States').
    const QLocale likely(wanted);
    QString language = LanguagePart(wanted);
    if (likely.language() != QLocale::C &&
        std::none_of(thesauri.begin(), thesauri.end(),
                     [&](const auto& t) { return ServesLanguage(t, language); }))
        language = QLocale::languageToCode(likely.language());
    const InstalledThesaurus* first = nullptr;
    for (const InstalledThesaurus& thesaurus : thesauri) {
        if (!ServesLanguage(thesaurus, language))
            continue;
        if (likely.language() != QLocale::C &&
            Serves(thesaurus, language + u'_' + QLocale::territoryToCode(likely.territory())))
            return &thesaurus;
        if (!first)
            first = &thesaurus;
    }
    return first;
}
