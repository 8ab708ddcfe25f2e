// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordListText.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>

namespace {
// What Windows-1252 puts at 0x80..0x9F, where it departs from Latin-1. The
// five holes of the code page keep their own value, as Windows itself maps
// them when converting.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

struct KnownMark {
    QByteArrayView bytes;
    WordListEncoding::Kind kind;
};
constexpr KnownMark kMarks[] = {{"\xEF\xBB\xBF", WordListEncoding::Kind::Utf8},
                                {"\xFF\xFE", WordListEncoding::Kind::Utf16LE},
                                {"\xFE\xFF", WordListEncoding::Kind::Utf16BE}};
} // namespace

WordListEncoding::Mark WordListEncoding::MarkAt(QByteArrayView bytes) {
    for (const KnownMark& mark : kMarks)
        if (bytes.startsWith(mark.bytes))
            return {mark.kind, mark.bytes.size()};
    return {};
}

bool WordListEncoding::MayBecomeMark(QByteArrayView firstBytes) {
    return std::any_of(std::begin(kMarks), std::end(kMarks), [&](const KnownMark& mark) {
        return firstBytes.size() < mark.bytes.size() && mark.bytes.startsWith(firstBytes);
    });
}

void AppendWindows1252AsUtf8(QByteArray& out, QByteArrayView bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
            continue;
        }
        const char16_t code = byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte);
        if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
        } else {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
        }
        out += char(0x80 | (code & 0x3F));
    }
}

WordListEncoding::WordListEncoding(QByteArrayView fileBytes) {
    const Mark mark = MarkAt(fileBytes);
    body_ = fileBytes.sliced(mark.length);
    kind_ = mark.kind != Kind::Utf8 ? mark.kind
            : body_.isValidUtf8()   ? Kind::Utf8
                                    : Kind::Windows1252;
}

QByteArrayView WordListEncoding::toUtf8(QByteArrayView piece, QByteArray& buffer) const {
    if (kind_ != Kind::Windows1252)
        return piece;
    buffer.clear();
    AppendWindows1252AsUtf8(buffer, piece);
    return buffer;
}

QString WordListEncoding::decodeUtf16() const {
    QStringDecoder fromUtf16(kind_ == Kind::Utf16LE ? QStringDecoder::Utf16LE
                                                    : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless |
                                 QStringDecoder::Flag::ConvertInitialBom);
    return fromUtf16.decode(body_);
}

void ReadWordList(QByteArrayView fileBytes, WordSink& sink) {
    const WordListEncoding encoding(fileBytes);
    if (encoding.isUtf16()) {
        const QString text = encoding.decodeUtf16();
        // UTF-8 cannot carry an unpaired surrogate: such text goes to the
        // list as it was read, which keeps it.
        if (!QStringView(text).isValidUtf16()) {
            ForEachLinePiece(QStringView(text),
                             [&](QStringView piece) { sink.append(piece.toString()); });
            return;
        }
        // Split after decoding: U+010A holds a 0x0A byte.
        const QByteArray utf8 = text.toUtf8();
        sink.reserveText(std::size_t(utf8.size()));
        ForEachLinePiece(QByteArrayView(utf8),
                         [&](QByteArrayView piece) { sink.appendValidUtf8(piece); });
        return;
    }
    // A UTF-8 file's pieces are stored as they are: decoding a million lines
    // only for the list to encode them again is most of the loading time.
    sink.reserveText(std::size_t(encoding.body().size()));
    QByteArray buffer;
    ForEachLinePiece(encoding.body(), [&](QByteArrayView piece) {
        sink.appendValidUtf8(encoding.toUtf8(piece, buffer));
    });
}
