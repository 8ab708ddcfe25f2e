// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GatheredText.h"
#include "RowFormats.h"

#include <QByteArrayView>

// The comma-delimited layout: one line holding every row as a field closed by
// a comma, quoted when it holds a comma, a quote or a line break, and CR LF at
// its end. The window gathers the whole line and has it written by finish();
// the command line hands it on with handOnWhenFull() as it grows.
class CommaDelimitedWriter {
  public:
    explicit CommaDelimitedWriter(TextOutput& out) : gathered_(out) {}

    void field(QByteArrayView utf8);
    // The field that append(QByteArray&) adds to the line in UTF-8; one that
    // throws adds no comma.
    template <class Append> void fieldFrom(Append&& append) {
        QByteArray& line = gathered_.text();
        const qsizetype start = line.size();
        append(line);
        CloseCommaDelimitedField(line, start);
    }
    void handOnWhenFull() { gathered_.handOnWhenFull(); }
    // Hands on the fields gathered so far.
    void flush() { gathered_.handOn(); }
    // Ends the line and hands on all that is left of it.
    void finish();

  private:
    GatheredText gathered_;
};
