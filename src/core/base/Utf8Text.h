// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
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

// A word or row as text, for every list, writer and key alike. Unlike QString::fromUtf8, a
// U+FEFF that starts it is kept: only a file's first one is a byte-order mark, and it is
// gone by now. Bytes that are not UTF-8 become U+FFFD.
QString WordFromUtf8(QByteArrayView utf8);
// The same written to out, which has room for utf8.size() units; returns the end.
QChar* WordFromUtf8(QByteArrayView utf8, QChar* out);

// Aligned columns are measured in code points, so that a character beyond the basic plane
// (two UTF-16 units, four bytes) pads like any other; a lone surrogate counts as one.
int CodePointLength(QStringView text);
// The same for valid UTF-8: every code point has one byte that does not continue another.
int CodePointLength(QByteArrayView utf8);

// The text under which a word is filed and found: simple Unicode case folding, then composed
// (NFC), so "ÉTÉ", "Été", "été" and "e" + combining acute + "té" share one key, with ' for a
// U+2019 between letters ("it’s" is "it's"). Databases made before keys were composed compare
// folded texts only.
QString WordKey(QString word, bool composed = true);
QByteArray WordKey(QByteArrayView utf8, bool composed = true);
