// SPDX-License-Identifier: GPL-3.0-or-later
#include "RowsWriter.h"

#include "Utf8Text.h"

#include <algorithm>

void RowsWriter::row(QByteArrayView utf8) {
    QByteArray& text = gathered_.text();
    const qsizetype start = text.size();
    AppendBytes(text, utf8);
    // A row is a line to every reader of lines: a CR or LF a thesaurus put in a synonym
    // becomes a space rather than a second row.
    std::replace_if(
        text.begin() + start, text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    text += '\n';
    gathered_.handOnWhenFull();
}
