// SPDX-License-Identifier: GPL-3.0-or-later
#include "Paths.h"

#include "FileSystem.h"

#include <QFileInfo>
#include <pwd.h>
#include <unistd.h>

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
QString collapsePairs(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == u'/' && i + 1 < text.size() && text[i + 1] == u'/')
            ++i;
    }
    return out;
}
} // namespace

QString CollapseSlashes(const QString& path) {
    if (!path.startsWith(u'/'))
        return collapsePairs(path);
    qsizetype rest = 0;
    while (rest < path.size() && path[rest] == u'/')
        ++rest;
    return u'/' + collapsePairs(QStringView(path).mid(rest));
}

QString FileNameFromPath(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString DatabaseBesideApplication(const QString& applicationFolder) {
    return BesideApplication(applicationFolder, QStringLiteral("words.mdb"));
}

QString BesideApplication(const QString& applicationFolder, const QString& name) {
    return applicationFolder + u'/' + name;
}

QString HomeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (home.startsWith(u'/'))
        return home;
    // getpwuid_r: the window's build thread may ask at the same time.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    QByteArray buffer(size > 0 ? size : 16384, Qt::Uninitialized);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), size_t(buffer.size()), &found) == 0 &&
        found && found->pw_dir && found->pw_dir[0] == '/')
        return NameFromNative(found->pw_dir);
    return QStringLiteral("/");
}

QString XdgFolder(const char* variable, const QString& underHome) {
    const QString value = qEnvironmentVariable(variable);
    if (value.startsWith(u'/'))
        return value;
    QString home = HomeFolder();
    if (!home.endsWith(u'/'))
        home += u'/';
    return home + underHome;
}

QStringList XdgDataFolders() {
    QStringList folders;
    for (const QString& folder :
         qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts))
        if (folder.startsWith(u'/') && !folders.contains(folder))
            folders.append(folder);
    if (folders.isEmpty())
        folders = QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    return folders;
}
