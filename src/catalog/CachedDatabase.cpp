#include "CachedDatabase.h"

#include "AppError.h"
#include "ExportFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {
// Bumped when the importer files words differently, so databases built before are rebuilt.
constexpr int kFormat = 1;

QString StampPath(const InstalledThesaurus& thesaurus) {
    return thesaurus.database + QStringLiteral(".source");
}

QString FileStamp(const QString& path) {
    const QFileInfo info(path);
    return QStringLiteral("%1\t%2\t%3\n")
        .arg(info.canonicalFilePath())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

QString SourceStamp(const InstalledThesaurus& thesaurus) {
    QString stamp =
        QStringLiteral("lexigrove %1\n").arg(kFormat) + FileStamp(thesaurus.thesaurusFile);
    if (!thesaurus.dictionary.isEmpty()) {
        stamp += FileStamp(thesaurus.dictionary);
        stamp += FileStamp(thesaurus.dictionary.chopped(4) + QStringLiteral(".aff"));
    }
    return stamp;
}

// Where inflected forms come from for a built database: every form the language's
// dictionary generates from a headword.
FormSources FormsOf(const InstalledThesaurus& thesaurus) {
    return {thesaurus.dictionary, {}};
}

// A dictionary the importer cannot use (Hungarian's rules give more forms than it keeps)
// costs the forms, not the thesaurus: its headwords are still worth having.
void Import(const InstalledThesaurus& thesaurus, const ImportProgress& progress) {
    try {
        ImportThesaurus(thesaurus.thesaurusFile, thesaurus.database, FormsOf(thesaurus), progress);
    } catch (const ThesaurusError& error) {
        const QString affixes = thesaurus.dictionary.chopped(4) + QStringLiteral(".aff");
        if (thesaurus.dictionary.isEmpty() ||
            (error.sourceName() != thesaurus.dictionary && error.sourceName() != affixes))
            throw;
        ImportThesaurus(thesaurus.thesaurusFile, thesaurus.database, {}, progress);
    }
}
} // namespace

bool DatabaseReady(const InstalledThesaurus& thesaurus) {
    if (thesaurus.imported())
        return QFileInfo(thesaurus.database).isFile();
    QFile stamp(StampPath(thesaurus));
    return QFileInfo(thesaurus.database).isFile() && stamp.open(QIODevice::ReadOnly) &&
           QString::fromUtf8(stamp.readAll()) == SourceStamp(thesaurus);
}

void BuildDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress) {
    // The stamp goes first, so a database replaced by a build that fails halfway is never
    // taken for a finished one.
    QFile::remove(StampPath(thesaurus));
    const QString stamp = SourceStamp(thesaurus);
    Import(thesaurus, progress);
    ExportFile file(StampPath(thesaurus));
    try {
        file.open();
        file.writeUtf8(stamp.toUtf8());
        file.commit();
    } catch (const AppError& error) {
        throw ThesaurusError(StampPath(thesaurus), 0, error.description());
    }
}

QString PreparedDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress) {
    if (!DatabaseReady(thesaurus)) {
        if (thesaurus.imported())
            throw ThesaurusError(thesaurus.database, 0, QStringLiteral("not found"));
        BuildDatabase(thesaurus, progress);
    }
    return thesaurus.database;
}
