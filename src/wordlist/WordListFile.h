#pragma once

#include <QString>

class Desktop;
class ListView;

// Appends every entry of the text file at path to list, in file order (see
// WordListText.h for how lines become entries). A missing file is not a
// failure: the user is told "File not found" and the list stays as it was.
// A file that exists but cannot be opened or read throws AppError naming the
// path and the system's reason, for the caller's error trap; entries of
// earlier files stay.
void LoadListviewFromFile(ListView& list, const QString& path, Desktop& desktop);
