// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineReader.h"
#include "WordListText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <optional>

// The words of one word file for the command line, taken as their lines
// arrive, so that a pipe is looked up while it is still being written and
// memory does not grow with the input. The window's rules hold
// (WordListText.h), except that the line end closing the text gives no empty
// entry after it, as Unix tools read lines, and that a line may be no longer
// than kLongestLine. The encoding is decided from the whole file when it is a
// regular file; a pipe cannot be read ahead, so there each line that is not
// UTF-8 is read as Windows-1252 on its own.
class WordStream : private LineReader {
  public:
    // A longer line ends the run with an error instead of filling memory,
    // whether it comes from a file or a pipe.
    static constexpr qsizetype kLongestLine = 1024 * 1024;

    // Reads fd from where it stands; it is not closed here. shownName is
    // the file's name in messages.
    WordStream(int fd, QString shownName);
    WordStream(const WordStream&) = delete;
    WordStream& operator=(const WordStream&) = delete;

    enum Next { Word, Waiting, End };
    // The next word as UTF-8, valid until the next call, or Waiting when a
    // pipe has no more for now. Never blocks on a pipe. Throws AppError
    // naming the file and line on a read failure or an overlong line.
    Next next(QByteArrayView& word);
    // Blocks until a pipe has more to read (or ends).
    void waitForInput() const;
    // The line of the word last given, from 1.
    qsizetype line() const { return number(); }

  private:
    [[noreturn]] void failRead(int error) const override;
    [[noreturn]] void failTooLong(qsizetype line) const override;
    void received(QByteArrayView bytes, bool ended, QByteArray& text) override;
    void decideEncoding(bool ended, QByteArray& text);
    bool wholeFileIsUtf8(const QByteArray& start) const;

    QString shown_;
    const WordListEncoding* encoding_ = nullptr; // none: decided line by line
    std::optional<QStringDecoder> fromUtf16_;    // UTF-16 is turned into UTF-8 as it comes
    QByteArray undecoded_;
    QByteArray converted_; // the last word, when it had to be turned into UTF-8
    bool decided_ = false;
};
