#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

namespace {
QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

#ifdef Q_OS_LINUX
// SELinux labels every file and gives a new file its folder's label, so that
// attribute alone does not make a file something a replacement would lose.
bool hasExtendedAttributes(const QByteArray& path) {
    const ssize_t size = listxattr(path.constData(), nullptr, 0);
    if (size <= 0)
        return size < 0 && errno != ENOTSUP;
    QByteArray names(size, '\0');
    const ssize_t got = listxattr(path.constData(), names.data(), size_t(names.size()));
    if (got < 0)
        return true;
    for (const QByteArray& name : names.left(got).split('\0'))
        if (!name.isEmpty() && name != "security.selinux")
            return true;
    return false;
}
#endif
} // namespace

FileSystemTarget InspectTarget(const QString& path) {
    FileSystemTarget target;
#ifdef Q_OS_UNIX
    struct stat info;
    if (path.isEmpty() || path.contains(QChar(0)) || ::stat(native(path).constData(), &info) != 0)
        return target; // a new name, or one that the save itself will fail on and explain
    target.exists = true;
    target.isFifo = S_ISFIFO(info.st_mode);
    target.permissions = info.st_mode & 07777;
    target.group = info.st_gid;
    if (S_ISDIR(info.st_mode))
        return target; // the save fails on it and says why
    const QString real = QFileInfo(path).canonicalFilePath();
    const QByteArray file = native(real);
    const QByteArray folder = native(QFileInfo(real).absolutePath());
    target.replaceable = S_ISREG(info.st_mode) && info.st_nlink == 1 &&
                         info.st_uid == ::geteuid() && ::access(file.constData(), W_OK) == 0 &&
                         ::access(folder.constData(), W_OK | X_OK) == 0;
#ifdef Q_OS_LINUX
    target.replaceable = target.replaceable && !hasExtendedAttributes(file);
#endif
#else
    const QFileInfo info(path);
    target.exists = info.exists();
    target.replaceable = !target.exists || info.isFile() || info.isDir();
#endif
    return target;
}

bool TakeOverIdentity(int fd, const FileSystemTarget& target) {
#ifdef Q_OS_UNIX
    if (!target.exists)
        return true;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    if (info.st_gid != target.group && ::fchown(fd, uid_t(-1), gid_t(target.group)) != 0)
        return false;
    // After the group: changing it may clear the set-group-ID bit.
    return ::fchmod(fd, mode_t(target.permissions)) == 0;
#else
    Q_UNUSED(fd);
    Q_UNUSED(target);
    return true;
#endif
}

int OpenForWriting(const QString& path, bool withoutBlocking) {
#ifdef Q_OS_UNIX
    const int fd =
        ::open(native(path).constData(),
               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (withoutBlocking ? O_NONBLOCK : 0), 0666);
    if (fd >= 0 && withoutBlocking)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
#else
    Q_UNUSED(withoutBlocking);
    return ::_wopen(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                    _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
#endif
}

void CloseDescriptor(int fd) {
#ifdef Q_OS_UNIX
    ::close(fd);
#else
    ::_close(fd);
#endif
}

bool SyncToDisk(int fd) {
#ifdef Q_OS_UNIX
    return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
#else
    Q_UNUSED(fd);
    return true;
#endif
}

int OpenRegularFileForReading(const QString& path, bool& notRegular) {
    notRegular = false;
#ifdef Q_OS_UNIX
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        int error = errno;
        if (error == 0 || S_ISDIR(info.st_mode))
            error = EISDIR;
        notRegular = !S_ISDIR(info.st_mode);
        ::close(fd);
        errno = error;
        return -1;
    }
    // Reads of a regular file never wait; the flag only kept the open from it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
#else
    return ::_wopen(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                    _O_RDONLY | _O_BINARY);
#endif
}
