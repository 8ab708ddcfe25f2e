// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordStream.h"

#include "AppError.h"
#include "FileSystem.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace {
// Encodings are decided by WordListEncoding from the bytes; these stand for
// every file of their kind.
const WordListEncoding kUtf8{QByteArrayView()};
const WordListEncoding kWindows1252{QByteArrayView("\x80")};
} // namespace

WordStream::WordStream(int fd, QString shownName)
    : LineReader(fd, kLongestLine, true), shown_(std::move(shownName)) {}

void WordStream::failRead(int error) const {
    throw AppError(QStringLiteral("Cannot read %1: %2").arg(shown_, SystemErrorText(error)));
}

void WordStream::failTooLong(qsizetype line) const {
    throw AppError(QStringLiteral("Cannot read %1: line %2 is longer than %3 bytes, the "
                                  "longest line a word file may hold.")
                       .arg(shown_)
                       .arg(line)
                       .arg(kLongestLine));
}

void WordStream::received(QByteArrayView bytes, bool ended, QByteArray& text) {
    if (fromUtf16_)
        text += QString(fromUtf16_->decode(bytes)).toUtf8();
    else if (decided_)
        text += bytes;
    else {
        undecoded_ += bytes;
        decideEncoding(ended, text);
    }
}

// The byte-order mark is waited for only as long as the first bytes could
// still be one.
void WordStream::decideEncoding(bool ended, QByteArray& text) {
    if (!ended && WordListEncoding::MayBecomeMark(undecoded_))
        return;
    decided_ = true;
    QByteArray body = std::exchange(undecoded_, QByteArray());
    const WordListEncoding::Mark mark = WordListEncoding::MarkAt(body);
    if (mark.kind != WordListEncoding::Kind::Utf8) {
        fromUtf16_.emplace(mark.kind == WordListEncoding::Kind::Utf16LE ? QStringDecoder::Utf16LE
                                                                        : QStringDecoder::Utf16BE,
                           QStringDecoder::Flag::ConvertInitialBom);
        text = QString(fromUtf16_->decode(QByteArrayView(body).sliced(mark.length))).toUtf8();
        encoding_ = &kUtf8;
        return;
    }
    body.remove(0, mark.length);
    text = std::move(body);
    if (regular())
        encoding_ = wholeFileIsUtf8(text) ? &kUtf8 : &kWindows1252;
}

// Read ahead without keeping anything, in line-sized pieces: UTF-8 never
// splits a character at a line feed.
bool WordStream::wholeFileIsUtf8(const QByteArray& start) const {
    QByteArray rest = start;
    const off_t at = ::lseek(fd(), 0, SEEK_CUR);
    if (at < 0)
        return QByteArrayView(rest).isValidUtf8();
    char chunk[kChunkBytes];
    for (off_t offset = at;;) {
        const ssize_t got = ReadSome(fd(), chunk, sizeof chunk, offset);
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

WordStream::Next WordStream::next(QByteArrayView& word) {
    QByteArrayView bytes;
    switch (LineReader::next(bytes)) {
    case LineReader::Waiting:
        return Waiting;
    case LineReader::End:
        return End;
    case LineReader::Line:
        break;
    }
    const WordListEncoding& encoding =
        encoding_ ? *encoding_ : bytes.isValidUtf8() ? kUtf8 : kWindows1252;
    word = encoding.toUtf8(bytes, converted_);
    return Word;
}

void WordStream::waitForInput() const {
    pollfd ready{fd(), POLLIN, 0};
    while (!ended() && ::poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
}
