#pragma once

#include "ExportFile.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Thrown when the reader of standard output has gone (`lexigrove ... | head`).
struct ClosedPipe {};

// Where the command line's results go: a file, saved by the same rules as the
// window's exports (the old file stays until the new one is complete), or
// standard output, written as it comes.
class ResultSink {
  public:
    // An empty path is standard output.
    explicit ResultSink(const QString& path);

    // Each throws AppError naming the file and the reason; writes to
    // standard output throw ClosedPipe when its reader has gone.
    void open();
    void write(const QString& text);
    void writeUtf8(const QByteArray& text);
    // Bytes that are no text (a workbook), written as they are.
    void writeBytes(const QByteArray& bytes);
    void commit();

  private:
    void flushStandardOutput();

    std::optional<ExportFile> file_;
    QByteArray pending_;
};
