// SPDX-License-Identifier: GPL-3.0-or-later
#include "JsonLinesWriter.h"

#include "RowFormats.h"
#include "Utf8Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <algorithm>

namespace {
// Qt's JSON writer does the escaping; text that needs none (no quote,
// backslash or control character, valid UTF-8) goes out as it is, as the
// writer would give it too, without building a document per value.
void appendString(QByteArray& out, QByteArrayView utf8) {
    const bool plain = std::none_of(
        utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x20 || c == '"' || c == '\\'; });
    if (plain && IsUtf8AsQtReadsIt(utf8)) {
        out += '"';
        AppendBytes(out, utf8);
        out += '"';
        return;
    }
    const QByteArray array =
        QJsonDocument(QJsonArray{WordFromUtf8(utf8)}).toJson(QJsonDocument::Compact);
    out += QByteArrayView(array).sliced(1, array.size() - 2); // without [ and ]
}
} // namespace

JsonLinesWriter::JsonLinesWriter(TextOutput& out, const QList<QByteArray>& fieldNames,
                                 qsizetype numberField)
    : gathered_(out), firstKey_("{\"" + fieldNames.value(0) + "\": "), numberField_(numberField) {
    for (qsizetype i = 1; i < fieldNames.size(); ++i)
        keys_ << ", \"" + fieldNames[i] + "\": ";
}

void JsonLinesWriter::startRecords(QByteArrayView first) {
    first_ = firstKey_;
    appendString(first_, first);
}

void JsonLinesWriter::record(std::span<const QByteArrayView> fields) {
    QByteArray& text = gathered_.text();
    AppendBytes(text, first_);
    for (qsizetype i = 0; i < keys_.size(); ++i) {
        const QByteArrayView field = fields[std::size_t(i)];
        AppendBytes(text, keys_[i]);
        if (i != numberField_)
            appendString(text, field);
        else // null when the database keeps none, as for a record without any
            text += field.isEmpty() ? QByteArrayView("null") : field;
    }
    text += "}\n";
    gathered_.handOnWhenFull();
}

void JsonLinesWriter::nullRecord() {
    QByteArray& text = gathered_.text();
    text += first_;
    for (const QByteArray& key : std::as_const(keys_))
        text += key + "null";
    text += "}\n";
    gathered_.handOnWhenFull();
}
