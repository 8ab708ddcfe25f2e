// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupSupport.h"

#include "AppError.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

QString TitleFromDisplayName(const QString& displayName) {
    constexpr qsizetype kLongestTitle = 40;
    QString title = displayName;
    for (;;) {
        const qsizetype blank = title.lastIndexOf(u' ');
        if (blank < 0)
            return title;
        title.truncate(blank);
        if (title.size() <= kLongestTitle)
            return title;
    }
}

QCursor LoadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    const auto invalid = [&] {
        return AppError(QStringLiteral("%1 is not a valid cursor file.").arg(path));
    };
    // Directory: reserved 0, type 2 (cursor), image count; then the first
    // image's entry, whose two 16-bit fields at 4 and 6 are the hot spot.
    constexpr int kDirectory = 6, kEntry = 16;
    if (bytes.size() < kDirectory + kEntry)
        throw invalid();
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(data) != 0 || qFromLittleEndian<quint16>(data + 2) != 2 ||
        qFromLittleEndian<quint16>(data + 4) == 0)
        throw invalid();
    const int hotX = qFromLittleEndian<quint16>(data + kDirectory + 4);
    const int hotY = qFromLittleEndian<quint16>(data + kDirectory + 6);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        throw invalid();
    return QCursor(QPixmap::fromImage(image), std::min(hotX, image.width() - 1),
                   std::min(hotY, image.height() - 1));
}

namespace {
// Set while a sheet is tried out; Qt's warnings arrive on this thread.
QtMessageHandler g_otherMessages = nullptr;
bool g_warningsWanted = true;
bool g_sheetUnreadable = false;

void listenForUnreadableSheet(QtMsgType type, const QMessageLogContext& context,
                              const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse stylesheet")))
        g_sheetUnreadable = true;
    else if (type != QtWarningMsg || g_warningsWanted)
        g_otherMessages(type, context, message);
}
} // namespace

bool StyleSheetReadable(const QString& sheet) {
    // The warning must reach the handler even where logging rules silence
    // Qt's warnings; other warnings stay as silent as the rules say.
    QLoggingCategory& warnings = *QLoggingCategory::defaultCategory();
    const bool warningsWereOn = warnings.isWarningEnabled();
    g_warningsWanted = warningsWereOn;
    warnings.setEnabled(QtWarningMsg, true);
    g_sheetUnreadable = false;
    g_otherMessages = qInstallMessageHandler(listenForUnreadableSheet);
    {
        // Styling a widget that is never shown makes Qt read the sheet now.
        QWidget trial;
        trial.setStyleSheet(sheet);
        trial.ensurePolished();
    }
    qInstallMessageHandler(g_otherMessages);
    warnings.setEnabled(QtWarningMsg, warningsWereOn);
    return !g_sheetUnreadable;
}
