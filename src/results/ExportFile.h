#pragma once

#include <QString>
#include <QStringEncoder>
#include <memory>

class QFileDevice;

// A file that an export writes. A regular file (or a name not yet taken) is
// written beside the target and put in its place only by commit(), so a
// failed or interrupted export leaves the file it was to replace as it was,
// and no half-written copy behind. A target that exists and is not a
// regular file (a device, a pipe) cannot be replaced that way and is
// written directly.
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

    // Puts the complete file in place. Throws AppError when that fails. Once
    // a write has failed, that failure has been told and the new content is
    // already gone, so there is nothing left to do; the same holds for a
    // file that never opened.
    void commit();

  private:
    void append(const QByteArray& encoded);
    void writePending();
    void discard();
    QString failure(const QString& what) const;

    QString path_;
    std::unique_ptr<QFileDevice> file_;
    QStringEncoder encoder_;
    QByteArray pending_;
};
