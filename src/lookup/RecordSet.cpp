#include "RecordSet.h"

#include "AppError.h"
#include "DbConnection.h"
#include "StatementCache.h"

#include <sqlite3.h>

namespace {
QString databaseError(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}
} // namespace

RecordSet::~RecordSet() {
    Close();
}

int RecordSet::State() const {
    return stmt_ ? DbConnection::adStateOpen : DbConnection::adStateClosed;
}

void RecordSet::Open(const QString& source, DbConnection& connection, int /*cursorType*/,
                     int /*lockType*/) {
    if (stmt_)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    sqlite3* db = connection.handleForQuery();
    if (!db)
        throw AppError(QStringLiteral("The connection cannot be used to perform this operation. "
                                      "It is either closed or invalid in this context."));
    // SQL text ends at a NUL, and an unpaired surrogate has no UTF-8 form:
    // either would send a different query from the one asked for.
    if (source.contains(QChar(0)) || !source.isValidUtf16())
        throw AppError(QStringLiteral("The query holds a character that the database cannot "
                                      "store (a NUL or an unpaired surrogate)."));
    const QByteArray sql = source.toUtf8();
    // The same query with other values between its quotes was compiled before:
    // its statement only needs the new values.
    const QueryShape shape = ShapeOfQuery(sql);
    std::shared_ptr<StatementCache> cache = shape.usable ? connection.statements() : nullptr;
    sqlite3_stmt* stmt = cache ? cache->take(shape) : nullptr;
    if (!stmt) {
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()) + 1, &stmt, &tail) != SQLITE_OK)
            throw AppError(databaseError(db));
        if (!stmt)
            throw AppError(QStringLiteral("The query is empty."));
        if (!OnlyBlanks(tail) || !sqlite3_stmt_readonly(stmt)) {
            sqlite3_finalize(stmt);
            throw AppError(QStringLiteral("Characters found after end of SQL statement."));
        }
        if (sqlite3_stmt* kept = cache ? cache->compile(shape, stmt) : nullptr) {
            sqlite3_finalize(stmt);
            stmt = kept;
        } else {
            cache.reset();
        }
    }
    cache_ = std::move(cache);
    stmt_ = stmt;
    // A query of the same text has the same columns, unless the database was
    // opened anew meanwhile: the fields found for the last one are checked
    // once each (columnOf) instead of being looked for again.
    const QByteArrayView text(sqlite3_sql(stmt));
    if (text != columnsOf_) {
        columns_.clear();
        columnsOf_ = text.toByteArray();
    }
    checked_ = 0;
    try {
        step();
    } catch (...) {
        Close();
        throw;
    }
}

void RecordSet::Close() {
    if (cache_)
        cache_->giveBack(stmt_);
    else if (stmt_)
        sqlite3_finalize(stmt_);
    cache_.reset();
    stmt_ = nullptr;
    eof_ = true;
}

void RecordSet::requireOpen() const {
    if (!stmt_)
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
}

void RecordSet::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        eof_ = false;
    } else if (rc == SQLITE_DONE) {
        eof_ = true;
    } else {
        eof_ = true;
        throw AppError(databaseError(sqlite3_db_handle(stmt_)));
    }
}

bool RecordSet::Eof() const {
    requireOpen();
    return eof_;
}

QString RecordSet::Field(const QString& name) const {
    const QByteArrayView text = FieldUtf8(name);
    return text.data() ? QString::fromUtf8(text) : QString();
}

QByteArrayView RecordSet::FieldUtf8(const QString& name) const {
    requireOpen();
    if (eof_)
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
    const int column = columnOf(name);
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(stmt_, column)) : QByteArrayView();
}

int RecordSet::columnOf(const QString& name) const {
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        const auto& [known, column] = columns_[i];
        if (known != name)
            continue;
        const quint32 bit = i < 32 ? 1u << i : 0;
        if (checked_ & bit)
            return column;
        if (column < sqlite3_column_count(stmt_) &&
            !QAnyStringView::compare(name, QUtf8StringView(sqlite3_column_name(stmt_, column)),
                                     Qt::CaseInsensitive)) {
            checked_ |= bit;
            return column;
        }
        columns_.clear();
        break;
    }
    const int columns = sqlite3_column_count(stmt_);
    for (int c = 0; c < columns; ++c)
        if (!QAnyStringView::compare(name, QUtf8StringView(sqlite3_column_name(stmt_, c)),
                                     Qt::CaseInsensitive)) {
            columns_.append({name, c});
            return c;
        }
    throw AppError(QStringLiteral("Item cannot be found in the collection corresponding to the "
                                  "requested name or ordinal."));
}

void RecordSet::MoveNext() {
    requireOpen();
    if (eof_)
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
    step();
}
