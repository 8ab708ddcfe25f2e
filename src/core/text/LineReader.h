// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineSplitter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// The lines of a descriptor or of bytes in memory, cut by LineSplitter (CR LF, CR or LF; a
// final LF gives nothing after it), taken as they arrive: memory holds one unfinished line
// and one read, whatever the input holds. What a line may hold at most, and what is said when
// a line is longer or the input cannot be read, are the reader's: they come from whoever
// builds on it.
class LineReader {
  public:
    enum Next { Line, Waiting, End };

    // The line, without its line end, valid until the next call; Waiting when a pipe that is
    // read without blocking has no more for now.
    Next next(QByteArrayView& line);
    // The 1-based number of the line next() gave last.
    qsizetype number() const { return number_; }
    // Bytes taken so far.
    qint64 position() const { return dropped_ + start_; }

  protected:
    // Reads fd from where it stands; it is not closed here. Without blocking, a descriptor
    // that is no regular file is read only when it has something to give.
    LineReader(int fd, qsizetype longestLine, bool withoutBlocking = false);
    // Bytes that stay in memory for as long as the reader lives.
    LineReader(QByteArrayView text, qsizetype longestLine);
    LineReader(LineReader&& other) noexcept;
    LineReader& operator=(LineReader&&) = delete;
    virtual ~LineReader() = default;

    // Each throws.
    [[noreturn]] virtual void failRead(int error) const = 0;
    [[noreturn]] virtual void failTooLong(qsizetype line) const = 0;
    // Adds what was read to the text the lines are cut from; the end of the input comes as
    // ended with no bytes. As read, unless told otherwise.
    virtual void received(QByteArrayView bytes, bool ended, QByteArray& text);

    // The unread text once it holds at least size bytes, or all there is; waits for them.
    QByteArrayView ahead(qsizetype size);
    // Leaves out bytes of the unread text, before any line is taken.
    void skip(qsizetype size) { start_ = scanned_ = start_ + size; }
    int fd() const { return fd_; }
    // A regular file, which can be read again from any offset.
    bool regular() const { return regular_; }
    bool ended() const { return ended_; }

  private:
    QByteArrayView text() const { return fd_ < 0 ? memory_ : QByteArrayView(buffer_); }
    bool fill();
    void requireWithinLimit(qsizetype length, qsizetype line) const;

    int fd_ = -1;
    qsizetype longest_;
    bool regular_ = false;
    bool withoutBlocking_ = false;
    QByteArrayView memory_;
    QByteArray buffer_;  // what was read and not yet taken
    qint64 dropped_ = 0; // bytes taken out of buffer_ before its start
    bool ended_ = false;
    LineSplitter splitter_{LineSplitter::FinalLineFeed::NothingAfter};
    qsizetype start_ = 0, scanned_ = 0;
    qsizetype number_ = 0;
};
