// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultSink.h"

#include "AppError.h"
#include "FileSystem.h"
#include "ShellQuote.h"

#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The descriptor that a name stands for, when the program holds it open:
// opening the name again would start the file afresh behind the shell's back.
int alreadyOpen(const QString& path) {
    if (path.isEmpty() || path == u'-' || path == QStringLiteral("/dev/stdout"))
        return STDOUT_FILENO;
    if (path == QStringLiteral("/dev/stderr"))
        return STDERR_FILENO;
    static const QRegularExpression descriptor(
        QStringLiteral("^(?:/dev/fd|/proc/(?:self|thread-self|%1)/fd)/([0-9]{1,9})$")
            .arg(::getpid()));
    const QRegularExpressionMatch match = descriptor.match(path);
    if (!match.hasMatch())
        return -1;
    const int fd = match.captured(1).toInt();
    return ::fcntl(fd, F_GETFD) != -1 ? fd : -1;
}
} // namespace

ResultSink::ResultSink(const QString& path) : path_(path), fd_(alreadyOpen(path)) {
    if (fd_ < 0)
        file_.emplace(path);
}

std::optional<FileIdentity> ResultSink::identity() const {
    return fd_ >= 0 ? IdentityOf(fd_) : IdentityOf(path_);
}

QString ResultSink::name() const {
    return fd_ == STDOUT_FILENO ? QStringLiteral("standard output") : ShownText(path_);
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
    if (pending_.addText(text))
        flushDescriptor();
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
    if (pending_.addBytes(bytes))
        flushDescriptor();
}

void ResultSink::flush() {
    if (file_)
        file_->flush();
    else
        flushDescriptor();
}

void ResultSink::commit() {
    if (file_)
        file_->commit();
    else
        flushDescriptor();
}

void ResultSink::flushDescriptor() {
    if (stepAside_ && !pending_.bytes().isEmpty())
        stepAside_();
    if (!WriteAll(fd_, pending_.bytes())) {
        if (errno == EPIPE)
            throw ClosedPipe();
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(name(), SystemErrorText(errno)));
    }
    pending_.written();
}
