// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SynonymStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVarLengthArray>
#include <utility>

class DbConnection;

// A forward-only view of one query's rows on the program's connection,
// opened once per word and reused for the next one: the window's Jet record
// set, its fields found by name, over the synonym store's rows.
class RecordSet {
  public:
    enum CursorType { adOpenStatic = 3 };
    enum LockType { adLockReadOnly = 1 };

    RecordSet() = default;
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;
    ~RecordSet();

    // Runs the statement and stands on its first row. Only one read-only
    // statement is accepted. Throws AppError with the database's own text.
    void Open(const QString& source, DbConnection& connection, int cursorType, int lockType);
    // The same for a text already in valid UTF-8, which a run builds in place for each word.
    void OpenUtf8(QByteArrayView sourceUtf8, DbConnection& connection, int cursorType,
                  int lockType);
    int State() const;
    void Close();

    // "EOF" itself is taken by a C library macro.
    bool Eof() const;
    // The named field of the current row, as text; a NULL field is empty.
    QString Field(const QString& name) const;
    // The same as UTF-8, valid until the next MoveNext or Close.
    QByteArrayView FieldUtf8(const QString& name) const;
    void MoveNext();

  private:
    void requireClosedOn(const DbConnection& connection) const;
    void requireOpen() const;
    int columnOf(const QString& name) const;

    SynonymStore::Rows rows_;
    // The fields asked for so far and their columns, found once per query
    // text rather than on every row, and the text they belong to.
    mutable QVarLengthArray<std::pair<QString, int>, 4> columns_;
    QByteArray columnsOf_;
    // Which of columns_ this query has confirmed, one bit each.
    mutable quint32 checked_ = 0;
};
