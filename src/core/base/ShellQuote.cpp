// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellQuote.h"

#include <algorithm>

namespace {
// A byte that is not UTF-8, as NameFromNative keeps it.
bool isKeptByte(QChar c) { return c.unicode() >= 0xdc80 && c.unicode() <= 0xdcff; }

bool isUnsafe(QStringView text, qsizetype at) {
    const char16_t c = text[at].unicode();
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
        return true;
    if (QChar::isHighSurrogate(c))
        return at + 1 >= text.size() || !QChar::isLowSurrogate(text[at + 1].unicode());
    return QChar::isLowSurrogate(c) && (at == 0 || !QChar::isHighSurrogate(text[at - 1].unicode()));
}

void appendOctal(QString& out, uint byte) {
    out += u'\\';
    out += QChar(u'0' + ((byte >> 6) & 7));
    out += QChar(u'0' + ((byte >> 3) & 7));
    out += QChar(u'0' + (byte & 7));
}

// Inside $'...': the C escapes the shell knows, octal bytes for the rest.
void appendEscaped(QString& out, QChar c) {
    static const char16_t kLetters[] = u"abtnvfr";
    if (c.unicode() >= 7 && c.unicode() <= 13) {
        out += u'\\';
        out += QChar(kLetters[c.unicode() - 7]);
    } else if (isKeptByte(c)) {
        appendOctal(out, c.unicode() & 0xff);
    } else if (c.unicode() < 0x80) {
        appendOctal(out, c.unicode());
    } else { // C1, or half a pair: its UTF-8 bytes
        for (const char byte : QString(c).toUtf8())
            appendOctal(out, uchar(byte));
    }
}

bool isClean(const QString& text) {
    for (qsizetype at = 0; at < text.size(); ++at)
        if (isUnsafe(text, at))
            return false;
    return true;
}

QString quoted(const QString& text) {
    QString out;
    bool escaping = false;
    bool quoting = false;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const bool unsafe = isUnsafe(text, at);
        if (unsafe != escaping || (!unsafe && !quoting)) {
            if (escaping || quoting)
                out += u'\'';
            out += unsafe ? QStringLiteral("$'") : QStringLiteral("'");
            escaping = unsafe;
            quoting = !unsafe;
        }
        if (unsafe)
            appendEscaped(out, text[at]);
        else if (text[at] == u'\'')
            out += QStringLiteral("'\\''");
        else
            out += text[at];
    }
    out += (escaping || quoting) ? QStringLiteral("'") : QStringLiteral("''");
    return out;
}
} // namespace

QString ShownText(const QString& text) { return isClean(text) ? text : quoted(text); }

QString QuotedText(const QString& text) {
    return isClean(text) ? u'\'' + text + u'\'' : quoted(text);
}
