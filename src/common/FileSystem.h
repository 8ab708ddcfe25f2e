#pragma once

#include <QString>

// The few questions about files that Qt cannot answer: who a file belongs
// to, how many names it has, whether it is a pipe nobody reads.

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
};

// Follows symbolic links, as writing does.
FileSystemTarget InspectTarget(const QString& path);

// Gives a file just created in place of an existing one that file's
// permissions and group; false when the group cannot be given.
bool TakeOverIdentity(int fd, const FileSystemTarget& target);

// Opens path for writing from its start, emptied. Without blocking, a pipe
// that nobody reads fails at once with ENXIO; writes block as usual. Returns
// the descriptor, or -1 with errno set.
int OpenForWriting(const QString& path, bool withoutBlocking);

void CloseDescriptor(int fd);

// Returns false with errno set when the data did not reach the disk.
// Descriptors that cannot be synced (pipes, devices) count as synced.
bool SyncToDisk(int fd);

// Opens a regular file for reading without ever waiting for a pipe's
// writer. Returns the descriptor, or -1 with errno set; a folder gives
// EISDIR, and anything else that is not a regular file (a pipe, a device)
// gives -1 with notRegular set.
int OpenRegularFileForReading(const QString& path, bool& notRegular);
