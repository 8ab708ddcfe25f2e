// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatementCache.h"

#include <charconv>
#include <iterator>
#include <sqlite3.h>
#include <utility>

namespace {
// Shapes a connection keeps; the program sends one, so this only bounds a
// caller that sends many.
constexpr qsizetype kMaxShapes = 64;
// Idle statements kept per shape: more than one only while recordsets overlap.
constexpr std::size_t kMaxIdlePerShape = 4;

bool isIdentifierByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
           (byte >= 'A' && byte <= 'Z') || byte == '_';
}

} // namespace

bool OnlyBlanks(const char* text) {
    for (; text && *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    return true;
}

QueryShape ShapeOfQuery(QByteArrayView sql) {
    QueryShape shape;
    shape.text.reserve(sql.size());
    bool clean = true;
    const qsizetype size = sql.size();
    // Plain text is copied a run at a time, up to the next byte that means something.
    qsizetype plain = 0;
    const auto copyPlain = [&](qsizetype upTo) {
        shape.text += sql.sliced(plain, upTo - plain);
    };
    // Copies a quoted name or a comment through its closing text, which is
    // then no part of the query's words.
    const auto copyThrough = [&](qsizetype& i, QByteArrayView close) {
        const qsizetype end = sql.indexOf(close, i + 1);
        const qsizetype stop = end < 0 ? size : end + close.size();
        if (end < 0)
            clean = false;
        copyPlain(i);
        shape.text += sql.sliced(i, stop - i);
        i = stop - 1;
        plain = stop;
    };
    for (qsizetype i = 0; i < size && clean; ++i) {
        const char c = sql[i];
        if (c == '\'' && (i == 0 || !isIdentifierByte(sql[i - 1]))) {
            copyPlain(i);
            QByteArray value;
            qsizetype j = i + 1;
            for (;;) {
                const qsizetype quote = sql.indexOf('\'', j);
                if (quote < 0) {
                    clean = false;
                    j = size;
                    break;
                }
                value += sql.sliced(j, quote - j);
                if (quote + 1 < size && sql[quote + 1] == '\'') {
                    value += '\'';
                    j = quote + 2;
                    continue;
                }
                j = quote;
                break;
            }
            shape.values.append(value);
            shape.lastValueFrom = i;
            shape.lastValueTo = j + 1;
            char number[24] = {'?'};
            const auto written = std::to_chars(number + 1, std::end(number), shape.values.size());
            shape.text.append(number, written.ptr - number);
            i = j;
            plain = j + 1;
        } else if (c == '\'') {
            // A blob (x'...') keeps its place in the text.
            copyThrough(i, "'");
        } else if (c == '"') {
            copyThrough(i, "\"");
        } else if (c == '`') {
            copyThrough(i, "`");
        } else if (c == '[') {
            copyThrough(i, "]");
        } else if (c == '-' && i + 1 < size && sql[i + 1] == '-') {
            copyThrough(i, "\n");
            clean = true; // a comment may run to the end
        } else if (c == '/' && i + 1 < size && sql[i + 1] == '*') {
            copyThrough(i, "*/");
        } else if (c == '?' || c == ':' || c == '@' || c == '$' || c == '#') {
            // Parameters of its own would be numbered among ours.
            clean = false;
        }
    }
    if (clean && plain < size)
        copyPlain(size);
    shape.usable = clean && !shape.values.isEmpty();
    return shape;
}

const QueryShape& QueryShaper::shapeOf(QByteArrayView sql) {
    if (sameAroundValue(sql))
        return shape_;
    shape_ = ShapeOfQuery(sql);
    head_ = -1;
    if (shape_.usable && shape_.values.size() == 1) {
        around_ = sql.toByteArray();
        head_ = shape_.lastValueFrom;
        tail_ = sql.size() - shape_.lastValueTo;
    }
    return shape_;
}

bool QueryShaper::sameAroundValue(QByteArrayView sql) {
    // The text before the opening quote is taken apart as it was last time: whatever it
    // opens (a quoted name, a comment) it closes too, or that quote would not have begun a
    // value. So is the text after the closing quote: it starts with the same byte, which is
    // not a quote, or the value would have gone on.
    if (head_ < 0 || sql.size() < head_ + 2 + tail_ ||
        !sql.startsWith(QByteArrayView(around_).first(head_)) ||
        !sql.endsWith(QByteArrayView(around_).last(tail_)) || sql[head_] != '\'' ||
        sql[sql.size() - tail_ - 1] != '\'')
        return false;
    // Between the quotes, every quote must be doubled for the value to end where the
    // text around begins.
    const QByteArrayView inside = sql.sliced(head_ + 1, sql.size() - tail_ - head_ - 2);
    QByteArray& value = shape_.values.first();
    value.truncate(0); // keeps its buffer
    for (qsizetype from = 0;;) {
        const qsizetype quote = inside.indexOf('\'', from);
        if (quote < 0) {
            value += inside.sliced(from);
            return true;
        }
        if (quote + 1 == inside.size() || inside[quote + 1] != '\'')
            return false; // the value is rebuilt with the rest
        value += inside.sliced(from, quote + 1 - from);
        from = quote + 2;
    }
}

StatementCache::~StatementCache() {
    close();
}

bool StatementCache::bind(sqlite3_stmt* stmt, const QueryShape& shape) const {
    for (qsizetype i = 0; i < shape.values.size(); ++i) {
        const QByteArray& value = shape.values[i];
        if (sqlite3_bind_text(stmt, int(i + 1), value.constData(), int(value.size()),
                              SQLITE_TRANSIENT) != SQLITE_OK)
            return false;
    }
    return true;
}

std::vector<sqlite3_stmt*>* StatementCache::idleOf(const QByteArray& shapeText, bool add) {
    if (lastIdle_ && shapeText == lastShape_)
        return lastIdle_;
    std::vector<sqlite3_stmt*>* idle = nullptr;
    if (add) {
        idle = &idle_[shapeText];
    } else {
        // Taking never adds a shape: one that compiles only ever gets here through compile().
        const auto found = idle_.find(shapeText);
        if (found == idle_.end())
            return nullptr;
        idle = &*found;
    }
    lastShape_ = shapeText;
    lastIdle_ = idle;
    return idle;
}

sqlite3_stmt* StatementCache::take(const QueryShape& shape) {
    std::vector<sqlite3_stmt*>* idle = idleOf(shape.text, false);
    if (!idle || idle->empty())
        return nullptr;
    sqlite3_stmt* stmt = idle->back();
    idle->pop_back();
    if (!bind(stmt, shape)) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return stmt;
}

sqlite3_stmt* StatementCache::compile(const QueryShape& shape, sqlite3_stmt* compiledSql) {
    if (!db_ || verdicts_.value(shape.text, true) == false ||
        (!verdicts_.contains(shape.text) && verdicts_.size() >= kMaxShapes))
        return nullptr;
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    bool same = sqlite3_prepare_v3(db_, shape.text.constData(), int(shape.text.size()) + 1,
                                   SQLITE_PREPARE_PERSISTENT, &stmt, &tail) == SQLITE_OK &&
                stmt && OnlyBlanks(tail) &&
                sqlite3_bind_parameter_count(stmt) == shape.values.size() &&
                sqlite3_stmt_readonly(stmt) == sqlite3_stmt_readonly(compiledSql) &&
                sqlite3_column_count(stmt) == sqlite3_column_count(compiledSql);
    // A value shown as a column ("select 'a'") names that column after itself.
    for (int c = 0; same && c < sqlite3_column_count(stmt); ++c)
        same = qstrcmp(sqlite3_column_name(stmt, c), sqlite3_column_name(compiledSql, c)) == 0;
    verdicts_.insert(shape.text, same);
    if (!same || !bind(stmt, shape)) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return stmt;
}

void StatementCache::giveBack(sqlite3_stmt* stmt, const QByteArray& shapeText) {
    if (!stmt)
        return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!db_) {
        sqlite3_finalize(stmt);
        return;
    }
    std::vector<sqlite3_stmt*>& kept = *idleOf(shapeText, true);
    if (kept.size() < kMaxIdlePerShape)
        kept.push_back(stmt);
    else
        sqlite3_finalize(stmt);
}

sqlite3_stmt* StatementCache::take(int slot, const char* sql) {
    if (sqlite3_stmt* idle = std::exchange(slots_[size_t(slot)], nullptr))
        return idle;
    sqlite3_stmt* stmt = nullptr;
    if (!db_ || sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
                    SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return stmt;
}

void StatementCache::giveBack(int slot, sqlite3_stmt* stmt) {
    if (!stmt)
        return;
    sqlite3_reset(stmt);
    // A slot's parameters are bound again by every lookup.
    if (!db_ || slots_[size_t(slot)]) {
        sqlite3_finalize(stmt);
        return;
    }
    slots_[size_t(slot)] = stmt;
}

void StatementCache::close() {
    for (sqlite3_stmt*& stmt : slots_)
        sqlite3_finalize(std::exchange(stmt, nullptr));
    for (const std::vector<sqlite3_stmt*>& kept : std::as_const(idle_))
        for (sqlite3_stmt* stmt : kept)
            sqlite3_finalize(stmt);
    idle_.clear();
    lastShape_.clear();
    lastIdle_ = nullptr;
    db_ = nullptr;
}
