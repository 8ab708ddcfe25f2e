// SPDX-License-Identifier: GPL-3.0-or-later
#include "RowFormats.h"

#include "Utf8Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

QString ResultsHeader() {
    return QStringLiteral("Results");
}

void ClosePaddedCell(QString& line, int length, int width) {
    if (width >= length)
        line.resize(line.size() + (width - length), u' ');
    line += u'\t';
}

void AppendPaddedCell(QString& line, QStringView text, int width) {
    line += text;
    ClosePaddedCell(line, CodePointLength(text), width);
}

namespace {
// Whether the field holds a comma, a double quote, CR or LF. These are ASCII
// and never part of a longer UTF-8 sequence, so bytes can be compared; eight
// at a time, as a comma-delimited export reads every byte of every row.
bool needsQuotes(QByteArrayView field) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    const auto holds = [](std::uint64_t eight, char c) {
        const std::uint64_t zeroWhereEqual = eight ^ (kOnes * static_cast<unsigned char>(c));
        return ((zeroWhereEqual - kOnes) & ~zeroWhereEqual & kHighs) != 0;
    };
    const char* bytes = field.data();
    qsizetype i = 0;
    for (; i + 8 <= field.size(); i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, bytes + i, 8);
        if (holds(eight, ',') || holds(eight, '"') || holds(eight, '\r') || holds(eight, '\n'))
            return true;
    }
    return std::any_of(bytes + i, bytes + field.size(),
                       [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
}
} // namespace

void CloseCommaDelimitedField(QByteArray& line, qsizetype start) {
    const QByteArrayView field = QByteArrayView(line).sliced(start);
    if (needsQuotes(field)) {
        const QByteArray text = field.toByteArray();
        line.truncate(start);
        line += '"';
        for (const char c : text) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    line += ',';
}

bool IsUtf8AsQtReadsIt(QByteArrayView bytes) {
    return IsAscii(bytes) || bytes.isValidUtf8();
}

QString SynonymRowPrefix(const QString& word) {
    return word.toUpper() + QStringLiteral(" - ");
}

void AppendSynonymRowPrefix(QByteArray& out, QByteArrayView word) {
    const qsizetype start = out.size();
    if (IsAscii(word)) {
        // QString::toUpper's own answer for ASCII, without the round trip through UTF-16.
        // Written in place: appending to a QByteArray goes the long way of an insertion.
        out.resize(start + word.size() + 3);
        char* to = out.data() + start;
        for (const char c : word)
            *to++ = c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
        std::memcpy(to, " - ", 3);
    } else {
        out += WordFromUtf8(word).toUpper().toUtf8();
        out += " - ";
    }
}

QString NotFoundRow(const QString& word) {
    return SynonymRowPrefix(word) + QLatin1StringView(kNotFoundText);
}
