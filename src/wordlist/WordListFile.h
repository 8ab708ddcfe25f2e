// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Desktop;
class WordSink;

// Appends every entry of the text file at path to list, in file order (see
// WordListText.h for how lines become entries); the window passes its word
// list through ListViewWords. A missing file is not a failure: the user is
// told "File not found" and the list stays as it was. A file that exists but
// cannot be opened or read throws AppError naming the path and the system's
// reason, for the caller's error trap; entries of earlier files stay.
void LoadListviewFromFile(WordSink& list, const QString& path, Desktop& desktop);

// Opens the word file at path for reading, without waiting on a pipe: a descriptor, or -1
// with problem set to "Cannot open PATH: reason" (a missing file, a folder, a pipe or a
// device, no permission).
int OpenWordFile(const QString& path, QString& problem);
