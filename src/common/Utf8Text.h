#pragma once

#include <QByteArrayView>
#include <QString>

// Words travel as UTF-8, from the word files to the database and on to the results; these
// turn them into text where a rule needs characters (upper case, lengths).

// Most words are ASCII, and that is told far quicker than anything about characters.
bool IsAscii(QByteArrayView bytes);

// A word as text. Unlike QString::fromUtf8, a U+FEFF that starts it is kept:
// only a file's first one is a byte-order mark, and it is gone by now.
QString WordFromUtf8(QByteArrayView utf8);
