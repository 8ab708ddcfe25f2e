// SPDX-License-Identifier: GPL-3.0-or-later
#include "TableWriter.h"

#include "RowFormats.h"
#include "Utf8Text.h"

#include <QString>

namespace {
// Closed with a comma. A database may hold bytes that are not UTF-8; they
// become U+FFFD rather than output that a reader cannot decode.
void appendField(QByteArray& out, QByteArrayView utf8) {
    const qsizetype start = out.size();
    if (IsUtf8AsQtReadsIt(utf8))
        AppendBytes(out, utf8);
    else
        out += WordFromUtf8(utf8).toUtf8();
    CloseCommaDelimitedField(out, start);
}
} // namespace

TableWriter::TableWriter(TextOutput& out, const QList<QByteArray>& fieldNames)
    : gathered_(out), otherFields_(fieldNames.size() - 1) {
    gathered_.text() += fieldNames.join(',') + "\r\n";
}

void TableWriter::startRecords(QByteArrayView first) {
    first_.truncate(0);
    appendField(first_, first);
}

void TableWriter::record(std::span<const QByteArrayView> fields) {
    QByteArray& text = gathered_.text();
    AppendBytes(text, first_);
    for (qsizetype i = 0; i < otherFields_; ++i)
        appendField(text, fields.empty() ? QByteArrayView() : fields[std::size_t(i)]);
    text.chop(1); // the comma after the last field
    text += "\r\n";
    gathered_.handOnWhenFull();
}
