// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstring>

// Words travel as UTF-8, from the word files to the database and on to the results; these
// turn them into text where a rule needs characters (upper case, lengths).

// Most words are ASCII, and that is told far quicker than anything about characters.
bool IsAscii(QByteArrayView bytes);

// Appends bytes, which must not lie in out itself, in place: Qt's own append takes the
// general path of an insertion, which the loops that build every row and record feel.
inline void AppendBytes(QByteArray& out, QByteArrayView bytes) {
    if (bytes.isEmpty())
        return;
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    std::memcpy(out.data() + start, bytes.data(), std::size_t(bytes.size()));
}

// A word as text. Unlike QString::fromUtf8, a U+FEFF that starts it is kept:
// only a file's first one is a byte-order mark, and it is gone by now.
QString WordFromUtf8(QByteArrayView utf8);
