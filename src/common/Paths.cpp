#include "Paths.h"

#include "FileSystem.h"

#include <QFileInfo>

bool FileExists(const QString& path) {
    // A NUL would silently cut the name short in the system call.
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;
    // Whether the file system can tell the path's times at all, not whether
    // they look sensible: Qt reports a modification time of 0 (archives,
    // reproducible builds) as an invalid date, yet the file is there.
    try {
        return PathExists(path);
    } catch (...) {
        return false;
    }
}

namespace {
QString collapsePairs(QStringView text, QChar separator) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator)
            ++i;
    }
    return out;
}
} // namespace

QString CollapseBackslashes(const QString& path, QChar separator, bool networkPrefix) {
    if (!path.startsWith(separator))
        return collapsePairs(path, separator);
    qsizetype rest = 0;
    while (rest < path.size() && path[rest] == separator)
        ++rest;
    const QString prefix = networkPrefix ? QString(2, separator) : QString(separator);
    return prefix + collapsePairs(QStringView(path).mid(rest), separator);
}

QString FileNameFromPath(const QString& path, QChar separator) {
    return path.mid(path.lastIndexOf(separator) + 1);
}

QString BesideApplication(const QString& applicationFolder, const QString& name) {
    return applicationFolder + kPathSeparator + name;
}
