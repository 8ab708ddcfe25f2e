// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ExportFile.h"
#include "FileSystem.h"
#include "PendingOutput.h"
#include "TextOutput.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Thrown when the reader of standard output has gone (`lexigrove ... | head`).
struct ClosedPipe {};

// Where the command line's results go: a file, saved by the same rules as the
// window's exports (the old file stays until the new one is complete), or a
// descriptor the program was given already open (standard output, `-`,
// /dev/stdout, /dev/fd/N, /proc/self/fd/N), written as it comes, where it
// stands: `>>` appends, and the output of a group of commands keeps its order.
class ResultSink final : public TextOutput {
  public:
    // An empty path is standard output.
    explicit ResultSink(const QString& path);

    // The regular file the results land in, when there is one already.
    std::optional<FileIdentity> identity() const;
    // As messages name it.
    QString name() const;

    // Each throws AppError naming the file and the reason; writes to a
    // descriptor throw ClosedPipe when its reader has gone.
    void open();
    void write(const QString& text) override;
    void writeUtf8(const QByteArray& text) override;
    // Bytes that are no text (a workbook), written as they are.
    void writeBytes(const QByteArray& bytes);
    // Hands everything written so far on to the reader.
    void flush();
    // Runs before bytes go to a descriptor, so that what shares its terminal can step aside.
    void beforeWriting(std::function<void()> stepAside) { stepAside_ = std::move(stepAside); }
    void commit();

  private:
    void flushDescriptor();

    QString path_;
    int fd_ = -1; // the descriptor written to, when it was open already
    std::optional<ExportFile> file_;
    PendingOutput pending_;
    std::function<void()> stepAside_;
};
