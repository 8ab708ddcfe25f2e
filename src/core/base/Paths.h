// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// The separator of the platform's paths; the helpers below take it as a
// parameter so both conventions stay testable on either platform.
#ifdef Q_OS_WIN
inline constexpr QChar kPathSeparator = u'\\';
inline constexpr bool kNetworkPrefix = true;
#else
inline constexpr QChar kPathSeparator = u'/';
inline constexpr bool kNetworkPrefix = false;
#endif

// True when the file system can report on the path (its last-modified time,
// whatever that time is); never fails, whatever the path.
bool FileExists(const QString& path);

// Collapses each pair of separators to one, left to right in one pass. A
// leading run becomes the network prefix (two separators) on Windows and a
// single separator elsewhere.
QString CollapseBackslashes(const QString& path, QChar separator = kPathSeparator,
                            bool networkPrefix = kNetworkPrefix);

// The text after the last separator: the whole text when there is none, the
// empty text when the path ends in one.
QString FileNameFromPath(const QString& path, QChar separator = kPathSeparator);

// The application folder joined with a relative name, as the program finds
// the files that lie beside it.
QString BesideApplication(const QString& applicationFolder, const QString& name);

// The database both programs use when none is chosen: "words.mdb" beside the executable.
QString DatabaseBesideApplication(const QString& applicationFolder);

// The user's home folder: $HOME when it names an absolute path, else the one the password
// database gives the user, as login shells do; "/" only when neither is known.
QString HomeFolder();

// A base folder of the XDG rules: $variable when it is an absolute path, else underHome
// (".cache", ".local/share", ".config") in the home folder. A relative or empty value is
// ignored, as the rules say.
QString XdgFolder(const char* variable, const QString& underHome);

// The absolute folders of $XDG_DATA_DIRS, else /usr/local/share and /usr/share.
QStringList XdgDataFolders();
