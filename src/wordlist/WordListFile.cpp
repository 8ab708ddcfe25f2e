// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordListFile.h"

#include "AppError.h"
#include "Desktop.h"
#include "FileSystem.h"
#include "Paths.h"
#include "WordListText.h"

#include <QFile>
#include <unistd.h>

namespace {
AppError fileError(const QString& what, const QString& path, const QFile& file) {
    return AppError(QStringLiteral("Cannot %1 %2: %3").arg(what, path, file.errorString()));
}
} // namespace

int OpenWordFile(const QString& path, QString& problem) {
    bool notRegular = false;
    const int fd = OpenRegularFileForReading(path, notRegular);
    if (fd < 0)
        problem = QStringLiteral("Cannot open %1: %2")
                      .arg(path, notRegular ? QStringLiteral("not a text file but a pipe or a "
                                                             "device; nothing was loaded")
                                            : SystemErrorText(errno));
    return fd;
}

void LoadListviewFromFile(WordSink& list, const QString& path, Desktop& desktop) {
    if (!FileExists(path)) {
        desktop.message(QStringLiteral("File not found"));
        return;
    }
    // The whole file is read before anything is appended, because one
    // byte anywhere decides how all of it is decoded. QFile closes the file
    // on every way out.
    // A pipe, a device or a folder would block the open, never end, or
    // read as nothing: only regular files are read.
    QString problem;
    const int fd = OpenWordFile(path, problem);
    if (fd < 0)
        throw AppError(problem);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw fileError(QStringLiteral("open"), path, file);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw fileError(QStringLiteral("read"), path, file);
    file.close();

    ReadWordList(bytes, list);
}
