#include "ExportFile.h"

#include "AppError.h"
#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
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

// A temporary stays locked while it is open, so that a clean-up of another program tells it
// from one a killed program left behind.
int locked(int fd) {
    if (fd >= 0)
        ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

// A new file of our own in folder, or -1 with errno set.
int createIn(const QByteArray& folder, QByteArray& name) {
    name = folder + '/' + kTemporaryPrefix + "XXXXXX";
    return locked(::mkostemp(name.data(), O_CLOEXEC));
}

bool writeAll(int fd, const char* data, qsizetype size, off_t at = -1) {
    for (qsizetype done = 0; done < size;) {
        const ssize_t written = at < 0 ? ::write(fd, data + done, size_t(size - done))
                                       : ::pwrite(fd, data + done, size_t(size - done), at + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
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

ExportFile::ExportFile(QString path) : path_(std::move(path)), encoder_(QStringEncoder::System) {}

ExportFile::~ExportFile() {
    discard();
}

void ExportFile::fail(const QString& what, int error) {
    const QString text = what.arg(QDir::toNativeSeparators(path_), qt_error_string(error));
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
    const FileSystemTarget target = InspectTarget(path_);
    target_ = target.resolved;
    if (target.exists && !target.isRegular)
        return openDirect(target);
    if (target.replaceable && openBeside(target))
        return;
    if (!target.exists)
        fail(QStringLiteral("Cannot create %1: %2"), errno);
    openCopyIn();
}

bool ExportFile::openBeside(const FileSystemTarget& target) {
    const QByteArray folder = folderOf(target_);
#ifdef O_TMPFILE
    // Nameless until commit() (it is named through /proc), so that an
    // export ended by a signal leaves nothing behind. Another library needs
    // a name from the start.
    if (!byName_ && ::access("/proc/self/fd", X_OK) == 0)
        fd_ = locked(::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    nameless_ = fd_ >= 0;
#endif
    if (fd_ < 0 && (fd_ = createIn(folder, temporary_)) >= 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    if (fd_ < 0)
        return false;
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
        fail(QStringLiteral("Cannot create %1: %2"), errno);
    way_ = Way::CopyIn;
    QByteArray name;
    int error = 0;
    // As given: Qt's temporary folder falls back to another one when it is missing.
    QByteArray temporaryFolder = qgetenv("TMPDIR");
    if (temporaryFolder.isEmpty())
        temporaryFolder = "/tmp";
    for (const QByteArray& folder : {folderOf(target_), temporaryFolder}) {
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
            .arg(QDir::toNativeSeparators(path_), NameFromNative(temporaryFolder),
                 qt_error_string(error));
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
    fd_ = OpenForWriting(path_, target.isFifo);
    if (fd_ < 0 && errno == ENXIO && target.isFifo) {
        const QString text =
            QStringLiteral("Cannot create %1: no program is reading from this pipe")
                .arg(QDir::toNativeSeparators(path_));
        throw AppError(text);
    }
    if (fd_ < 0)
        fail(QStringLiteral("Cannot create %1: %2"), errno);
}

void ExportFile::write(const QString& text) {
    if (fd_ < 0 || byName_)
        fail(QStringLiteral("Cannot write %1: %2"), EBADF);
    // Encoded straight onto what is pending: an export writes row by row.
    const qsizetype start = pending_.size();
    pending_.resize(start + encoder_.requiredSpace(text.size()));
    const char* end = encoder_.appendToBuffer(pending_.data() + start, text);
    pending_.truncate(end - pending_.constData());
    if (pending_.size() >= kChunkBytes)
        writePending();
}

void ExportFile::writeUtf8(const QByteArray& text) {
    static const bool systemIsUtf8 =
        QByteArray(QStringEncoder(QStringEncoder::System).encode(u"\u00E9")) == "\xC3\xA9";
    if (systemIsUtf8) {
        append(text);
        return;
    }
    QStringDecoder fromUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    write(fromUtf8(text));
}

void ExportFile::append(const QByteArray& encoded) {
    if (fd_ < 0 || byName_)
        fail(QStringLiteral("Cannot write %1: %2"), EBADF);
    pending_ += encoded;
    if (pending_.size() >= kChunkBytes)
        writePending();
}

void ExportFile::flush() {
    if (fd_ >= 0)
        writePending();
}

void ExportFile::writePending() {
    if (!writeAll(fd_, pending_.constData(), pending_.size()))
        fail(QStringLiteral("Cannot write %1: %2"), errno);
    pending_.truncate(0); // the room stays for the next chunk
}

void ExportFile::commit() {
    if (fd_ < 0)
        return;
    writePending();
    switch (way_) {
    case Way::Replace:
        if (!SyncToDisk(fd_) || !nameTemporary() || ::close(std::exchange(fd_, -1)) != 0 ||
            ::rename(temporary_.constData(), target_.constData()) != 0)
            fail(QStringLiteral("Cannot save %1: %2"), errno);
        temporary_.clear();
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
#ifdef Q_OS_LINUX
    // Room for the new content before the old is touched, where the file
    // system can promise it.
    if (::fallocate(targetFd_, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno == ENOSPC)
        fail(QStringLiteral("Cannot save %1: %2"), errno);
#endif
    const InterruptionsHeld held;
    QByteArray chunk(kChunkBytes * 4, Qt::Uninitialized);
    for (off_t at = 0; at < size;) {
        const ssize_t got = ::pread(fd_, chunk.data(), size_t(chunk.size()), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !writeAll(targetFd_, chunk.constData(), got, at))
            fail(QStringLiteral("Cannot save %1: %2"), got == 0 ? EIO : errno);
        at += got;
    }
    if (::ftruncate(targetFd_, size) != 0 || !SyncToDisk(targetFd_) ||
        ::close(std::exchange(targetFd_, -1)) != 0)
        fail(QStringLiteral("Cannot save %1: %2"), errno);
}

void ExportFile::discard() {
    pending_.clear();
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (targetFd_ >= 0)
        ::close(std::exchange(targetFd_, -1));
    nameless_ = false;
    // Nothing of a replacement that never took the file's place stays behind.
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
    temporary_.clear();
}

void RemoveAbandonedTemporaries(const QString& folder) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kTemporaryPrefix, sizeof kTemporaryPrefix - 1) != 0)
            continue;
        const int fd =
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened, named;
        // Still the file that was opened and locked: the name may have been taken meanwhile.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == opened.st_ino && named.st_dev == opened.st_dev)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}
