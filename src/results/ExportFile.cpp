#include "ExportFile.h"

#include "AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <utility>

namespace {
constexpr qsizetype kChunkBytes = 64 * 1024;
} // namespace

ExportFile::ExportFile(QString path) : path_(std::move(path)), encoder_(QStringEncoder::System) {}

ExportFile::~ExportFile() {
    discard();
}

QString ExportFile::failure(const QString& what) const {
    return what.arg(QDir::toNativeSeparators(path_),
                    file_ ? file_->errorString() : QStringLiteral("the file is not open"));
}

void ExportFile::open() {
    discard();
    const QFileInfo target(path_);
    // Renaming over a device or a pipe would put a plain file in its place.
    if (target.exists() && !target.isFile() && !target.isDir())
        file_ = std::make_unique<QFile>(path_);
    else
        file_ = std::make_unique<QSaveFile>(path_);
    // Written in chunks of our own, so that a short write can be retried to
    // learn its reason.
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QString reason = failure(QStringLiteral("Cannot create %1: %2"));
        file_.reset();
        throw AppError(reason);
    }
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
