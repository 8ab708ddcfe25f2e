// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"
#include "PendingOutput.h"
#include "TextOutput.h"

#include <QByteArray>
#include <QString>

// Every temporary file that an ExportFile names is ".lexigrove-" followed by
// letters and digits, beside its target or in the temporary folder, and its
// creator holds an flock(LOCK_EX) on it for as long as it lives; what SQLite
// adds to one ("-journal", "-wal") belongs to it. Removes those in folder
// whose lock can be taken, that is whose creator has died, and returns how
// many it removed. A live one, or any other file, stays.
int RemoveAbandonedTemporaries(const QString& folder);

// A file that an export writes. A new file, or a file that a new one can
// replace without becoming something else, is written beside the target and
// put in its place only by commit(), so a failed or interrupted export
// leaves the file it was to replace as it was, and no half-written copy
// behind. Any other existing file (several names, extended attributes,
// another owner, a folder where the user may not create files) has to keep
// its identity, and so does a file that cannot be renamed over (a bind
// mount): the new content is prepared in a file of its own, beside it or in
// the temporary folder, and copied into it only by commit(). Before the copy,
// the old content is kept complete and synced in the user's own folder
// $XDG_STATE_HOME/lexigrove/backups, under a name that records the
// file's device, inode, birth time and size, and removed once the new
// content is on disk. A process killed meanwhile leaves it, and every later
// save of that file in place refuses, naming it; a save that needs no copy
// does not. A device or a pipe is written as the export goes. Symbolic links
// are written through to their target, also to one that does not exist yet.
// A file of the program's own is only ever replaced by renaming over its name.
//
// Texts are written in the system's 8-bit encoding (UTF-8 on Linux),
// without a byte-order mark; line ends are the caller's.
//
// A file that another library writes by its name (a database) is prepared by
// openByName() instead of open(), and published by the same commit().
class ExportFile final : public TextOutput {
  public:
    explicit ExportFile(QString path, FileOwner owner = FileOwner::User);
    // Anything not committed is discarded.
    ~ExportFile() override;
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Creates the file, or opens the existing one for replacing. Throws
    // AppError with the system's reason.
    void open();
    // The same, for content that another library writes: returns the name,
    // in the system's bytes, of the file it is to fill. That is a new file
    // beside the target, or one of its own where the target must keep its
    // identity (filled, then copied in by commit()); a device or a pipe is
    // named itself. Nothing may be written through this object then. The
    // library must have closed the file before commit().
    QByteArray openByName();

    // Throws AppError when the file is not open or a write fails; after a
    // failed write the new content is discarded. Texts are gathered and
    // written in large pieces, so a failure may show at a later write or at
    // commit().
    void write(const QString& text) override;
    // The same for text already in UTF-8, which on a UTF-8 system goes out
    // as it is.
    void writeUtf8(const QByteArray& text) override;
    // The same for bytes that are no text, written as they are.
    void writeBytes(const QByteArray& bytes) { append(bytes); }
    // Hands what is gathered on now: a pipe's reader sees it at once.
    void flush();

    // Puts the complete file in place. Throws AppError when that fails. Once
    // a write has failed, that failure has been told and the new content is
    // already gone, so there is nothing left to do; the same holds for a
    // file that never opened.
    void commit();

  private:
    enum class Way { Replace, CopyIn, Direct };
    bool openBeside(const FileSystemTarget& target);
    bool nameTemporary();
    void openCopyIn();
    void prepare(bool byName);
    void openDirect(const FileSystemTarget& target);
    void refuseOverBackup();
    void copyIn();
    void keepBackup();
    void append(const QByteArray& encoded);
    void writePending();
    void discard();
    [[noreturn]] void fail(const QString& what, int error);

    QString path_;
    FileOwner owner_;
    QByteArray target_;     // the file itself, through any links
    QByteArray temporary_;  // the named file that replaces it; empty for none
    bool nameless_ = false; // the replacement has no name yet
    bool byName_ = false;   // filled by another library through temporary_
    int fd_ = -1;           // where the content goes now
    int targetFd_ = -1;     // the file copied into
    QByteArray backup_;     // the old content of a file written in place
    bool changing_ = false; // the file written in place is no longer the old one
    Way way_ = Way::Direct;
    PendingOutput pending_;
};
