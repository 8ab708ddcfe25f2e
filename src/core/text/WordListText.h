// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Utf8Text.h"

#include "LineSplitter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstddef>

// How the text of a word-list file becomes entries.
//
// Files are UTF-8, with or without a leading byte-order mark. A file that
// starts with a UTF-16 byte-order mark (FF FE or FE FF) is UTF-16, as
// Windows Notepad's "Unicode" and PowerShell's ">" write it. A file that is
// neither was almost certainly saved by a Windows editor in its 8-bit code
// page, so the whole file is read as Windows-1252 instead.
//
// Lines are split by LineSplitter. Pieces are kept as they are: blank ones
// too, and nothing is trimmed. NUL is an ordinary character. Entries come
// out as UTF-8, which is what the word list stores and what a query binds.

// Whether bytes are UTF-8 is QByteArrayView::isValidUtf8's to say, as
// everywhere else: no overlong forms, no encoded surrogates, nothing above
// U+10FFFF.

// Appends the Windows-1252 bytes to out as UTF-8, with the five bytes that
// the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the
// C1 controls of the same value.
void AppendWindows1252AsUtf8(QByteArray& out, QByteArrayView bytes);

// Whether a word in UTF-8 can be in a synonym database at all. None holds a NUL, and a
// query's text would end at one. Other words are looked up; these are not found.
inline bool CanBeLookedUp(QByteArrayView utf8) {
    return !utf8.contains('\0');
}

// The encoding of one word-list file, decided once from all its bytes.
class WordListEncoding {
  public:
    explicit WordListEncoding(QByteArrayView fileBytes);

    enum class Kind { Utf8, Windows1252, Utf16LE, Utf16BE };

    // The byte-order mark bytes start with, and its length; a length of 0 for none. A UTF-8
    // mark says nothing of the rest, which is still UTF-8 or Windows-1252 by its bytes.
    struct Mark {
        Kind kind = Kind::Utf8;
        qsizetype length = 0;
    };
    static Mark MarkAt(QByteArrayView bytes);
    // Whether the first bytes of a file, all that has arrived of it, may still become a mark.
    static bool MayBecomeMark(QByteArrayView firstBytes);

    // The file's bytes without the byte-order mark. In the 8-bit encodings
    // CR and LF stand for themselves and never occur inside a character, so
    // the text can be split before it is decoded; UTF-16 has to be decoded
    // first.
    QByteArrayView body() const { return body_; }
    Kind kind() const { return kind_; }
    bool isUtf16() const { return kind_ == Kind::Utf16LE || kind_ == Kind::Utf16BE; }

    // A piece of an 8-bit body as UTF-8: the piece itself when the file is
    // UTF-8, otherwise converted into buffer. Valid until buffer changes.
    QByteArrayView toUtf8(QByteArrayView piece, QByteArray& buffer) const;
    // A UTF-16 body as text; a second mark after the first is text.
    QString decodeUtf16() const;

  private:
    QByteArrayView body_;
    Kind kind_;
};

// Where the entries of a word-list file go, in file order.
class WordSink {
  public:
    virtual ~WordSink() = default;
    // About this many bytes of UTF-8 are on their way.
    virtual void reserveText(std::size_t bytes) = 0;
    virtual void appendValidUtf8(QByteArrayView text) = 0;
    // Text that UTF-8 cannot carry: UTF-16 with an unpaired surrogate, kept
    // as it was read.
    virtual void append(const QString& text) = 0;
};

// Hands every entry of a whole word-list file to sink by the window's rules:
// a final lone LF gives one empty entry after it, and no line is too long.
void ReadWordList(QByteArrayView fileBytes, WordSink& sink);
