// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QtGlobal>

namespace wordlist_detail {
inline char16_t code(char c) {
    return static_cast<unsigned char>(c);
}
inline char16_t code(QChar c) {
    return c.unicode();
}
} // namespace wordlist_detail

// Where the lines of a word list end: at CR LF, at a lone CR, and at every
// LF, so that CR LF, CR-only and LF-only files all give one entry per line.
// The window, which splits whole files and pasted text, and the command
// line, which splits text as it arrives, both split here, so the two cannot
// disagree on what a line is. Text may come in parts: a CR closing one part
// and an LF opening the next are one line end.
class LineSplitter {
  public:
    // What the end of the input makes of a final LF. The window gives one
    // empty entry after it; the command line, as Unix tools read lines, none.
    // A final CR LF or CR never starts another line.
    enum class FinalLineFeed { EmptyLineAfter, NothingAfter };

    explicit LineSplitter(FinalLineFeed finalLineFeed) : finalLineFeed_(finalLineFeed) {}

    // Looks for the end of the line that starts at start in text, which
    // holds everything received so far; text before scanned is known to hold
    // no line end. On a line end: true, the line being text[lineStart,
    // lineEnd), with start and scanned past the line end. Otherwise false
    // with scanned at the end of text: the line goes on in text yet to come.
    template <class View>
    bool next(View text, qsizetype& start, qsizetype& scanned, qsizetype& lineStart,
              qsizetype& lineEnd) {
        using wordlist_detail::code;
        const qsizetype size = text.size();
        if (afterCr_ && scanned < size) {
            afterCr_ = false;
            if (code(text[scanned]) == u'\n')
                start = ++scanned;
        }
        for (; scanned < size; ++scanned) {
            const char16_t c = code(text[scanned]);
            if (c != u'\r' && c != u'\n')
                continue;
            lineStart = start;
            lineEnd = scanned++;
            lastEnd_ = c;
            if (c == u'\r') {
                if (scanned == size)
                    afterCr_ = true; // its LF may be in the next part
                else if (code(text[scanned]) == u'\n')
                    ++scanned;
            }
            start = scanned;
            return true;
        }
        return false;
    }

    // Once the input has ended: whether the restLength units after the last
    // line end make one more line.
    bool lastLine(qsizetype restLength) const {
        return restLength > 0 ||
               (lastEnd_ == u'\n' && finalLineFeed_ == FinalLineFeed::EmptyLineAfter);
    }

  private:
    FinalLineFeed finalLineFeed_;
    char16_t lastEnd_ = 0; // CR or LF, 0 before the first line end
    bool afterCr_ = false; // the last part ended in CR: skip an LF that starts the next
};

// Calls piece(view) for each line of the whole text, in order, by the
// window's rules. The views point into text; nothing is copied, so a file of
// a million lines costs no more than its own text.
template <class View, class Piece> void ForEachLinePiece(View text, Piece&& piece) {
    LineSplitter lines(LineSplitter::FinalLineFeed::EmptyLineAfter);
    qsizetype start = 0, scanned = 0, lineStart = 0, lineEnd = 0;
    while (lines.next(text, start, scanned, lineStart, lineEnd))
        piece(text.sliced(lineStart, lineEnd - lineStart));
    if (lines.lastLine(text.size() - start))
        piece(text.sliced(start));
}
