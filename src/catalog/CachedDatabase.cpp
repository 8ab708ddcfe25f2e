#include "CachedDatabase.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

// Where inflected forms come from for a built database: the dictionary of the language,
// with every form it generates, once the importer reads a dictionary without a word list.
// Until then these databases hold the headwords only (the dictionary still counts in the
// stamp, so they are rebuilt when it changes).
FormSources FormsOf(const InstalledThesaurus&) {
    return {};
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
    ImportThesaurus(thesaurus.thesaurusFile, thesaurus.database, FormsOf(thesaurus), progress);
    QSaveFile file(StampPath(thesaurus));
    if (!file.open(QIODevice::WriteOnly) || file.write(stamp.toUtf8()) < 0 || !file.commit())
        throw ThesaurusError(file.fileName(), 0,
                             QStringLiteral("cannot write: %1").arg(file.errorString()));
}

QString PreparedDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress) {
    if (!DatabaseReady(thesaurus)) {
        if (thesaurus.imported())
            throw ThesaurusError(thesaurus.database, 0, QStringLiteral("not found"));
        BuildDatabase(thesaurus, progress);
    }
    return thesaurus.database;
}
