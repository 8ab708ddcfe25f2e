// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GatheredText.h"

#include <QByteArrayView>

// The rows format: every results row as the list shows it, each on a line of
// its own ending in LF (a CR or LF within it written as a space), handed on
// in pieces as they fill.
class RowsWriter {
  public:
    explicit RowsWriter(TextOutput& out) : gathered_(out) {}

    void row(QByteArrayView utf8);
    void flush() { gathered_.handOn(); }

  private:
    GatheredText gathered_;
};
