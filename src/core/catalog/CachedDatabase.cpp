// SPDX-License-Identifier: GPL-3.0-or-later
#include "CachedDatabase.h"

#include "AppError.h"
#include "DatabaseFormat.h"
#include "ExportFile.h"
#include "FileSystem.h"
#include "ThesaurusLabels.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A stamp is a few lines; anything longer is not one of ours.
constexpr qint64 kStampBytes = 64 * 1024;
// How often a build waiting for another one looks again, and asks whether it is still wanted.
constexpr unsigned long kLockPollMs = 50;

QString StampPath(const InstalledThesaurus& thesaurus) {
    return thesaurus.database + QStringLiteral(".source");
}

QString LockPath(const InstalledThesaurus& thesaurus) {
    return thesaurus.database + QStringLiteral(".lock");
}

// What the importer's output depends on besides its inputs: the schema, the label table and
// the program itself. Any change to one of them rebuilds every cached database.
const QString& ImporterFormat() {
    static const QString format = [] {
        const QByteArray hash =
            QCryptographicHash::hash(ThesaurusLabels::builtInTable(), QCryptographicHash::Sha256);
        return QStringLiteral("format\tschema %1\tlabels %2\tlexigrove %3\n")
            .arg(kSchemaVersion)
            .arg(QString::fromLatin1(hash.toHex().left(16)))
            .arg(QStringLiteral(LEXIGROVE_VERSION));
    }();
    return format;
}

QString FileStamp(const QString& path) {
    const QFileInfo info(path);
    return QStringLiteral("source\t%1\t%2\t%3\n")
        .arg(info.canonicalFilePath())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

// The stamp's lines that do not depend on the database itself.
QString SourceStamp(const InstalledThesaurus& thesaurus) {
    QString stamp = ImporterFormat() + FileStamp(thesaurus.thesaurusFile);
    if (!thesaurus.dictionary.isEmpty()) {
        stamp += FileStamp(thesaurus.dictionary);
        stamp += FileStamp(AffixFileOf(thesaurus.dictionary));
        for (const QString& file : MorphologyFiles(ThesaurusLanguage(thesaurus.thesaurusFile)))
            stamp += FileStamp(file);
    }
    return stamp;
}

// The database as the file system sees it. Size and modification time change with any
// write, copy or truncation; the inode and change time also with a copy that keeps both.
struct DatabaseFile {
    qint64 size = -1;
    qint64 modified = 0;
    qint64 inode = 0;
    qint64 changed = 0;

    static DatabaseFile of(const QString& path) {
        DatabaseFile file;
        struct stat info;
        if (::stat(NativeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode)) {
            file.size = info.st_size;
            file.modified = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
            file.inode = qint64(info.st_ino);
            file.changed = qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
        }
        return file;
    }

    QString line() const {
        return QStringLiteral("database\t%1\t%2\t%3\t%4\n")
            .arg(size)
            .arg(modified)
            .arg(inode)
            .arg(changed);
    }
};

enum class Cached {
    Ready,   // exactly what the build published
    Touched, // the same size and time, but not the same file any more: to be checked
    Stale,   // missing, foreign, damaged, emptied or built from other sources
};

Cached CacheState(const InstalledThesaurus& thesaurus) {
    const DatabaseFile database = DatabaseFile::of(thesaurus.database);
    if (database.size < 0)
        return Cached::Stale;
    QFile file(StampPath(thesaurus));
    if (!file.open(QIODevice::ReadOnly))
        return Cached::Stale;
    const QString stamp = QString::fromUtf8(file.read(kStampBytes));
    const QString sources = SourceStamp(thesaurus);
    if (!stamp.startsWith(sources))
        return Cached::Stale;
    const QStringList built =
        QStringView(stamp).mid(sources.size()).trimmed().toString().split(u'\t');
    const QStringList now = database.line().trimmed().split(u'\t');
    if (built.size() != now.size() || built.value(0) != now.value(0))
        return Cached::Stale;
    if (built.value(1) != now.value(1) || built.value(2) != now.value(2))
        return Cached::Stale;
    return built == now ? Cached::Ready : Cached::Touched;
}

// A database with the build's size and time that is another file now (restored from a
// backup, copied keeping its times) serves only when SQLite finds it whole and it is the
// importer's own, of this schema.
bool SoundDatabase(const QString& path) {
    sqlite3* db = nullptr;
    bool sound = false;
    if (sqlite3_open_v2(NativeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        const auto single = [&](const char* sql) {
            QByteArray value;
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW)
                value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            sqlite3_finalize(statement);
            return value;
        };
        sound = single("PRAGMA application_id") == QByteArray::number(kApplicationId) &&
                single("PRAGMA user_version") == QByteArray::number(kSchemaVersion) &&
                single("PRAGMA quick_check") == "ok";
    }
    sqlite3_close(db);
    return sound;
}

// A dictionary the importer cannot use (Hungarian's rules give more forms than it keeps)
// costs the forms, not the thesaurus: its headwords are still worth having.
void Import(const InstalledThesaurus& thesaurus, const ImportProgress& progress) {
    try {
        ImportThesaurus(thesaurus.thesaurusFile, thesaurus.database, FormsOf(thesaurus), progress);
    } catch (const ThesaurusError& error) {
        if (thesaurus.dictionary.isEmpty() ||
            (error.sourceName() != thesaurus.dictionary &&
             error.sourceName() != AffixFileOf(thesaurus.dictionary)))
            throw;
        ImportThesaurus(thesaurus.thesaurusFile, thesaurus.database, {}, progress);
    }
}

// The stamp of the database as it is now, published as every file the program writes: the
// old stamp stays until this one replaces it, and no longer matches the new database anyway.
void WriteStamp(const InstalledThesaurus& thesaurus, const QString& sources) {
    const QString stamp = sources + DatabaseFile::of(thesaurus.database).line();
    ExportFile file(StampPath(thesaurus));
    try {
        file.open();
        file.writeUtf8(stamp.toUtf8());
        file.commit();
    } catch (const AppError& error) {
        throw ThesaurusError(StampPath(thesaurus), 0, error.description());
    }
}

// One build of a database at a time, among all processes: an flock on a file beside it.
// The holder removes the file before it lets go, so that none stays in the cache; whoever
// then gets the lock of a file no longer there takes the new one. Waiting asks progress at
// 0% every kLockPollMs, so a window closed meanwhile is not kept waiting.
class BuildLock {
  public:
    BuildLock(const InstalledThesaurus& thesaurus, const ImportProgress& progress)
        : path_(NativeName(LockPath(thesaurus))) {
        // The cache folder, for the lock file that goes before the build.
        NewFolders(thesaurus.database).keep();
        const auto fail = [&](const QString& what, int error) {
            if (fd_ >= 0)
                ::close(fd_);
            throw ThesaurusError(thesaurus.database, 0,
                                 what.arg(LockPath(thesaurus), SystemErrorText(error)));
        };
        for (;;) {
            fd_ = ::open(path_.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd_ < 0)
                fail(QStringLiteral("cannot create the lock file %1: %2"), errno);
            while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
                if (errno != EWOULDBLOCK && errno != EINTR)
                    fail(QStringLiteral("cannot lock %1: %2"), errno);
                if (progress && !progress(0)) {
                    ::close(fd_);
                    throw ImportCancelled();
                }
                QThread::msleep(kLockPollMs);
            }
            struct stat held, named;
            if (::fstat(fd_, &held) == 0 && ::stat(path_.constData(), &named) == 0 &&
                held.st_ino == named.st_ino && held.st_dev == named.st_dev)
                return;
            ::close(fd_);
        }
    }
    ~BuildLock() {
        ::unlink(path_.constData());
        ::close(fd_);
    }
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;

  private:
    QByteArray path_;
    int fd_ = -1;
};

// Builds of earlier versions named their unfinished databases "it.mdb.tmp-PID-N".
void RemoveOldTemporaries(const QString& folder) {
    static const QRegularExpression name(QStringLiteral("\\.mdb\\.tmp-(\\d+)-\\d+$"));
    const QDir dir(folder);
    for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden)) {
        const auto match = name.match(file);
        if (match.hasMatch() && ::kill(pid_t(match.captured(1).toLongLong()), 0) != 0 &&
            errno == ESRCH)
            QFile::remove(dir.filePath(file));
    }
}

// Under the lock: what a killed build left behind goes, then the database and its stamp.
void BuildLocked(const InstalledThesaurus& thesaurus, const ImportProgress& progress) {
    const QString folder = QFileInfo(thesaurus.database).absolutePath();
    RemoveAbandonedTemporaries(folder);
    RemoveOldTemporaries(folder);
    // Taken before the import: a thesaurus upgraded during the build gets a rebuild later.
    const QString sources = SourceStamp(thesaurus);
    Import(thesaurus, progress);
    WriteStamp(thesaurus, sources);
}
} // namespace

bool DatabaseReady(const InstalledThesaurus& thesaurus) {
    if (thesaurus.imported())
        return QFileInfo(thesaurus.database).isFile();
    switch (CacheState(thesaurus)) {
    case Cached::Ready:
        return true;
    case Cached::Touched:
        return SoundDatabase(thesaurus.database);
    case Cached::Stale:
        break;
    }
    return false;
}

QString PreparedDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress) {
    if (thesaurus.imported()) {
        if (!DatabaseReady(thesaurus))
            throw ThesaurusError(thesaurus.database, 0, QStringLiteral("not found"));
        return thesaurus.database;
    }
    if (CacheState(thesaurus) == Cached::Ready)
        return thesaurus.database;
    const BuildLock lock(thesaurus, progress);
    // Looked at again: the build that held the lock may have made it ready.
    switch (CacheState(thesaurus)) {
    case Cached::Ready:
        return thesaurus.database;
    case Cached::Touched:
        if (SoundDatabase(thesaurus.database)) {
            // Stamped as it is now, so the check is not made again on every start.
            WriteStamp(thesaurus, SourceStamp(thesaurus));
            return thesaurus.database;
        }
        break;
    case Cached::Stale:
        break;
    }
    BuildLocked(thesaurus, progress);
    return thesaurus.database;
}

FormSources FormsOf(const InstalledThesaurus& thesaurus) {
    return {thesaurus.dictionary, {}};
}
