// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordStream.h"

#include "AppError.h"
#include "FileSystem.h"

#include <QCoreApplication>
#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {
// Encodings are decided by WordListEncoding from the bytes; these stand for
// every file of their kind.
const WordListEncoding kUtf8{QByteArrayView()};
const WordListEncoding kWindows1252{QByteArrayView("\x80")};
} // namespace

WordStream::WordStream(int fd, QString shownName) : fd_(fd), shown_(std::move(shownName)) {
    struct stat info;
    regular_ = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

void WordStream::failRead(int error) const {
    throw AppError(QStringLiteral("Cannot read %1: %2").arg(shown_, qt_error_string(error)));
}

bool WordStream::fill() {
    if (ended_)
        return false;
    if (!regular_) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 0) == 0)
            return false;
    }
    if (start_ > 0 && start_ >= raw_.size() / 2) {
        raw_.remove(0, start_);
        scanned_ -= start_;
        start_ = 0;
    }
    char chunk[kChunkBytes];
    ssize_t got;
    do
        got = ::read(fd_, chunk, sizeof chunk);
    while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return false;
    if (got < 0)
        failRead(errno);
    ended_ = got == 0;
    const QByteArrayView bytes(chunk, got);
    if (fromUtf16_)
        raw_ += QString(fromUtf16_->decode(bytes)).toUtf8();
    else if (decided_)
        raw_ += bytes;
    else
        undecoded_ += bytes;
    return true;
}

// The byte-order mark is waited for only as long as the first bytes could
// still be one.
bool WordStream::decideEncoding() {
    if (!ended_ && WordListEncoding::MayBecomeMark(undecoded_))
        return false;
    decided_ = true;
    QByteArray body = std::exchange(undecoded_, QByteArray());
    const WordListEncoding::Mark mark = WordListEncoding::MarkAt(body);
    if (mark.kind != WordListEncoding::Kind::Utf8) {
        fromUtf16_.emplace(mark.kind == WordListEncoding::Kind::Utf16LE ? QStringDecoder::Utf16LE
                                                                        : QStringDecoder::Utf16BE,
                           QStringDecoder::Flag::ConvertInitialBom);
        raw_ = QString(fromUtf16_->decode(QByteArrayView(body).sliced(mark.length))).toUtf8();
        encoding_ = &kUtf8;
        return true;
    }
    body.remove(0, mark.length);
    raw_ = std::move(body);
    if (regular_)
        encoding_ = wholeFileIsUtf8() ? &kUtf8 : &kWindows1252;
    return true;
}

// Read ahead without keeping anything, in line-sized pieces: UTF-8 never
// splits a character at a line feed.
bool WordStream::wholeFileIsUtf8() const {
    QByteArray rest = raw_;
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0)
        return QByteArrayView(rest).isValidUtf8();
    char chunk[kChunkBytes];
    for (off_t offset = at;;) {
        const ssize_t got = ::pread(fd_, chunk, sizeof chunk, offset);
        if (got <= 0)
            break; // a failure shows when the file is read for its words
        offset += got;
        rest += QByteArrayView(chunk, got);
        const qsizetype end = rest.lastIndexOf('\n') + 1;
        if (!QByteArrayView(rest).first(end).isValidUtf8())
            return false;
        rest.remove(0, end);
        if (rest.size() > kLongestLine)
            return QByteArrayView(rest).isValidUtf8();
    }
    return QByteArrayView(rest).isValidUtf8();
}

void WordStream::requireShorterThanLimit(qsizetype length, qsizetype line) const {
    if (length > kLongestLine)
        throw AppError(QStringLiteral("Cannot read %1: line %2 is longer than %3 bytes, the "
                                      "longest line a word file may hold.")
                           .arg(shown_)
                           .arg(line)
                           .arg(kLongestLine));
}

WordStream::Next WordStream::give(qsizetype lineStart, qsizetype lineEnd, QByteArrayView& word) {
    ++line_;
    requireShorterThanLimit(lineEnd - lineStart, line_);
    const QByteArrayView bytes = QByteArrayView(raw_).sliced(lineStart, lineEnd - lineStart);
    const WordListEncoding& encoding =
        encoding_ ? *encoding_ : bytes.isValidUtf8() ? kUtf8 : kWindows1252;
    word = encoding.toUtf8(bytes, converted_);
    return Word;
}

WordStream::Next WordStream::next(QByteArrayView& word) {
    for (;;) {
        if (!decided_ && !decideEncoding()) {
            if (!fill())
                return ended_ ? End : Waiting;
            continue;
        }
        qsizetype lineStart = 0, lineEnd = 0;
        if (lines_.next(QByteArrayView(raw_), start_, scanned_, lineStart, lineEnd))
            return give(lineStart, lineEnd, word);
        // Checked before reading on, so that the unfinished line never holds
        // more than the limit and one read.
        requireShorterThanLimit(scanned_ - start_, line_ + 1);
        if (fill())
            continue;
        if (!ended_)
            return Waiting;
        if (!lines_.lastLine(raw_.size() - start_))
            return End;
        lineStart = start_;
        start_ = scanned_ = raw_.size();
        return give(lineStart, raw_.size(), word);
    }
}

void WordStream::waitForInput() const {
    pollfd ready{fd_, POLLIN, 0};
    while (!ended_ && ::poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
}
