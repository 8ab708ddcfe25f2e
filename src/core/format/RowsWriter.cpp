// SPDX-License-Identifier: GPL-3.0-or-later
#include "RowsWriter.h"

#include "Utf8Text.h"

void RowsWriter::row(QByteArrayView utf8) {
    QByteArray& text = gathered_.text();
    AppendBytes(text, utf8);
    text += '\n';
    gathered_.handOnWhenFull();
}
