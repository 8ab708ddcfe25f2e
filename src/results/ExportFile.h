#pragma once

#include <QString>
#include <QStringEncoder>
#include <memory>

class QFileDevice;
struct FileSystemTarget;

// A file that an export writes. A new file, or a file that a new one can
// replace without becoming something else, is written beside the target and
// put in its place only by commit(), so a failed or interrupted export
// leaves the file it was to replace as it was, and no half-written copy
// behind. Any other target is written in place, as it would be by any
// editor: a device or a pipe; a file with several names, extended
// attributes or another owner; a file in a folder where the user may not
// create files. Symbolic links are written through to their target.
//
// Texts are written in the system's 8-bit encoding (UTF-8 on Linux),
// without a byte-order mark; line ends are the caller's.
class ExportFile {
  public:
    explicit ExportFile(QString path);
    // Anything not committed is discarded.
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Creates the file, or opens the existing one for replacing. Throws
    // AppError with the system's reason.
    void open();

    // Throws AppError when the file is not open or a write fails; after a
    // failed write the new content is discarded. Texts are gathered and
    // written in large pieces, so a failure may show at a later write or at
    // commit().
    void write(const QString& text);
    // The same for text already in UTF-8, which on a UTF-8 system goes out
    // as it is.
    void writeUtf8(const QByteArray& text);
    // The same for bytes that are no text, written as they are.
    void writeBytes(const QByteArray& bytes) { append(bytes); }

    // Puts the complete file in place. Throws AppError when that fails. Once
    // a write has failed, that failure has been told and the new content is
    // already gone, so there is nothing left to do; the same holds for a
    // file that never opened.
    void commit();

  private:
    void openInPlace(const FileSystemTarget& target);
    void append(const QByteArray& encoded);
    void writePending();
    void discard();
    QString failure(const QString& what) const;
    QString failure(const QString& what, const QString& reason) const;

    QString path_;
    std::unique_ptr<QFileDevice> file_;
    QStringEncoder encoder_;
    QByteArray pending_;
    bool syncOnCommit_ = false;
};
