#include "ResultSink.h"

#include "AppError.h"

#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
constexpr qsizetype kChunkBytes = 64 * 1024;
}

ResultSink::ResultSink(const QString& path) {
    if (!path.isEmpty())
        file_.emplace(path);
}

void ResultSink::open() {
    if (file_)
        file_->open();
}

void ResultSink::write(const QString& text) {
    if (file_) {
        file_->write(text);
        return;
    }
    // The system's encoding, as the file exports write.
    static QStringEncoder encoder(QStringEncoder::System);
    pending_ += encoder.encode(text);
    if (pending_.size() >= kChunkBytes)
        flushStandardOutput();
}

void ResultSink::writeUtf8(const QByteArray& text) {
    if (file_) {
        file_->writeUtf8(text);
        return;
    }
    writeBytes(text);
}

void ResultSink::writeBytes(const QByteArray& bytes) {
    if (file_) {
        file_->writeBytes(bytes);
        return;
    }
    pending_ += bytes;
    if (pending_.size() >= kChunkBytes)
        flushStandardOutput();
}

void ResultSink::commit() {
    if (file_)
        file_->commit();
    else
        flushStandardOutput();
}

void ResultSink::flushStandardOutput() {
    for (qsizetype done = 0; done < pending_.size();) {
        const ssize_t written =
            ::write(STDOUT_FILENO, pending_.constData() + done, size_t(pending_.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EPIPE)
            throw ClosedPipe();
        if (written <= 0)
            throw AppError(QStringLiteral("Cannot write standard output: %1")
                               .arg(QString::fromLocal8Bit(std::strerror(errno))));
        done += written;
    }
    pending_.truncate(0);
}
