#include "RowsWriter.h"

void RowsWriter::row(QByteArrayView utf8) {
    QByteArray& text = gathered_.text();
    text += utf8;
    text += '\n';
    gathered_.handOnWhenFull();
}
