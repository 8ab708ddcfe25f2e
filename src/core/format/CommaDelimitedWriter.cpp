#include "CommaDelimitedWriter.h"

void CommaDelimitedWriter::field(QByteArrayView utf8) {
    fieldFrom([&](QByteArray& line) { line += utf8; });
}

void CommaDelimitedWriter::finish() {
    gathered_.text() += "\r\n";
    gathered_.handOn();
}
