// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// True when the file system can report on the path (its last-modified time,
// whatever that time is); never fails, whatever the path.
bool FileExists(const QString& path);

// Collapses each pair of slashes to one, left to right in one pass; a
// leading run becomes a single slash.
QString CollapseSlashes(const QString& path);

// The text after the last slash: the whole text when there is none, the
// empty text when the path ends in one.
QString FileNameFromPath(const QString& path);

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
