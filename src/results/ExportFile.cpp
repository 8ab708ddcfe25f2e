#include "ExportFile.h"

#include "AppError.h"
#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <utility>

namespace {
constexpr qsizetype kChunkBytes = 64 * 1024;
} // namespace

ExportFile::ExportFile(QString path) : path_(std::move(path)), encoder_(QStringEncoder::System) {}

ExportFile::~ExportFile() {
    discard();
}

QString ExportFile::failure(const QString& what) const {
    return failure(what, file_ ? file_->errorString() : QStringLiteral("the file is not open"));
}

QString ExportFile::failure(const QString& what, const QString& reason) const {
    return what.arg(QDir::toNativeSeparators(path_), reason);
}

void ExportFile::open() {
    discard();
    const FileSystemTarget target = InspectTarget(path_);
    if (target.replaceable) {
        // Written in chunks of our own, so that a short write can be retried
        // to learn its reason.
        auto save = std::make_unique<QSaveFile>(path_);
        const bool opened = save->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        if (opened && TakeOverIdentity(int(save->handle()), target)) {
            file_ = std::move(save);
            return;
        }
        if (!opened)
            throw AppError(failure(QStringLiteral("Cannot create %1: %2"), save->errorString()));
        // The new file could not take the old one's group: write in place.
    }
    openInPlace(target);
}

void ExportFile::openInPlace(const FileSystemTarget& target) {
    auto file = std::make_unique<QFile>(path_);
    // A pipe that nobody reads would block the open until somebody does; a
    // non-blocking open fails at once instead, and the writes block as usual.
    const int fd = OpenForWriting(path_, target.isFifo);
    if (fd < 0) {
        const QString reason = errno == ENXIO && target.isFifo
                                   ? QStringLiteral("no program is reading from this pipe")
                                   : qt_error_string(errno);
        throw AppError(failure(QStringLiteral("Cannot create %1: %2"), reason));
    }
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        CloseDescriptor(fd);
        throw AppError(failure(QStringLiteral("Cannot create %1: %2"), file->errorString()));
    }
    file_ = std::move(file);
    syncOnCommit_ = target.exists && !target.isFifo;
}

void ExportFile::write(const QString& text) {
    if (!file_)
        throw AppError(failure(QStringLiteral("Cannot write %1: %2")));
    // Encoded straight onto what is pending: an export writes row by row.
    const qsizetype start = pending_.size();
    pending_.resize(start + encoder_.requiredSpace(text.size()));
    const char* end = encoder_.appendToBuffer(pending_.data() + start, text);
    pending_.truncate(end - pending_.constData());
    if (pending_.size() >= kChunkBytes)
        writePending();
}

void ExportFile::writeUtf8(const QByteArray& text) {
    static const bool systemIsUtf8 =
        QByteArray(QStringEncoder(QStringEncoder::System).encode(u"\u00E9")) == "\xC3\xA9";
    if (systemIsUtf8) {
        append(text);
        return;
    }
    QStringDecoder fromUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    write(fromUtf8(text));
}

void ExportFile::append(const QByteArray& encoded) {
    if (!file_)
        throw AppError(failure(QStringLiteral("Cannot write %1: %2")));
    pending_ += encoded;
    if (pending_.size() >= kChunkBytes)
        writePending();
}

void ExportFile::writePending() {
    // A write cut short (a disk filling up) gives no reason; the next
    // attempt fails outright and says why.
    for (qsizetype done = 0; done < pending_.size();) {
        const qint64 written = file_->write(pending_.constData() + done, pending_.size() - done);
        if (written <= 0) {
            const QString reason = failure(QStringLiteral("Cannot write %1: %2"));
            discard();
            throw AppError(reason);
        }
        done += written;
    }
    pending_.truncate(0); // the room stays for the next chunk
}

void ExportFile::commit() {
    if (!file_)
        return;
    writePending();
    bool done = false;
    if (auto* save = qobject_cast<QSaveFile*>(file_.get()))
        done = save->commit();
    else {
        done = file_->flush();
        // A file written in place is as safe as the disk says it is.
        if (done && syncOnCommit_ && !SyncToDisk(file_->handle())) {
            const QString reason =
                failure(QStringLiteral("Cannot save %1: %2"), qt_error_string(errno));
            file_.reset();
            throw AppError(reason);
        }
        file_->close();
        done = done && file_->error() == QFileDevice::NoError;
    }
    if (!done) {
        const QString reason = failure(QStringLiteral("Cannot save %1: %2"));
        file_.reset();
        throw AppError(reason);
    }
    file_.reset();
}

void ExportFile::discard() {
    pending_.clear();
    if (!file_)
        return;
    // QSaveFile removes its temporary file when destroyed uncommitted.
    file_.reset();
}
