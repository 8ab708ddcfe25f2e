// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RowFormats.h"

#include <QString>
#include <QStringView>

class ColumnList;
class Desktop;
class ProgressDisplay;

// The export routines shared by the results buttons. Each serves any list
// with columns; the window passes its results list.

// Writes the header line and the checked rows of the list to the file, each
// column padded to its widest text and closed by a tab, lines ending in CR LF.
// Without a bar the progress steps are left out. Failures are reported here,
// in the routine's own error reports. Throws ClosingSignal when the window
// closes during one of its yields; the file it was to replace is kept then.
void SaveListviewProperlySpaced(const ColumnList& lv, const QString& fileName, ProgressDisplay* bar,
                                Desktop& desktop);

// Puts the checked rows on the clipboard, columns padded and separated by
// tabs, each line without trailing spaces and ending in CR LF. Reports
// nothing: a row that cannot be read ends it with AppError, for the caller's
// report. An empty list leaves the clipboard alone.
void CopyListviewToClipboard(const ColumnList& lv, Desktop& desktop);

// The clipboard is shared with other programs, which may hold it open for a
// moment: each routine tries up to 1000 times at once, reporting nothing,
// and tells whether the last attempt succeeded.
bool ClearClipboard(Desktop& desktop);
bool SetClipboardText(Desktop& desktop, const QString& text);
