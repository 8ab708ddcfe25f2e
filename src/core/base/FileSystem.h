// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <sys/types.h>

// Output is gathered and written in pieces of this size: few system calls, little memory.
constexpr qsizetype kChunkBytes = 64 * 1024;

// The system's reason for errno error, as every message gives it.
QString SystemErrorText(int error);

// read(), or pread() from at on, again when a signal interrupts it. Returns
// what it returns, with errno set on -1.
ssize_t ReadSome(int fd, char* into, qsizetype size, off_t at = -1);
// write(), or pwrite() from at on, until all of data is written; a
// descriptor that someone else made non-blocking is waited for as a blocking
// one would be. False with errno set when it fails (ENOSPC when nothing
// more is taken).
bool WriteAll(int fd, QByteArrayView data, off_t at = -1);

// The few questions about files that Qt cannot answer: who a file belongs
// to, how many names it has, whether it is a pipe nobody reads.

// File names are bytes on Unix, and not every name is UTF-8. A name comes
// into a QString with each byte that is not part of a UTF-8 character kept
// as the lone surrogate U+DC80..U+DCFF, and goes back to exactly its bytes;
// a UTF-8 name reads as itself. Qt's own file classes would turn such bytes
// into U+FFFD, and take a name starting with ':' for one of their resources,
// so names given by the user are opened through these.
QString NameFromNative(QByteArrayView bytes);
QByteArray NativeName(const QString& name);

// Whose a file the program writes is. The user's own is written as a shell's '>' writes it,
// through symbolic links and keeping its identity. The program's own (its cache) is only ever
// the name itself, replaced by renaming over it; it and the folders made for it are for the
// user alone (0600, 0700) whatever the umask.
enum class FileOwner { User, Program };

// What an export needs to know of the file it is about to write.
struct FileSystemTarget {
    bool exists = false;
    bool isFifo = false;
    // True when a new file written beside the target and renamed over it
    // would be the same file to everyone else: a new name, or a regular
    // file with one name, no extended attributes (ACLs among them), owned
    // and writable by the user, in a folder where the user may create files.
    bool replaceable = true;
    unsigned permissions = 0; // of the existing file
    unsigned group = 0;       // of the existing file
    bool isRegular = false;
    unsigned long long device = 0, inode = 0; // of the existing file
    // Why the name cannot be looked at (ELOOP for a loop of links), when it
    // exists or may: 0, or ENOENT for a name that a save creates.
    int error = 0;
    // The file itself, through every symbolic link; the name as given
    // when there is none yet, or what a dangling link points at.
    QByteArray resolved;
};

// Follows symbolic links, as writing does: a link to nothing yet names the
// file it points at, which a save creates as a shell's '>' does.
FileSystemTarget InspectTarget(const QString& path);

// Gives a file just created in place of an existing one that file's
// permissions and group; false when the group cannot be given.
bool TakeOverIdentity(int fd, const FileSystemTarget& target);

// A regular file as the system tells it apart from every other, whatever
// its name; none for anything else, or a name that does not exist.
struct FileIdentity {
    unsigned long long device = 0, inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const QString& path);
std::optional<FileIdentity> IdentityOf(int fd);

// True when path names something, following symbolic links.
bool PathExists(const QString& path);

// Opens path for writing from its start, emptied. Without blocking, a pipe
// that nobody reads fails at once with ENXIO; writes block as usual. Returns
// the descriptor, or -1 with errno set.
int OpenForWriting(const QString& path, bool withoutBlocking);

// Returns false with errno set when the data did not reach the disk.
// Descriptors that cannot be synced (pipes, devices) count as synced.
bool SyncToDisk(int fd);
// The same for a folder's entries, after a file was named or renamed in it.
bool SyncFolder(const QByteArray& folder);

// Opens a regular file for reading without ever waiting for a pipe's
// writer. Returns the descriptor, or -1 with errno set; a folder gives
// EISDIR, and anything else that is not a regular file (a pipe, a device)
// gives -1 with notRegular set. Without followLinks, a symbolic link is
// not opened either (ELOOP).
int OpenRegularFileForReading(const QString& path, bool& notRegular, bool followLinks = true);

// A closed standard input, output or error would hand its number to the
// next file the program opens, which then receives what was meant for the
// closed one. Each closed one gets /dev/null opened the wrong way round in
// its place instead, so that reading from it or writing to it fails with
// "Bad file descriptor" as it would have. Called first thing in main().
void GuardStandardDescriptors();
