// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GatheredText.h"

#include <QByteArrayView>
#include <QList>
#include <span>

// The JSON Lines format: one object per record and line, its keys the field
// names in order, each line ending in LF. Handed on in pieces as they fill.
class JsonLinesWriter {
  public:
    // numberField: the one field after the first that is a number, null
    // when empty; optionalField: a string that is null when empty (-1: none);
    // every other field is a string. Both count from the field after the first.
    JsonLinesWriter(TextOutput& out, const QList<QByteArray>& fieldNames, qsizetype numberField,
                    qsizetype optionalField = -1);

    // The first field of the records that follow.
    void startRecords(QByteArrayView first);
    void record(std::span<const QByteArrayView> fields);
    // A record whose other fields are all null.
    void nullRecord();
    void flush() { gathered_.handOn(); }

  private:
    GatheredText gathered_;
    QByteArray firstKey_;
    // What comes before each other field's value.
    QList<QByteArray> keys_;
    qsizetype numberField_;
    qsizetype optionalField_;
    QByteArray first_;
};
