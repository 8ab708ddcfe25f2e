// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportFile.h"

#include "AppError.h"
#include "FileSystem.h"
#include "Paths.h"
#include "ShellQuote.h"
#include "Utf8Text.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

QByteArray folderOf(const QByteArray& file) {
    const qsizetype slash = file.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : file.left(slash);
}

constexpr char kTemporaryPrefix[] = ".lexigrove-";

// True while name is the file open as fd.
bool stillNamed(const QByteArray& name, int fd) {
    struct stat named, open;
    return ::lstat(name.constData(), &named) == 0 && ::fstat(fd, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// A new file of our own in folder, locked for as long as it is open, or -1
// with errno set. A cleaner may have taken the lock between the creation and
// ours and removed the name: then it is made again.
int createIn(const QByteArray& folder, QByteArray& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + '/' + kTemporaryPrefix + "XXXXXX";
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return -1;
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        if (stillNamed(name, fd))
            return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// As given: Qt's temporary folder falls back to another one when it is missing.
QByteArray temporaryFolder() {
    const QByteArray folder = qgetenv("TMPDIR");
    return folder.isEmpty() ? QByteArray("/tmp") : folder;
}

// Where the old content of a file that is written in place waits until the
// new content is complete: a folder of the user's alone, kept across a
// restart, where nobody else can plant a name that would block a save and
// the user can always remove what it holds.
QByteArray backupFolder() {
    return NativeName(XdgFolder("XDG_STATE_HOME", QStringLiteral(".local/state"))) +
           "/lexigrove/backups";
}

// True when the folder is the user's alone, made first (with the folders
// above it) when create is; false with errno set when what has its name is
// another's, or open to others.
bool ownBackupFolder(bool create) {
    const QByteArray folder = backupFolder();
    for (qsizetype end = 0; create && end < folder.size();) {
        end = folder.indexOf('/', end + 1);
        if (end < 0)
            end = folder.size();
        if (::mkdir(folder.first(end).constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info;
    if (::lstat(folder.constData(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

// What tells a file apart from one that later has its inode: its birth time,
// where the file system keeps one (0 elsewhere).
long long birthOf(int fd) {
    struct statx info;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &info) != 0 || !(info.stx_mask & STATX_BTIME))
        return 0;
    return info.stx_btime.tv_sec * 1'000'000'000LL + info.stx_btime.tv_nsec;
}

// The start of a backup's name: the file it was made for.
QByteArray backupPrefix(const struct stat& file) {
    return QByteArray::number(file.st_dev) + '-' + QByteArray::number(file.st_ino) + '-';
}

// The backup of the file open as fd left by an earlier save, or nothing. Only
// a complete one counts, of the user's own, whose name records this file's
// device, inode and birth time, and the size it has itself.
QByteArray backupFor(int fd) {
    struct stat file;
    if (::fstat(fd, &file) != 0)
        return {};
    const QByteArray folder = backupFolder();
    DIR* listing = ownBackupFolder(false) ? ::opendir(folder.constData()) : nullptr;
    if (listing == nullptr)
        return {};
    const QByteArray prefix = backupPrefix(file);
    const long long birth = birthOf(fd);
    QByteArray found;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name = entry->d_name;
        const QList<QByteArray> record = name.mid(prefix.size()).split('-');
        if (!name.startsWith(prefix) || record.size() != 2)
            continue;
        const long long recordedBirth = record[0].toLongLong();
        struct stat info;
        const QByteArray path = folder + '/' + name;
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid() && QByteArray::number(info.st_size) == record[1] &&
            (birth == 0 || recordedBirth == birth)) {
            found = path;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

// Copies the first size bytes of from into to, from their starts.
bool copyAll(int from, int to, off_t size) {
    QByteArray chunk(kChunkBytes * 4, Qt::Uninitialized);
    for (off_t at = 0; at < size;) {
        const ssize_t got =
            ReadSome(from, chunk.data(), std::min<off_t>(chunk.size(), size - at), at);
        if (got <= 0) {
            if (got == 0)
                errno = EIO; // shorter than it was a moment ago
            return false;
        }
        if (!WriteAll(to, QByteArrayView(chunk.constData(), got), at))
            return false;
        at += got;
    }
    return true;
}

// Gives a complete file a name that nothing has, never replacing anything.
bool nameAfresh(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    return ::link(from.constData(), to.constData()) == 0 && (::unlink(from.constData()), true);
}

// A file system that cannot set room aside still writes; only a real lack of room stops the
// save before the old content is touched.
bool lacksRoom(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO;
}

// Ctrl-C, a closed terminal or a polite kill waits until the copy is done,
// so that the file is never left half old, half new by them.
class InterruptionsHeld {
  public:
    InterruptionsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &before_);
    }
    ~InterruptionsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

  private:
    sigset_t before_;
};
} // namespace

int RemoveAbandonedTemporaries(const QString& folder) {
    const QByteArray where = NativeName(folder);
    DIR* listing = ::opendir(where.constData());
    if (listing == nullptr)
        return 0;
    const qsizetype prefix = qsizetype(sizeof kTemporaryPrefix) - 1;
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name = entry->d_name;
        if (!name.startsWith(kTemporaryPrefix) || name.size() == prefix)
            continue;
        // "-journal" and the like go with the temporary they belong to.
        const qsizetype dash = name.indexOf('-', prefix);
        const QByteArray path = where + '/' + name;
        const QByteArray owner = where + '/' + (dash < 0 ? name : name.left(dash));
        struct stat info;
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const int fd = ::open(owner.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno != ENOENT)
            continue;
        // Checked again under the lock: the creator may have renamed it into place meanwhile.
        const bool abandoned = fd < 0 || (::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                                          (owner != path || stillNamed(path, fd)));
        if (abandoned && ::unlink(path.constData()) == 0)
            ++removed;
        if (fd >= 0)
            ::close(fd);
    }
    ::closedir(listing);
    return removed;
}

ExportFile::ExportFile(QString path, FileOwner owner) : path_(std::move(path)), owner_(owner) {}

ExportFile::~ExportFile() {
    discard();
}

void ExportFile::fail(const QString& what, int error) {
    const QString file = ShownText(path_);
    // %3 is where the old content is kept, or would have been.
    const QString text =
        what.contains(QLatin1String("%3"))
            ? what.arg(file, SystemErrorText(error),
                       NameFromNative(backup_.isEmpty() ? backupFolder() : backup_))
            : what.arg(file, SystemErrorText(error));
    discard();
    throw AppError(text);
}

void ExportFile::open() {
    prepare(false);
}

QByteArray ExportFile::openByName() {
    prepare(true);
    return way_ == Way::Direct ? target_ : temporary_;
}

void ExportFile::prepare(bool byName) {
    discard();
    byName_ = byName;
    if (path_.isEmpty() || path_.contains(QChar(0)))
        fail(QStringLiteral("Cannot create %1: %2"), ENOENT);
    if (owner_ == FileOwner::Program) {
        // Whatever has the name now, a link among them, is renamed over; a folder cannot be.
        target_ = NativeName(path_);
        struct stat named;
        if (::lstat(target_.constData(), &named) == 0 && S_ISDIR(named.st_mode))
            fail(QStringLiteral("Cannot create %1: %2"), EISDIR);
        if (!openBeside(FileSystemTarget{}))
            fail(QStringLiteral("Cannot create %1: %2"), errno);
        return;
    }
    const FileSystemTarget target = InspectTarget(path_);
    if (!target.exists && target.error != ENOENT)
        fail(QStringLiteral("Cannot create %1: %2"), target.error);
    target_ = target.resolved;
    if (target.exists && !target.isRegular)
        return openDirect(target);
    if (target.replaceable && openBeside(target))
        return;
    if (!target.exists)
        fail(QStringLiteral("Cannot create %1: %2"), errno);
    openCopyIn();
}

// Only a save that writes the file in place, and so keeps a backup, meets one.
void ExportFile::refuseOverBackup() {
    const QByteArray backup = backupFor(targetFd_);
    if (backup.isEmpty())
        return;
    const QString file = path_;
    const QString kept = NameFromNative(backup);
    const QString text = QStringLiteral("Cannot save %1: an earlier save of it was cut short, and "
                                        "its old content is kept in %2. Once %1 is as it should "
                                        "be, remove %2 and save again.")
                             .arg(file, kept);
    discard();
    throw AppError(text);
}

bool ExportFile::openBeside(const FileSystemTarget& target) {
    const QByteArray folder = folderOf(target_);
#ifdef O_TMPFILE
    // Nameless until commit() (it is named through /proc), so that an
    // export ended by a signal leaves nothing behind. Another library needs
    // a name from the start.
    if (!byName_ && ::access("/proc/self/fd", X_OK) == 0)
        fd_ = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    nameless_ = fd_ >= 0;
    // Locked before it has a name, so that no cleaner ever takes it for abandoned.
    if (nameless_)
        ::flock(fd_, LOCK_EX);
#endif
    if (fd_ < 0 && (fd_ = createIn(folder, temporary_)) >= 0 && owner_ == FileOwner::User) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    if (fd_ < 0)
        return false;
    if (owner_ == FileOwner::Program && ::fchmod(fd_, 0600) != 0)
        return discard(), false;
    way_ = Way::Replace;
    return !target.exists || TakeOverIdentity(fd_, target) || (discard(), false);
}

bool ExportFile::nameTemporary() {
    if (!nameless_)
        return true;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = folderOf(target_) + '/' + kTemporaryPrefix +
                     QByteArray::number(QRandomGenerator::global()->generate(), 36);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temporary_.constData(),
                     AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    temporary_.clear();
    return false;
}

void ExportFile::openCopyIn() {
    // Opened now, so that a file the user may not write is told before the
    // export, and emptied only once the new content is complete.
    targetFd_ = ::open(target_.constData(), O_WRONLY | O_CLOEXEC);
    if (targetFd_ < 0)
        fail(QStringLiteral("Cannot write %1: %2"), errno);
    refuseOverBackup();
    way_ = Way::CopyIn;
    QByteArray name;
    int error = 0;
    for (const QByteArray& folder : {folderOf(target_), temporaryFolder()}) {
        fd_ = createIn(folder, name);
        if (fd_ >= 0 && byName_) {
            // Named for the library that fills it, and removed by discard().
            temporary_ = name;
            return;
        }
        if (fd_ >= 0) {
            // Nameless from now on: an interrupted export leaves nothing behind.
            ::unlink(name.constData());
            return;
        }
        error = errno;
    }
    const QString text =
        QStringLiteral("Cannot save %1: there is no room to prepare its new content, neither "
                       "beside it nor in %2 (%3); the file was left as it was.")
            .arg(path_, NameFromNative(temporaryFolder()), SystemErrorText(error));
    discard();
    throw AppError(text);
}

void ExportFile::openDirect(const FileSystemTarget& target) {
    way_ = Way::Direct;
    // The library opens the device or pipe by its name itself.
    if (byName_)
        return;
    // A pipe that nobody reads would block the open until somebody does; a
    // non-blocking open fails at once instead, and the writes block as usual.
    // What the system would say of a folder or a socket ("Is a directory", "No such device
    // or address") does not tell what to give instead.
    struct stat info;
    if (::stat(target_.constData(), &info) == 0 && (S_ISDIR(info.st_mode) || S_ISSOCK(info.st_mode)))
        throw AppError(QStringLiteral("Cannot write %1: it is a %2, not a file; give the name of a "
                                      "file to save into.")
                           .arg(ShownText(path_), S_ISDIR(info.st_mode) ? QStringLiteral("folder")
                                                                        : QStringLiteral("socket")));
    fd_ = OpenForWriting(path_, target.isFifo);
    if (fd_ < 0 && errno == ENXIO && target.isFifo) {
        const QString text = QStringLiteral("Cannot write %1: no program is reading from this pipe")
                                 .arg(ShownText(path_));
        throw AppError(text);
    }
    // A folder is no file, so there is none to write.
    if (fd_ < 0)
        fail(errno == EISDIR ? QStringLiteral("Cannot create %1: %2")
                             : QStringLiteral("Cannot write %1: %2"),
             errno);
}

void ExportFile::write(const QString& text) {
    if (fd_ < 0 || byName_)
        fail(QStringLiteral("Cannot write %1: %2"), EBADF);
    if (pending_.addText(text))
        writePending();
}

void ExportFile::writeUtf8(const QByteArray& text) {
    static const bool systemIsUtf8 =
        QByteArray(QStringEncoder(QStringEncoder::System).encode(u"\u00E9")) == "\xC3\xA9";
    if (systemIsUtf8) {
        append(text);
        return;
    }
    write(WordFromUtf8(text));
}

void ExportFile::append(const QByteArray& encoded) {
    if (fd_ < 0 || byName_)
        fail(QStringLiteral("Cannot write %1: %2"), EBADF);
    if (pending_.addBytes(encoded))
        writePending();
}

void ExportFile::flush() {
    if (fd_ >= 0)
        writePending();
}

void ExportFile::writePending() {
    if (!WriteAll(fd_, pending_.bytes()))
        fail(QStringLiteral("Cannot write %1: %2"), errno);
    pending_.written();
}

void ExportFile::commit() {
    if (fd_ < 0)
        return;
    writePending();
    switch (way_) {
    case Way::Replace:
        // Renamed while still open, and so locked: no cleaner removes it on the way.
        if (!SyncToDisk(fd_) || !nameTemporary())
            fail(QStringLiteral("Cannot save %1: %2"), errno);
        if (::rename(temporary_.constData(), target_.constData()) != 0) {
            // A file mounted over its name (a bind mount) cannot be renamed over: it is
            // written in place instead, as sort -o does.
            if ((errno != EBUSY && errno != EXDEV) || owner_ == FileOwner::Program)
                fail(QStringLiteral("Cannot save %1: %2"), errno);
            targetFd_ = ::open(target_.constData(), O_WRONLY | O_CLOEXEC);
            if (targetFd_ < 0)
                fail(QStringLiteral("Cannot write %1: %2"), errno);
            refuseOverBackup();
            copyIn();
            break;
        }
        temporary_.clear();
        if (!SyncFolder(folderOf(target_)) || ::close(std::exchange(fd_, -1)) != 0)
            fail(QStringLiteral("Cannot save %1: %2"), errno);
        break;
    case Way::CopyIn:
        copyIn();
        break;
    case Way::Direct:
        if (::close(std::exchange(fd_, -1)) != 0)
            fail(QStringLiteral("Cannot save %1: %2"), errno);
        break;
    }
    discard();
}

void ExportFile::copyIn() {
    // The size, not the position: a file filled by name was never written here.
    struct stat prepared;
    if (::fstat(fd_, &prepared) != 0)
        fail(QStringLiteral("Cannot save %1: %2"), errno);
    const off_t size = prepared.st_size;
    keepBackup();
#ifdef Q_OS_LINUX
    // Room for the new content before the old is touched, where the file
    // system can promise it.
    if (size > 0 && ::fallocate(targetFd_, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && lacksRoom(errno))
        fail(QStringLiteral("Cannot save %1: %2; the file was left as it was."), errno);
#endif
    const InterruptionsHeld held;
    changing_ = true;
    if (!copyAll(fd_, targetFd_, size) || ::ftruncate(targetFd_, size) != 0 ||
        !SyncToDisk(targetFd_) || ::close(std::exchange(targetFd_, -1)) != 0)
        fail(QStringLiteral("Cannot write %1: %2. It may be incomplete now; its old content is "
                            "kept in %3."),
             errno);
    // Complete and on disk: the old content is no longer needed.
    ::unlink(backup_.constData());
    SyncFolder(folderOf(backup_));
    backup_.clear();
    changing_ = false;
}

void ExportFile::keepBackup() {
    const int old = ::open(target_.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat info;
    if (old < 0 || ::fstat(old, &info) != 0) {
        const int error = errno;
        if (old >= 0)
            ::close(old);
        fail(QStringLiteral("Cannot save %1: its old content cannot be read to keep a copy "
                            "while it is written (%2); the file was left as it was."),
             error);
    }
    const QByteArray folder = backupFolder();
    const QByteArray kept = folder + '/' + backupPrefix(info) + QByteArray::number(birthOf(old)) +
                            '-' + QByteArray::number(info.st_size);
    QByteArray name;
    const int fd = ownBackupFolder(true) ? createIn(folder, name) : -1;
    // Complete and on disk under its own name before the file is touched.
    const bool named = fd >= 0 && copyAll(old, fd, info.st_size) && SyncToDisk(fd) &&
                       nameAfresh(name, kept);
    const bool made = named && SyncFolder(folder);
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    ::close(old);
    if (made) {
        backup_ = kept;
        return;
    }
    // Only what this save made goes: a file already under the backup's name stays.
    if (fd >= 0)
        ::unlink((named ? kept : name).constData());
    fail(QStringLiteral("Cannot save %1: a copy of its old content cannot be kept in %3 while "
                        "it is written (%2); the file was left as it was."),
         error);
}

void ExportFile::discard() {
    pending_.discard();
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (targetFd_ >= 0)
        ::close(std::exchange(targetFd_, -1));
    nameless_ = false;
    // Nothing of a replacement that never took the file's place stays behind.
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
    temporary_.clear();
    // The old content stays where the file may already have changed.
    if (!backup_.isEmpty() && !changing_)
        ::unlink(backup_.constData());
    backup_.clear();
    changing_ = false;
}

