// SPDX-License-Identifier: GPL-3.0-or-later
#include "Utf8Text.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

bool IsAscii(QByteArrayView bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

namespace {
QStringDecoder wordDecoder() {
    return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                    QStringDecoder::Flag::ConvertInitialBom);
}
} // namespace

QString WordFromUtf8(QByteArrayView utf8) {
    return wordDecoder().decode(utf8);
}

QChar* WordFromUtf8(QByteArrayView utf8, QChar* out) {
    return wordDecoder().appendToBuffer(out, utf8);
}

int CodePointLength(QStringView text) {
    int length = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++length) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return length;
}

int CodePointLength(QByteArrayView utf8) {
    return int(std::count_if(utf8.begin(), utf8.end(),
                             [](char byte) { return (uchar(byte) & 0xC0) != 0x80; }));
}

QString WordKey(QString word, bool composed) {
    QString folded = std::move(word).toCaseFolded();
    if (composed)
        folded = folded.normalized(QString::NormalizationForm_C);
    // Word processors write U+2019 where the thesauri and dictionaries have ' (it’s, l’amico).
    for (qsizetype at = folded.indexOf(QChar(0x2019), 1); at > 0 && at + 1 < folded.size();
         at = folded.indexOf(QChar(0x2019), at + 1)) {
        if (folded[at - 1].isLetter() && folded[at + 1].isLetter())
            folded[at] = u'\'';
    }
    return folded;
}

QByteArray WordKey(QByteArrayView utf8, bool composed) {
    return WordKey(WordFromUtf8(utf8), composed).toUtf8();
}
