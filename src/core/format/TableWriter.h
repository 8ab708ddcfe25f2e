// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GatheredText.h"

#include <QByteArrayView>
#include <QList>
#include <span>

// The table format: a line naming the fields, then one record per line, each
// field by the comma-delimited rule, lines ending in CR LF. Handed on in
// pieces as they fill.
class TableWriter {
  public:
    TableWriter(TextOutput& out, const QList<QByteArray>& fieldNames);

    // The first field of the records that follow.
    void startRecords(QByteArrayView first);
    // A record of that field and these; none: the other fields empty.
    void record(std::span<const QByteArrayView> fields);
    void flush() { gathered_.handOn(); }

  private:
    GatheredText gathered_;
    qsizetype otherFields_;
    QByteArray first_;
};
