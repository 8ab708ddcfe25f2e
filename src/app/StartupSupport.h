// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCursor>
#include <QString>

// The application title: words are cut from the end of the display name
// until it fits in 40 characters, at least once; a name without a blank is
// kept whole.
QString TitleFromDisplayName(const QString& displayName);

// A Windows cursor file as a pointer, with the hot spot its header names.
// Throws AppError when the file is not a cursor that can be drawn.
QCursor LoadCursorFile(const QString& path);

// Whether Qt can read the text as a style sheet. Qt reads a sheet only when
// it first styles a widget, and tells of a sheet it cannot read only by a
// warning, after which the sheet is ignored.
bool StyleSheetReadable(const QString& sheet);
