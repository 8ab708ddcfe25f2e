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

sqlite3_stmt* StatementCache::take(const QueryShape& shape) {
    const auto found = idle_.find(shape.text);
    if (found == idle_.end() || found->empty())
        return nullptr;
    sqlite3_stmt* stmt = found->back();
    found->pop_back();
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
    std::vector<sqlite3_stmt*>& kept = idle_[shapeText];
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
    // A slot's only parameter is bound again by every lookup.
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
    db_ = nullptr;
}
