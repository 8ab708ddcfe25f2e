// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

namespace {
// The length of the well-formed UTF-8 character at text[at], or 0.
int utf8Length(QByteArrayView text, qsizetype at) {
    const auto byte = [&](qsizetype i) { return i < text.size() ? uchar(text[i]) : 0u; };
    const uint lead = byte(at);
    const auto continues = [&](int count) {
        for (int i = 1; i < count; ++i)
            if ((byte(at + i) & 0xC0) != 0x80)
                return false;
        return true;
    };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continues(2) ? 2 : 0;
    const uint second = byte(at + 1);
    if (lead >= 0xE0 && lead <= 0xEF) {
        const bool ok = (lead != 0xE0 || second >= 0xA0) && (lead != 0xED || second < 0xA0);
        return ok && continues(3) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const bool ok = (lead != 0xF0 || second >= 0x90) && (lead != 0xF4 || second < 0x90);
        return ok && continues(4) ? 4 : 0;
    }
    return 0;
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

QString NameFromNative(QByteArrayView bytes) {
    QString name;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype start = at;
        int length;
        while (at < bytes.size() && (length = utf8Length(bytes, at)) > 0)
            at += length;
        name += QString::fromUtf8(bytes.sliced(start, at - start));
        if (at < bytes.size())
            name += QChar(0xDC00 + uchar(bytes[at++]));
    }
    return name;
}

// Qt's own words for the few errors it words itself are the C library's
// on Linux, and no error has no reason.
QString SystemErrorText(int error) {
    if (error == 0)
        return QString();
    char text[256];
    return QString::fromLocal8Bit(::strerror_r(error, text, sizeof text)).trimmed();
}

ssize_t ReadSome(int fd, char* into, qsizetype size, off_t at) {
    ssize_t got;
    do
        got = at < 0 ? ::read(fd, into, size_t(size)) : ::pread(fd, into, size_t(size), at);
    while (got < 0 && errno == EINTR);
    return got;
}

bool WriteAll(int fd, QByteArrayView data, off_t at) {
    for (qsizetype done = 0; done < data.size();) {
        const char* from = data.data() + done;
        const auto size = size_t(data.size() - done);
        const ssize_t written =
            at < 0 ? ::write(fd, from, size) : ::pwrite(fd, from, size, at + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, -1);
            continue;
        }
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
}

QByteArray NativeName(const QString& name) {
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool paired = i > 0 && QChar::isHighSurrogate(name[i - 1].unicode());
        if (c < 0xDC80 || c > 0xDCFF || paired)
            continue;
        bytes += QStringView(name).sliced(start, i - start).toUtf8();
        bytes += char(c - 0xDC00);
        start = i + 1;
    }
    bytes += QStringView(name).sliced(start).toUtf8();
    return bytes;
}

namespace {
std::optional<FileIdentity> regularFile(int result, const struct stat& info) {
    if (result != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileIdentity{(unsigned long long)info.st_dev, (unsigned long long)info.st_ino};
}
} // namespace

std::optional<FileIdentity> IdentityOf(const QString& path) {
    struct stat info;
    return regularFile(::stat(NativeName(path).constData(), &info), info);
}

std::optional<FileIdentity> IdentityOf(int fd) {
    struct stat info;
    return regularFile(::fstat(fd, &info), info);
}

bool PathExists(const QString& path) {
    struct stat info;
    return !path.isEmpty() && !path.contains(QChar(0)) &&
           ::stat(NativeName(path).constData(), &info) == 0;
}

void GuardStandardDescriptors() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() returns the lowest free number, which is this one.
        const int placeholder = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (placeholder != fd && placeholder >= 0)
            ::close(placeholder);
    }
}

namespace {
// The name that a chain of symbolic links ends at when its last link points at
// nothing, as open(O_CREAT) would create it; ELOOP after as many links as the
// system follows.
QByteArray danglingEnd(QByteArray name, int& error) {
    for (int hop = 0; hop <= 40; ++hop) {
        struct stat info;
        if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return name;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t size = ::readlink(name.constData(), link.data(), size_t(link.size()));
        if (size <= 0 || size >= link.size())
            return name;
        link.truncate(size);
        const qsizetype slash = name.lastIndexOf('/');
        name = link.startsWith('/') || slash < 0 ? link : name.left(slash + 1) + link;
    }
    error = ELOOP;
    return name;
}
} // namespace

FileSystemTarget InspectTarget(const QString& path) {
    FileSystemTarget target;
    target.resolved = NativeName(path);
    struct stat info;
    if (path.isEmpty() || path.contains(QChar(0))) {
        target.error = ENOENT;
        return target; // the save fails on it and explains
    }
    if (::stat(target.resolved.constData(), &info) != 0) {
        target.error = errno;
        if (target.error == ENOENT)
            target.resolved = danglingEnd(target.resolved, target.error);
        return target; // a new name, or one that the save itself will fail on and explain
    }
    target.exists = true;
    target.device = info.st_dev;
    target.inode = info.st_ino;
    target.isFifo = S_ISFIFO(info.st_mode);
    target.isRegular = S_ISREG(info.st_mode);
    target.permissions = info.st_mode & 07777;
    target.group = info.st_gid;
    if (S_ISDIR(info.st_mode))
        return target; // the save fails on it and says why
    char real[PATH_MAX];
    if (::realpath(NativeName(path).constData(), real) == nullptr) {
        target.replaceable = false;
        return target;
    }
    const QByteArray file = real;
    target.resolved = file;
    const QByteArray folder = file.left(std::max(qsizetype(1), file.lastIndexOf('/')));
    target.replaceable = S_ISREG(info.st_mode) && info.st_nlink == 1 &&
                         info.st_uid == ::geteuid() && ::access(file.constData(), W_OK) == 0 &&
                         ::access(folder.constData(), W_OK | X_OK) == 0;
#ifdef Q_OS_LINUX
    target.replaceable = target.replaceable && !hasExtendedAttributes(file);
#endif
    return target;
}

bool TakeOverIdentity(int fd, const FileSystemTarget& target) {
    if (!target.exists)
        return true;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    if (info.st_gid != target.group && ::fchown(fd, uid_t(-1), gid_t(target.group)) != 0)
        return false;
    // After the group: changing it may clear the set-group-ID bit.
    return ::fchmod(fd, mode_t(target.permissions)) == 0;
}

int OpenForWriting(const QString& path, bool withoutBlocking) {
    const int fd =
        ::open(NativeName(path).constData(),
               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (withoutBlocking ? O_NONBLOCK : 0), 0666);
    if (fd >= 0 && withoutBlocking)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool SyncToDisk(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

bool SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = SyncToDisk(fd);
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

int OpenRegularFileForReading(const QString& path, bool& notRegular, bool followLinks) {
    notRegular = false;
    const int fd = ::open(NativeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
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
}
