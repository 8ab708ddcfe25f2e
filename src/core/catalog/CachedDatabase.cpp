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
#include <utility>

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

// Only the user's own regular files in the cache count, and only those nobody else may
// write: a link, a pipe or a file another could have edited is rebuilt over.
bool OwnFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 022) == 0;
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
        if (::lstat(NativeName(path).constData(), &info) == 0 && OwnFile(info)) {
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
    bool notRegular = false;
    const int fd = OpenRegularFileForReading(StampPath(thesaurus), notRegular, false);
    struct stat info;
    if (fd < 0)
        return Cached::Stale;
    QByteArray bytes(kStampBytes, Qt::Uninitialized);
    const ssize_t got = ::fstat(fd, &info) == 0 && OwnFile(info)
                            ? ReadSome(fd, bytes.data(), bytes.size(), 0)
                            : -1;
    ::close(fd);
    if (got < 0)
        return Cached::Stale;
    const QString stamp = QString::fromUtf8(bytes.left(got));
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
        ImportThesaurus(thesaurus.thesaurusFile, thesaurus.database, FormsOf(thesaurus), progress,
                        FileOwner::Program);
    } catch (const ThesaurusError& error) {
        if (thesaurus.dictionary.isEmpty() ||
            (error.sourceName() != thesaurus.dictionary &&
             error.sourceName() != AffixFileOf(thesaurus.dictionary)))
            throw;
        ImportThesaurus(thesaurus.thesaurusFile, thesaurus.database, {}, progress,
                        FileOwner::Program);
    }
}

// The stamp of the database as it is now, published as every file the program writes: the
// old stamp stays until this one replaces it, and no longer matches the new database anyway.
void WriteStamp(const InstalledThesaurus& thesaurus, const QString& sources) {
    const QString stamp = sources + DatabaseFile::of(thesaurus.database).line();
    ExportFile file(StampPath(thesaurus), FileOwner::Program);
    try {
        file.open();
        file.writeUtf8(stamp.toUtf8());
        file.commit();
    } catch (const AppError& error) {
        throw ThesaurusError(StampPath(thesaurus), 0, error.description());
    }
}

// The cache folder, made for the user alone, and closed to others again where an earlier
// version or the umask left it open (one made read-only stays so). Another's is not used.
void PrivateCacheFolder(const InstalledThesaurus& thesaurus) {
    NewFolders(thesaurus.database, FileOwner::Program).keep();
    const QString folder = QFileInfo(thesaurus.database).absolutePath();
    struct stat info;
    if (::stat(NativeName(folder).constData(), &info) != 0)
        return; // the build itself fails on it and says why
    if (info.st_uid != ::geteuid())
        throw ThesaurusError(thesaurus.database, 0,
                             QStringLiteral("the folder %1 belongs to another user").arg(folder));
    if ((info.st_mode & 077) != 0)
        ::chmod(NativeName(folder).constData(), info.st_mode & 0700);
}

// One build of a database at a time, among all processes: an flock on a file beside it.
// The holder removes the file before it lets go, so that none stays in the cache; whoever
// then gets the lock of a file no longer there takes the new one. Waiting tells waiting once
// and asks progress at 0% every kLockPollMs, so a window closed meanwhile is not kept
// waiting; atOnce does not wait, and leaves the lock not held() when another has it.
class BuildLock {
  public:
    BuildLock(const InstalledThesaurus& thesaurus, const ImportProgress& progress,
              const std::function<void()>& waiting, bool atOnce = false)
        : path_(NativeName(LockPath(thesaurus))) {
        const auto fail = [&](const QString& what, int error) {
            if (fd_ >= 0)
                ::close(fd_);
            throw ThesaurusError(thesaurus.database, 0,
                                 what.arg(LockPath(thesaurus), SystemErrorText(error)));
        };
        PrivateCacheFolder(thesaurus);
        bool told = false;
        for (int replaced = 0;;) {
            fd_ = ::open(path_.constData(),
                         O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
            if (fd_ < 0 && errno != ELOOP)
                fail(QStringLiteral("cannot create the lock file %1: %2"), errno);
            struct stat held, named;
            if (fd_ < 0 || ::fstat(fd_, &held) != 0 || !OwnFile(held)) {
                // A link, a pipe or a file open to others has the name: the name goes, and
                // nothing it leads to is touched.
                if (fd_ >= 0)
                    ::close(std::exchange(fd_, -1));
                if (++replaced > 3 || (::unlink(path_.constData()) != 0 && errno != ENOENT))
                    fail(QStringLiteral("cannot create the lock file %1: %2"), EEXIST);
                continue;
            }
            while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
                if (errno != EWOULDBLOCK && errno != EINTR)
                    fail(QStringLiteral("cannot lock %1: %2"), errno);
                if (atOnce) {
                    ::close(std::exchange(fd_, -1));
                    return;
                }
                if (!told && waiting) {
                    told = true;
                    waiting();
                }
                if (progress && !progress(0)) {
                    ::close(fd_);
                    throw ImportCancelled();
                }
                QThread::msleep(kLockPollMs);
            }
            if (::lstat(path_.constData(), &named) == 0 && held.st_ino == named.st_ino &&
                held.st_dev == named.st_dev)
                return;
            ::close(std::exchange(fd_, -1));
        }
    }
    ~BuildLock() {
        if (fd_ < 0)
            return;
        ::unlink(path_.constData());
        ::close(fd_);
    }
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    QByteArray path_;
    int fd_ = -1;
};

// A database that passes its check is served; its stamp is renewed when that can be done at
// once, so that the check is not made again on every start, and is left as it is where it
// cannot (a read-only cache, a build under way).
bool ServeTouched(const InstalledThesaurus& thesaurus) {
    if (!SoundDatabase(thesaurus.database))
        return false;
    try {
        const BuildLock lock(thesaurus, {}, {}, true);
        if (lock.held() && CacheState(thesaurus) == Cached::Touched)
            WriteStamp(thesaurus, SourceStamp(thesaurus));
    } catch (const std::exception&) {
    }
    return true;
}

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
        return ServeTouched(thesaurus);
    case Cached::Stale:
        break;
    }
    return false;
}

QString PreparedDatabase(const InstalledThesaurus& thesaurus, const ImportProgress& progress,
                         const std::function<void()>& waiting) {
    if (thesaurus.imported()) {
        if (!DatabaseReady(thesaurus))
            throw ThesaurusError(thesaurus.database, 0, QStringLiteral("not found"));
        return thesaurus.database;
    }
    if (DatabaseReady(thesaurus))
        return thesaurus.database;
    const BuildLock lock(thesaurus, progress, waiting);
    // Looked at again: the build that held the lock may have made it ready.
    if (CacheState(thesaurus) != Cached::Ready)
        BuildLocked(thesaurus, progress);
    return thesaurus.database;
}

FormSources FormsOf(const InstalledThesaurus& thesaurus) {
    return {thesaurus.dictionary, {}};
}
