// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommaDelimitedWriter.h"

#include "Utf8Text.h"

void CommaDelimitedWriter::field(QByteArrayView utf8) {
    fieldFrom([&](QByteArray& line) { AppendBytes(line, utf8); });
}

void CommaDelimitedWriter::finish() {
    gathered_.text() += "\r\n";
    gathered_.handOn();
}
