// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <array>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A query with its quoted values taken out: each '...' literal becomes a numbered
// parameter, and values holds what it stood for, quotes undone. Queries that
// differ only in their values share one text, so one compiled statement serves
// them all. usable is false when the text cannot be taken apart safely (it
// already holds parameters, or a quote is never closed).
struct QueryShape {
    QByteArray text;
    QList<QByteArray> values;
    bool usable = false;
    // Where the last value stands in the query, its quotes included.
    qsizetype lastValueFrom = 0;
    qsizetype lastValueTo = 0;
};
QueryShape ShapeOfQuery(QByteArrayView sql);

// ShapeOfQuery for a run of queries that differ only in their one value, as a lookup run
// sends them: the text around the last such query's value is kept, and a query with the same
// text around a well-formed value has the same shape, found with two comparisons and a look
// at the value instead of taking the whole query apart.
class QueryShaper {
  public:
    // Valid until the next call.
    const QueryShape& shapeOf(QByteArrayView sql);

  private:
    bool sameAroundValue(QByteArrayView sql);

    QueryShape shape_;
    // The last query of one value, and how much of it comes before and after its quotes;
    // head_ is -1 when there is none.
    QByteArray around_;
    qsizetype head_ = -1;
    qsizetype tail_ = 0;
};

// True when what follows a compiled statement (its tail) is only blanks: the
// text held one statement and nothing more. A null tail counts as blank.
bool OnlyBlanks(const char* tail);

// Compiled statements of one connection, kept by the shape of their query. A
// lookup run sends the same query for every word with another word between
// the quotes; compiling it anew for each word costs more than the lookup itself.
class StatementCache {
  public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // A kept statement for the shape, with its values bound, or null when none
    // is idle. The caller owns it until it gives it back.
    sqlite3_stmt* take(const QueryShape& shape);
    // Compiles the shape and checks that it answers exactly as sql would
    // (same columns, same names, one read-only statement). Null when it does
    // not; that is remembered, and the shape is never tried again.
    sqlite3_stmt* compile(const QueryShape& shape, sqlite3_stmt* compiledSql);
    // Resets a statement from take() or compile() and keeps it for the next
    // query of its shape (shape.text); after close() it is finalized instead.
    void giveBack(sqlite3_stmt* stmt, const QByteArray& shapeText);
    // Finalizes every idle statement; the connection is about to close.
    void close();

    // Statements the program itself writes, kept in numbered slots rather than by their
    // text: a word's lookup then finds its statement without hashing any text. The slot's
    // idle statement, or sql compiled anew (null when it does not compile; the connection
    // tells why). Given back with giveBack(slot, stmt).
    static constexpr int kSlots = 4;
    sqlite3_stmt* take(int slot, const char* sql);
    void giveBack(int slot, sqlite3_stmt* stmt);

  private:
    bool bind(sqlite3_stmt* stmt, const QueryShape& shape) const;
    // The idle list of a shape; without add, null for a shape never given back.
    std::vector<sqlite3_stmt*>* idleOf(const QByteArray& shapeText, bool add);

    sqlite3* db_;
    QHash<QByteArray, std::vector<sqlite3_stmt*>> idle_;
    QHash<QByteArray, bool> verdicts_;
    // The shape used last and its idle list in idle_: a run sends one shape, which then costs
    // one comparison per query instead of hashing its text on taking and on giving back.
    // Only idleOf adds to idle_, and it renews the pointer when it does.
    QByteArray lastShape_;
    std::vector<sqlite3_stmt*>* lastIdle_ = nullptr;
    std::array<sqlite3_stmt*, kSlots> slots_{};
};
