// SPDX-License-Identifier: GPL-3.0-or-later
#include "SynonymQuery.h"

#include <cstring>

namespace {
constexpr char kSynonymQueryHead[] = "select * from qrySynonyms where word='";
} // namespace

void BuildSynonymQueryUtf8(QByteArray& out, QByteArrayView word) {
    // Written in place, room made for every byte being an apostrophe: appending to a
    // QByteArray goes the long way of an insertion.
    constexpr qsizetype kHead = sizeof(kSynonymQueryHead) - 1;
    out.resize(kHead + 2 * word.size() + 1);
    char* to = out.data();
    std::memcpy(to, kSynonymQueryHead, kHead);
    to += kHead;
    // An apostrophe is one byte in UTF-8 and never part of a longer character.
    for (const char c : word) {
        *to++ = c;
        if (c == '\'')
            *to++ = '\'';
    }
    *to++ = '\'';
    out.truncate(to - out.constData());
}

bool WordQuery::build(QStringView word) {
    if (!word.isValidUtf16())
        return false;
    word_.resize(word.size() * 3);
    word_.truncate(toUtf8_.appendToBuffer(word_.data(), word) - word_.constData());
    BuildSynonymQueryUtf8(text_, word_);
    return true;
}
