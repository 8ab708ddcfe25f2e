// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineReader.h"

#include "FileSystem.h"

#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
#include <utility>

LineReader::LineReader(int fd, qsizetype longestLine, bool withoutBlocking)
    : fd_(fd), longest_(longestLine) {
    struct stat info;
    regular_ = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
    withoutBlocking_ = withoutBlocking && !regular_;
}

LineReader::LineReader(QByteArrayView text, qsizetype longestLine)
    : longest_(longestLine), memory_(text), ended_(true) {}

LineReader::LineReader(LineReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), longest_(other.longest_), regular_(other.regular_),
      withoutBlocking_(other.withoutBlocking_), memory_(other.memory_),
      buffer_(std::move(other.buffer_)), dropped_(other.dropped_), ended_(other.ended_),
      splitter_(other.splitter_), start_(other.start_), scanned_(other.scanned_),
      number_(other.number_) {}

void LineReader::received(QByteArrayView bytes, bool, QByteArray& text) {
    text += bytes;
}

LineReader::Next LineReader::next(QByteArrayView& line) {
    for (;;) {
        const QByteArrayView all = text();
        qsizetype lineStart = 0, lineEnd = 0;
        if (!splitter_.next(all, start_, scanned_, lineStart, lineEnd)) {
            // Checked before reading on, so that an unfinished line never holds more than the
            // limit and one read.
            requireWithinLimit(scanned_ - start_, number_ + 1);
            if (!ended_) {
                if (!fill())
                    return Waiting;
                continue;
            }
            if (!splitter_.lastLine(all.size() - start_))
                return End;
            lineStart = start_;
            lineEnd = start_ = scanned_ = all.size();
        }
        ++number_;
        requireWithinLimit(lineEnd - lineStart, number_);
        line = all.sliced(lineStart, lineEnd - lineStart);
        return Line;
    }
}

QByteArrayView LineReader::ahead(qsizetype size) {
    while (!ended_ && text().size() - start_ < size)
        fill();
    return text().sliced(start_);
}

// False when a pipe read without blocking has nothing for now.
bool LineReader::fill() {
    if (withoutBlocking_) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 0) == 0)
            return false;
    }
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.remove(0, start_);
        dropped_ += start_;
        scanned_ -= start_;
        start_ = 0;
    }
    char chunk[kChunkBytes];
    const ssize_t got = ReadSome(fd_, chunk, sizeof chunk);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return false;
    if (got < 0)
        failRead(errno);
    ended_ = got == 0;
    received(QByteArrayView(chunk, got), ended_, buffer_);
    return true;
}

void LineReader::requireWithinLimit(qsizetype length, qsizetype line) const {
    if (length > longest_)
        failTooLong(line);
}
