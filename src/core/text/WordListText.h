#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

// How the text of a word-list file becomes entries.
//
// Files are UTF-8, with or without a leading byte-order mark. A file that
// starts with a UTF-16 byte-order mark (FF FE or FE FF) is UTF-16, as
// Windows Notepad's "Unicode" and PowerShell's ">" write it. A file that is
// neither was almost certainly saved by a Windows editor in its 8-bit code
// page, so the whole file is read as Windows-1252 instead.
//
// A line ends at CR LF or at a lone CR, and every LF inside a line ends a
// piece of its own, so CR LF, CR-only and LF-only files all give one entry
// per line. Pieces are kept as they are: blank ones too, and nothing is
// trimmed. A final CR LF or CR ends the last line without starting another;
// a final lone LF splits the last line, leaving one empty entry after it.
// NUL is an ordinary character.

// True when the bytes are well-formed UTF-8 (no overlong forms, no encoded
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(QByteArrayView bytes);

// Windows-1252, with the five bytes that the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the C1 controls of the same value.
QString DecodeWindows1252(QByteArrayView bytes);

// The encoding of one word-list file, decided once from all its bytes.
class WordListEncoding {
  public:
    explicit WordListEncoding(QByteArrayView fileBytes);

    enum class Kind { Utf8, Windows1252, Utf16LE, Utf16BE };

    // The file's bytes without the byte-order mark. In the 8-bit encodings
    // CR and LF stand for themselves and never occur inside a character, so
    // the text can be split before it is decoded; UTF-16 has to be decoded
    // first.
    QByteArrayView body() const { return body_; }
    Kind kind() const { return kind_; }
    bool isUtf8() const { return kind_ == Kind::Utf8; }
    bool isUtf16() const { return kind_ == Kind::Utf16LE || kind_ == Kind::Utf16BE; }
    QString decode(QByteArrayView piece) const;

  private:
    QByteArrayView body_;
    Kind kind_;
    // A U+FEFF that starts a line is text: only the file's first one is a
    // byte-order mark.
    mutable QStringDecoder fromUtf8_{QStringDecoder::Utf8,
                                     QStringDecoder::Flag::Stateless |
                                         QStringDecoder::Flag::ConvertInitialBom};
};

namespace wordlist_detail {
inline char16_t code(char c) {
    return static_cast<unsigned char>(c);
}
inline char16_t code(QChar c) {
    return c.unicode();
}
} // namespace wordlist_detail

// Calls piece(view) for each piece of the text, in order, by the line rules
// above. The views point into text; nothing is copied, so a file of a
// million lines costs no more than its own text.
template <class View, class Piece> void ForEachLinePiece(View text, Piece&& piece) {
    using wordlist_detail::code;
    const qsizetype size = text.size();
    qsizetype start = 0;
    bool endsLine = false; // the text so far ends with a CR or CR LF
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = code(text[i]);
        if (c != u'\r' && c != u'\n') {
            endsLine = false;
            continue;
        }
        piece(text.sliced(start, i - start));
        endsLine = c == u'\r';
        if (endsLine && i + 1 < size && code(text[i + 1]) == u'\n')
            ++i;
        start = i + 1;
    }
    // Whatever follows the last line end is a piece of its own, even when
    // it is empty because the text ends in a lone LF.
    if (size > 0 && !endsLine)
        piece(text.sliced(start));
}

// Calls entry(QString) for each entry of a word-list file, in file order.
template <class Entry> void ForEachWordListEntry(const WordListEncoding& encoding, Entry&& entry) {
    if (encoding.isUtf16()) {
        const QString text = encoding.decode(encoding.body());
        ForEachLinePiece(QStringView(text), [&](QStringView piece) { entry(piece.toString()); });
        return;
    }
    ForEachLinePiece(encoding.body(), [&](QByteArrayView piece) { entry(encoding.decode(piece)); });
}

template <class Entry> void ForEachWordListEntry(QByteArrayView fileBytes, Entry&& entry) {
    ForEachWordListEntry(WordListEncoding(fileBytes), entry);
}
