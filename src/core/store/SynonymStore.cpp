// SPDX-License-Identifier: GPL-3.0-or-later
#include "SynonymStore.h"

#include "AppError.h"
#include "DatabaseFormat.h"
#include "FileSystem.h"
#include "FormGenerator.h"
#include "ShellQuote.h"
#include "StatementCache.h"
#include "Utf8Text.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sqlite3.h>
#include <sys/stat.h>
#include <utility>

namespace {
// A database locked by another program is waited for this long, then reported.
constexpr int kBusyTimeoutMs = 2000;
int pragmaNumber(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    int value = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

int compareBytes(const char* a, qsizetype lengthA, const char* b, qsizetype lengthB) {
    const int common = std::memcmp(a, b, size_t(std::min(lengthA, lengthB)));
    return common ? common : (lengthA > lengthB) - (lengthA < lengthB);
}

// Whole texts folded and composed: only for the few comparisons that meet a letter above
// ASCII where the texts differ, kept out of line so that the ASCII path saves no registers.
[[gnu::noinline]] int compareFolded(bool composed, const unsigned char* a, int lengthA,
                                    const unsigned char* b, int lengthB) {
    const QByteArray foldedA = WordKey(QByteArrayView(a, lengthA), composed);
    const QByteArray foldedB = WordKey(QByteArrayView(b, lengthB), composed);
    return compareBytes(foldedA.constData(), foldedA.size(), foldedB.constData(), foldedB.size());
}

// SQLite's NOCASE with every letter's case ignored, not only ASCII's: text is compared case-
// folded, in code point order (the byte order of UTF-8), and composed (NFC) when composed is
// set, so that "e" with a combining accent finds "é". On ASCII it is exactly the built-in.
// The index search compares a word with some twenty keys, most of them sharing its first
// letters: the shared ASCII part is compared in place, eight bytes at a time while they are
// equal, and only text that differs after a non-ASCII byte is folded.
int compareIgnoringCase(void* composed, int lengthA, const void* textA, int lengthB,
                        const void* textB) {
    const auto* a = static_cast<const unsigned char*>(textA);
    const auto* b = static_cast<const unsigned char*>(textB);
    const int common = std::min(lengthA, lengthB);
    // A byte after the one that differs may be a combining mark that composes with it.
    const auto endsThere = [](const unsigned char* text, int length, int at) {
        return at >= length || text[at] < 0x80;
    };
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : int(c); };
    int i = 0;
    // Eight ASCII bytes at a time: equal ones are equal folded too, whatever follows them, and
    // the first that differ are found without a loop.
    constexpr quint64 kAboveAscii = 0x8080808080808080ULL;
    while (i + 8 <= common) {
        quint64 x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        if ((x | y) & kAboveAscii)
            break;
        const quint64 differ = x ^ y;
        if (!differ) {
            i += 8;
            continue;
        }
        i += (std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                          : std::countl_zero(differ)) / 8;
        if (const int difference = lower(a[i]) - lower(b[i])) {
            if (endsThere(a, lengthA, i + 1) && endsThere(b, lengthB, i + 1))
                return difference;
            return compareFolded(composed != nullptr, a, lengthA, b, lengthB);
        }
        ++i;
    }
    for (; i < common; ++i) {
        const unsigned char ca = a[i], cb = b[i];
        if ((ca | cb) >= 0x80)
            break;
        if (ca == cb)
            continue;
        if (const int difference = lower(ca) - lower(cb)) {
            if (endsThere(a, lengthA, i + 1) && endsThere(b, lengthB, i + 1))
                return difference;
            break;
        }
    }
    // One text ran out inside the ASCII part: a rest composed with the last letter becomes
    // a letter above ASCII, so the shorter text sorts first either way.
    if (i == common)
        return lengthA - lengthB;
    return compareFolded(composed != nullptr, a, lengthA, b, lengthB);
}
// SQLite virtual machine steps between two questions whether a query is still wanted.
constexpr int kStepsPerQuestion = 100'000;

// What a question threw, kept while SQLite unwinds its own frames, which it cannot cross.
thread_local std::exception_ptr tGivenUp;

const QString kForeignFile =
    QStringLiteral("%1 is not a synonym database Lexigrove can read (%2).");
} // namespace

SynonymStore::SynonymStore() : shaper_(std::make_unique<QueryShaper>()) {}

SynonymStore::~SynonymStore() {
    close();
}

bool SynonymStore::Present(const QString& path) {
    if (path.contains(QChar(0)))
        return false;
    struct stat info;
    return ::stat(NativeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           !path.section(u'/', -1).startsWith(u'.');
}

void SynonymStore::open(const QString& path) {
    const FileStamp stamp = stampOf(path);
    sqlite3* db = openFile(path);
    close();
    stamp_ = stamp;
    adopt(db);
    path_ = path;
}

SynonymStore::FileStamp SynonymStore::stampOf(const QString& path) {
    struct stat info;
    if (::stat(NativeName(path).constData(), &info) != 0)
        return {};
    return {info.st_dev, info.st_ino, info.st_size,
            info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

sqlite3* SynonymStore::handleForQuery() {
    if (!db_)
        return nullptr;
    if (stretchLeft_ > 0) {
        --stretchLeft_;
        return db_;
    }
    endStretch();
    const FileStamp now = stampOf(path_);
    if (now != stamp_) {
        sqlite3* fresh = openFile(path_);
        stamp_ = now;
        const QString path = path_;
        close();
        adopt(fresh);
        path_ = path;
    }
    // A deferred transaction takes its read lock at the first query and
    // keeps it for the stretch; without one, every query takes its own.
    if (readings_ > 0 && sqlite3_exec(db_, "begin", nullptr, nullptr, nullptr) == SQLITE_OK) {
        stretchOpen_ = true;
        stretchLeft_ = stretchLength_ - 1;
    }
    return db_;
}

void SynonymStore::endStretch() {
    // A statement still reading (a run unwound mid-word) may hold up the
    // commit; giving the transaction up ends a read lock just as well.
    if (stretchOpen_ && db_ && !sqlite3_get_autocommit(db_) &&
        sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
    stretchOpen_ = false;
    stretchLeft_ = 0;
}

void SynonymStore::whileReading(std::function<bool()> keepGoing) {
    keepGoing_ = std::move(keepGoing);
    if (db_)
        sqlite3_progress_handler(db_, keepGoing_ ? kStepsPerQuestion : 0,
                                 keepGoing_ ? &SynonymStore::stillWanted : nullptr, this);
}

int SynonymStore::stillWanted(void* self) {
    auto* store = static_cast<SynonymStore*>(self);
    if (store->asking_ || !store->keepGoing_)
        return 0;
    store->asking_ = true;
    int stop = 0;
    try {
        stop = store->keepGoing_() ? 0 : 1;
    } catch (...) {
        tGivenUp = std::current_exception();
        stop = 1;
    }
    store->asking_ = false;
    return stop;
}

void SynonymStore::adopt(sqlite3* db) {
    db_ = db;
    whileReading(std::move(keepGoing_));
    statements_ = std::make_shared<StatementCache>(db);
    generator_.reset();
    // A handful of rows, read once: a word is held against them only when it is not found.
    prefixes_.clear();
    sqlite3_stmt* stmt = nullptr;
    if (pragmaNumber(db, "pragma user_version") >= kPrefixesVersion &&
        sqlite3_prepare_v2(db, "select text, bits from prefix", -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            prefixes_.emplace_back(QByteArray(text, sqlite3_column_bytes(stmt, 0)),
                                   sqlite3_column_int64(stmt, 1));
        }
    }
    sqlite3_finalize(stmt);
}

void SynonymStore::close() {
    generator_.reset();
    // close_v2 waits for statements still open in a suspended run instead of failing;
    // those are finalized, not kept, when their rows close.
    if (statements_)
        statements_->close();
    statements_.reset();
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    path_.clear();
    stretchOpen_ = false;
    stretchLeft_ = 0;
}

void SynonymStore::start(Rows& rows, sqlite3_stmt* stmt, std::shared_ptr<StatementCache> cache,
                         int slot, QByteArray shape) {
    rows.close();
    rows.stmt_ = stmt;
    rows.cache_ = std::move(cache);
    rows.shape_ = std::move(shape);
    rows.slot_ = slot;
    rows.atEnd_ = false;
    try {
        rows.next();
    } catch (...) {
        rows.close();
        throw;
    }
}

void SynonymStore::run(Rows& rows, QByteArrayView sql) {
    rows.close();
    sqlite3* db = handleForQuery();
    if (!db)
        throw AppError(QStringLiteral("The synonym database is not open."));
    // SQL text ends at a NUL: what follows it would not be the query asked for.
    if (sql.contains('\0'))
        throw AppError(QStringLiteral("The query holds a character that the database cannot "
                                      "store (a NUL or an unpaired surrogate)."));
    // The same query with other values between its quotes was compiled before:
    // its statement only needs the new values.
    const QueryShape& shape = shaper_->shapeOf(sql);
    std::shared_ptr<StatementCache> cache = shape.usable ? statements_ : nullptr;
    sqlite3_stmt* stmt = cache ? cache->take(shape) : nullptr;
    if (!stmt) {
        const QByteArray text = sql.toByteArray();
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()) + 1, &stmt, &tail) !=
            SQLITE_OK)
            throw AppError(QString::fromUtf8(sqlite3_errmsg(db)));
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
    QByteArray kept = cache ? shape.text : QByteArray();
    start(rows, stmt, std::move(cache), -1, std::move(kept));
}

void SynonymStore::lookUp(Rows& rows, QByteArrayView word, View view) {
    static const char* const kSql[StatementCache::kSlots] = {
        "select synonym, pos, relation from qrySynonyms where word = ?1",
        "select synonym from qrySynonyms where word = ?1",
        "select synonym, pos, relation, sense, note from qryRelations where word = ?1"};
    rows.close();
    sqlite3* db = handleForQuery();
    if (!db)
        throw AppError(QStringLiteral("The synonym database is not open."));
    const int slot = int(view);
    sqlite3_stmt* stmt = statements_->take(slot, kSql[slot]);
    if (!stmt)
        throw AppError(QString::fromUtf8(sqlite3_errmsg(db)));
    if (sqlite3_bind_text(stmt, 1, word.data() ? word.data() : "", int(word.size()),
                          SQLITE_STATIC) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        statements_->giveBack(slot, stmt);
        throw AppError(reason);
    }
    start(rows, stmt, statements_, slot);
}

std::vector<SynonymStore::Record> SynonymStore::prefixedRecords(QByteArrayView word, View view) {
    constexpr int kSlot = 3;
    std::vector<Record> records;
    if (prefixes_.empty())
        return records;
    // Keys are folded and composed, and so are the texts before them.
    const QByteArray key = WordKey(word);
    std::vector<std::pair<QByteArray, qint64>> leads;
    for (const auto& lead : prefixes_) {
        if (key.size() > lead.first.size() && key.startsWith(lead.first))
            leads.push_back(lead);
    }
    if (leads.empty())
        return records;
    // May open a file put in place of the old one, and read its prefixes instead.
    sqlite3* db = handleForQuery();
    if (!db)
        throw AppError(QStringLiteral("The synonym database is not open."));
    QSet<QByteArray> given;
    // Per record, for the views that answer stand-ins only when no synonym is found.
    std::vector<int> listedAs;
    for (const auto& [text, bits] : leads) {
        sqlite3_stmt* stmt = statements_->take(
            kSlot, "select s.synonym, s.pos, s.relation, s.sense, s.note, s.listed "
                   "from form f join synonym s on s.headword_id = f.headword_id "
                   "where f.key = ?1 and f.prefixes & ?2 "
                   "and not exists (select 1 from form g where g.key = ?3) "
                   "order by f.headword_id, s.seq");
        if (!stmt)
            throw AppError(QString::fromUtf8(sqlite3_errmsg(db)));
        const QByteArrayView rest = QByteArrayView(key).sliced(text.size());
        sqlite3_bind_text(stmt, 1, rest.data(), int(rest.size()), SQLITE_STATIC);
        sqlite3_bind_int64(stmt, 2, bits);
        sqlite3_bind_text(stmt, 3, word.data() ? word.data() : "", int(word.size()),
                          SQLITE_STATIC);
        const auto column = [stmt](int at) {
            return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, at)),
                              sqlite3_column_bytes(stmt, at));
        };
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const int listed = sqlite3_column_int(stmt, 5);
            if (view != View::Relations) {
                // As qrySynonyms: the listed rows only, a text an earlier headword gave once.
                const QByteArray seen = QByteArray::number(listed) + ' ' + column(Synonym);
                if (listed == kNotListed || given.contains(seen))
                    continue;
                given.insert(seen);
                listedAs.push_back(listed);
            }
            records.push_back(Record{column(Synonym), column(Pos), column(Relation),
                                     column(Sense), column(Note)});
        }
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        statements_->giveBack(kSlot, stmt);
        if (rc != SQLITE_DONE)
            throw AppError(reason);
    }
    if (std::find(listedAs.begin(), listedAs.end(), kListedSynonym) != listedAs.end()) {
        size_t kept = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            if (listedAs[i] == kListedSynonym)
                records[kept++] = std::move(records[i]);
        }
        records.resize(kept);
    }
    return records;
}

void SynonymStore::requireSynonymView() {
    Rows rows;
    try {
        run(rows, "select word, synonym, pos, relation from qrySynonyms where 0");
    } catch (const AppError& error) {
        throw AppError(QStringLiteral("it is not a synonym database: it needs a view qrySynonyms "
                                      "with the fields word, synonym, pos and relation (%1).")
                           .arg(error.description()));
    }
}

bool SynonymStore::holdsRelations() {
    Rows rows;
    run(rows, "select count(*) as n from sqlite_master where name = 'qryRelations'");
    return rows.text(0) != "0";
}

QByteArray SynonymStore::inflected(QByteArrayView word, QByteArrayView synonym,
                                   QByteArrayView pos) {
    sqlite3* db = handleForQuery();
    if (!db)
        throw AppError(QStringLiteral("The synonym database is not open."));
    if (!generator_)
        generator_ = std::make_unique<FormGenerator>(db);
    return generator_->inflected(word, synonym, pos);
}

bool SynonymStore::holdsKinds() {
    Rows rows;
    run(rows, "select count(*) as n from sqlite_master where name = 'kinds' and type = 'table'");
    return rows.text(0) != "0";
}

void SynonymStore::Rows::next() {
    if (!stmt_ || atEnd_)
        return;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return;
    atEnd_ = true;
    if (rc == SQLITE_INTERRUPT) {
        if (std::exception_ptr givenUp = std::exchange(tGivenUp, nullptr))
            std::rethrow_exception(givenUp);
        return; // no longer wanted: the rows so far are all
    }
    if (rc != SQLITE_DONE)
        throw AppError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt_))));
}

QByteArrayView SynonymStore::Rows::text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(stmt_, column)) : QByteArrayView();
}

int SynonymStore::Rows::columnCount() const {
    return sqlite3_column_count(stmt_);
}

const char* SynonymStore::Rows::columnName(int column) const {
    return sqlite3_column_name(stmt_, column);
}

const char* SynonymStore::Rows::sql() const {
    return sqlite3_sql(stmt_);
}

void SynonymStore::Rows::close() {
    if (cache_ && slot_ >= 0)
        cache_->giveBack(slot_, stmt_);
    else if (cache_)
        cache_->giveBack(stmt_, shape_);
    else if (stmt_)
        sqlite3_finalize(stmt_);
    cache_.reset();
    stmt_ = nullptr;
    slot_ = -1;
    atEnd_ = true;
}

sqlite3* SynonymStore::openFile(const QString& path) {
    // Memory statistics take a global lock on every allocation; nothing reads them.
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(configured);
    sqlite3* db = nullptr;
    // One thread uses the connection, so SQLite's own mutexes are only cost.
    const int rc = sqlite3_open_v2(NativeName(path).constData(), &db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    auto fail = [&](const QString& what, QString reason = QString()) {
        if (reason.isEmpty())
            reason = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw AppError(what.arg(ShownText(path), reason));
    };
    if (rc != SQLITE_OK)
        fail(QStringLiteral("Cannot open the synonym database %1: %2."));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // SQLite opens lazily; read the schema now so that a file that is not a
    // database is reported here rather than on the first word.
    // Each query takes its own read lock, so a file replaced or written by another
    // program meanwhile is read as it is now, and is never locked between queries.
    int tables = 0;
    const int read = sqlite3_exec(
        db, "select count(*) from sqlite_master",
        [](void* count, int, char** values, char**) {
            *static_cast<int*>(count) = values[0] ? std::atoi(values[0]) : 0;
            return 0;
        },
        &tables, nullptr);
    switch (read) {
    case SQLITE_OK:
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        // A database after all: the user can close the other program and start again.
        fail(QStringLiteral("Cannot read the synonym database %1: another program has locked "
                            "it (%2)."));
        break;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        fail(kForeignFile);
        break;
    case SQLITE_READONLY:
        // A hot journal: SQLite's "attempt to write a readonly database" says nothing of it.
        if (sqlite3_extended_errcode(db) == SQLITE_READONLY_ROLLBACK) {
            fail(QStringLiteral("Cannot read the synonym database %1: a program stopped while "
                                "writing it, and its old content, kept in %1-journal, must be "
                                "put back first by a program that may write the file, such as "
                                "sqlite3 run by its owner (%2)."));
            break;
        }
        [[fallthrough]];
    default:
        fail(QStringLiteral("Cannot read the synonym database %1: %2."));
        break;
    }
    // SQLite takes an empty file for a new, empty database; for the user it is
    // as foreign as any other file.
    if (tables == 0)
        fail(kForeignFile, QStringLiteral("it holds no tables"));
    // Replaces the built-in NOCASE on this connection only. Valid only where every key in a
    // NOCASE index is folded already: there the stored order is the same under both, so the
    // one index search per word still finds "été" for "ÉTÉ". Older files keep ASCII matching.
    const int version = pragmaNumber(db, "pragma application_id") == kApplicationId
                            ? pragmaNumber(db, "pragma user_version")
                            : 0;
    static int composed = 1;
    if (version >= kFoldedKeysVersion &&
        sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8,
                                 version >= kComposedKeysVersion ? &composed : nullptr,
                                 compareIgnoringCase) != SQLITE_OK)
        fail(QStringLiteral("Cannot prepare the synonym database %1: %2."));
    return db;
}

