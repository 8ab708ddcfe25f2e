// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystem.h"
#include "LineDecoder.h"
#include "Thesaurus.h"
#include "WordStream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

ssize_t readSome(int fd, char* into, size_t size, off_t offset = -1) {
    ssize_t got;
    do
        got = offset < 0 ? ::read(fd, into, size) : ::pread(fd, into, size, offset);
    while (got < 0 && errno == EINTR);
    return got;
}

} // namespace

ByteLines::ByteLines(QByteArrayView data, QString sourceName)
    : source_(std::move(sourceName)), memory_(data), size_(data.size()), ended_(true) {}

ByteLines::ByteLines(const QString& path) : source_(path) {
    do
        fd_ = ::open(NativeName(path).constData(), O_RDONLY | O_CLOEXEC);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        throw ThesaurusError(path, 0, QStringLiteral("cannot read: %1").arg(reason(errno)));
    struct stat info;
    if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
        regular_ = true;
        size_ = info.st_size;
    }
}

ByteLines::~ByteLines() {
    if (fd_ >= 0)
        ::close(fd_);
}

ByteLines::ByteLines(ByteLines&& other) noexcept
    : source_(std::move(other.source_)), fd_(std::exchange(other.fd_, -1)),
      regular_(other.regular_), memory_(other.memory_), buffer_(std::move(other.buffer_)),
      dropped_(other.dropped_), size_(other.size_), ended_(other.ended_),
      markChecked_(other.markChecked_), splitter_(other.splitter_), start_(other.start_),
      scanned_(other.scanned_), number_(other.number_) {}

QByteArrayView ByteLines::text() const {
    return fd_ < 0 ? memory_ : QByteArrayView(buffer_);
}

// The mark can only be told from a line once three bytes are in, or the input has ended.
void ByteLines::skipByteOrderMark() {
    while (!ended_ && buffer_.size() < kByteOrderMark.size())
        fill();
    markChecked_ = true;
    if (text().startsWith(kByteOrderMark))
        start_ = scanned_ = kByteOrderMark.size();
}

bool ByteLines::next(QByteArrayView& line) {
    if (!markChecked_)
        skipByteOrderMark();
    for (;;) {
        const QByteArrayView all = text();
        qsizetype lineStart = 0, lineEnd = 0;
        bool found = splitter_.next(all, start_, scanned_, lineStart, lineEnd);
        if (!found && ended_) {
            if (!splitter_.lastLine(all.size() - start_))
                return false;
            lineStart = start_;
            lineEnd = start_ = scanned_ = all.size();
            found = true;
        }
        if (found) {
            ++number_;
            requireWithinLimit(lineEnd - lineStart, number_);
            line = all.sliced(lineStart, lineEnd - lineStart);
            return true;
        }
        // Checked before reading on, so that an unfinished line never holds more than the
        // limit and one piece.
        requireWithinLimit(scanned_ - start_, number_ + 1);
        fill();
    }
}

// Returns false at the end of the input.
bool ByteLines::fill() {
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.remove(0, start_);
        dropped_ += start_;
        scanned_ -= start_;
        start_ = 0;
    }
    const qsizetype had = buffer_.size();
    buffer_.resize(had + kChunkBytes);
    const ssize_t got = readSome(fd_, buffer_.data() + had, kChunkBytes);
    const int error = errno;
    buffer_.resize(had + std::max<ssize_t>(got, 0));
    if (got < 0)
        throw ThesaurusError(source_, 0, QStringLiteral("cannot read: %1").arg(reason(error)));
    ended_ = got == 0;
    return !ended_;
}

void ByteLines::requireWithinLimit(qsizetype length, int line) const {
    if (length > WordStream::kLongestLine)
        throw ThesaurusError(source_, line,
                             QStringLiteral("line longer than %1 bytes, the longest line "
                                            "the importer reads")
                                 .arg(WordStream::kLongestLine));
}

qint64 ByteLines::total() const {
    LineSplitter splitter(LineSplitter::FinalLineFeed::NothingAfter);
    qint64 lines = 0;
    qsizetype rest = 0; // bytes after the last line end
    const auto count = [&](QByteArrayView piece) {
        qsizetype start = 0, scanned = 0, lineStart = 0, lineEnd = 0;
        bool ended = false;
        while (splitter.next(piece, start, scanned, lineStart, lineEnd)) {
            ++lines;
            ended = true;
        }
        rest = (ended ? 0 : rest) + piece.size() - start;
    };
    if (fd_ < 0) {
        const QByteArrayView all = memory_;
        count(all.startsWith(kByteOrderMark) ? all.sliced(kByteOrderMark.size()) : all);
        return lines + splitter.lastLine(rest);
    }
    if (!regular_)
        return -1;
    QByteArray piece(kChunkBytes, Qt::Uninitialized);
    for (off_t offset = 0;;) {
        const ssize_t got = readSome(fd_, piece.data(), size_t(piece.size()), offset);
        // A failure shows when the lines themselves are read.
        if (got <= 0)
            break;
        QByteArrayView part(piece.constData(), got);
        if (offset == 0 && part.startsWith(kByteOrderMark))
            part = part.sliced(kByteOrderMark.size());
        offset += got;
        count(part);
    }
    return lines + splitter.lastLine(rest);
}
