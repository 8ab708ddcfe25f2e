// SPDX-License-Identifier: GPL-3.0-or-later
#include "JsonLinesWriter.h"

#include "RowFormats.h"
#include "Utf8Text.h"

#include <QString>
#include <algorithm>

namespace {
// JSON's escapes, spelled as Qt's JSON writer spells them, so that the output stays what it
// was when Qt wrote it; every other byte goes out as it is.
void appendEscaped(QByteArray& out, QByteArrayView utf8) {
    static const char kHex[] = "0123456789abcdef";
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const uchar c = uchar(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        AppendBytes(out, utf8.sliced(plainFrom, i - plainFrom));
        plainFrom = i + 1;
        out += '\\';
        switch (c) {
        case '\b': out += 'b'; break;
        case '\f': out += 'f'; break;
        case '\n': out += 'n'; break;
        case '\r': out += 'r'; break;
        case '\t': out += 't'; break;
        case '"':
        case '\\': out += char(c); break;
        default:
            out += "u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        }
    }
    AppendBytes(out, utf8.sliced(plainFrom));
}

bool continuesCharacter(char c) { return (uchar(c) & 0xc0) == 0x80; }

// A string value, escaped piece by piece as it is written, so that a field of any length
// costs one piece of memory beyond itself: handOn runs after each piece. Bytes that are not
// UTF-8 become U+FFFD as Qt reads them; a piece then ends before a character, never inside.
template <class HandOn>
void appendString(QByteArray& out, QByteArrayView utf8, HandOn&& handOn) {
    out += '"';
    const bool valid = IsUtf8AsQtReadsIt(utf8);
    for (qsizetype start = 0; start < utf8.size();) {
        qsizetype end = std::min(start + kChunkBytes, utf8.size());
        if (!valid) {
            qsizetype lead = end;
            while (lead < utf8.size() && lead > end - 3 && continuesCharacter(utf8[lead]))
                --lead;
            if (lead > start && (lead == utf8.size() || !continuesCharacter(utf8[lead])))
                end = lead;
        }
        const QByteArrayView piece = utf8.sliced(start, end - start);
        appendEscaped(out, valid ? piece : QByteArrayView(WordFromUtf8(piece).toUtf8()));
        handOn();
        start = end;
    }
    out += '"';
}
} // namespace

JsonLinesWriter::JsonLinesWriter(TextOutput& out, const QList<QByteArray>& fieldNames,
                                 qsizetype numberField, qsizetype optionalField)
    : gathered_(out), firstKey_("{\"" + fieldNames.value(0) + "\": "), numberField_(numberField),
      optionalField_(optionalField) {
    for (qsizetype i = 1; i < fieldNames.size(); ++i)
        keys_ << ", \"" + fieldNames[i] + "\": ";
}

void JsonLinesWriter::startRecords(QByteArrayView first) {
    first_ = firstKey_;
    appendString(first_, first, [] {});
}

void JsonLinesWriter::record(std::span<const QByteArrayView> fields) {
    QByteArray& text = gathered_.text();
    AppendBytes(text, first_);
    for (qsizetype i = 0; i < keys_.size(); ++i) {
        const QByteArrayView field = fields[std::size_t(i)];
        AppendBytes(text, keys_[i]);
        // null where there is none, as in a record without any
        if (field.isEmpty() && (i == numberField_ || i == optionalField_))
            text += "null";
        else if (i == numberField_)
            AppendBytes(text, field);
        else
            appendString(text, field, [this] { gathered_.handOnWhenFull(); });
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
