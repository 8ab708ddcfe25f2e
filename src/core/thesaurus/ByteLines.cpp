// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystem.h"
#include "LineDecoder.h"
#include "Thesaurus.h"
#include "WordStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

int openForReading(const QString& path) {
    int fd;
    do
        fd = ::open(NativeName(path).constData(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw ThesaurusError(path, 0,
                             QStringLiteral("cannot read: %1").arg(SystemErrorText(errno)));
    return fd;
}

} // namespace

ByteLines::ByteLines(QByteArrayView data, QString sourceName)
    : LineReader(data, WordStream::kLongestLine), source_(std::move(sourceName)), memory_(data),
      size_(data.size()) {}

ByteLines::ByteLines(const QString& path)
    : LineReader(openForReading(path), WordStream::kLongestLine), source_(path) {
    struct stat info;
    if (regular() && ::fstat(fd(), &info) == 0)
        size_ = info.st_size;
}

ByteLines::~ByteLines() {
    if (fd() >= 0)
        ::close(fd());
}

ByteLines::ByteLines(ByteLines&& other) noexcept
    : LineReader(std::move(other)), source_(std::move(other.source_)), memory_(other.memory_),
      size_(other.size_), markChecked_(other.markChecked_) {}

void ByteLines::failRead(int error) const {
    throw ThesaurusError(source_, 0, QStringLiteral("cannot read: %1").arg(SystemErrorText(error)));
}

void ByteLines::refuseNul(QByteArrayView line) const {
    if (line.contains('\0'))
        throw ThesaurusError(source_, number(), QStringLiteral("NUL byte in line"));
}

void ByteLines::failTooLong(qsizetype line) const {
    throw ThesaurusError(source_, int(line),
                         QStringLiteral("line longer than %1 bytes, the longest line "
                                        "the importer reads")
                             .arg(WordStream::kLongestLine));
}

bool ByteLines::next(QByteArrayView& line) {
    // The mark can only be told from a line once three bytes are in, or the input has ended.
    if (!markChecked_) {
        markChecked_ = true;
        if (ahead(kByteOrderMark.size()).startsWith(kByteOrderMark))
            skip(kByteOrderMark.size());
    }
    return LineReader::next(line) == LineReader::Line;
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
    if (fd() < 0) {
        const QByteArrayView all = memory_;
        count(all.startsWith(kByteOrderMark) ? all.sliced(kByteOrderMark.size()) : all);
        return lines + splitter.lastLine(rest);
    }
    if (!regular())
        return -1;
    QByteArray piece(kChunkBytes, Qt::Uninitialized);
    for (off_t offset = 0;;) {
        const ssize_t got = ReadSome(fd(), piece.data(), piece.size(), offset);
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
