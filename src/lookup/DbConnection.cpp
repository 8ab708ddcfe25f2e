#include "DbConnection.h"

#include "AppError.h"
#include "DatabaseFormat.h"
#include "FileSystem.h"
#include "Paths.h"
#include "StatementCache.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {
const QString kDataSource = QStringLiteral("Data Source=");
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

// SQLite's NOCASE with every letter's case ignored, not only ASCII's: text is compared case-
// folded, in code point order (the byte order of UTF-8), and composed (NFC) when composed is
// set, so that "e" with a combining accent finds "é". On ASCII it is exactly the built-in,
// which is every word of an English run, so that case keeps a loop without allocations.
int compareIgnoringCase(void* composed, int lengthA, const void* textA, int lengthB,
                        const void* textB) {
    const auto* a = static_cast<const unsigned char*>(textA);
    const auto* b = static_cast<const unsigned char*>(textB);
    const int common = std::min(lengthA, lengthB);
    const auto ascii = [](const unsigned char* text, int length) {
        return std::all_of(text, text + length, [](unsigned char c) { return c < 0x80; });
    };
    if (ascii(a, lengthA) && ascii(b, lengthB)) {
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : int(c); };
        for (int i = 0; i < common; ++i)
            if (const int difference = lower(a[i]) - lower(b[i]))
                return difference;
        return lengthA - lengthB;
    }
    const auto key = [composed](const unsigned char* text, int length) {
        const QString folded =
            QString::fromUtf8(reinterpret_cast<const char*>(text), length).toCaseFolded();
        return (composed ? folded.normalized(QString::NormalizationForm_C) : folded).toUtf8();
    };
    const QByteArray foldedA = key(a, lengthA);
    const QByteArray foldedB = key(b, lengthB);
    return compareBytes(foldedA.constData(), foldedA.size(), foldedB.constData(), foldedB.size());
}
const QString kForeignFile =
    QStringLiteral("%1 is not a synonym database Lexigrove can read (%2).");
} // namespace

DbConnection::~DbConnection() {
    Close();
}

QString DbConnection::DatabasePath(const QString& applicationFolder) {
    return BesideApplication(applicationFolder, QStringLiteral("words.mdb"));
}

QString DbConnection::ConnectionString(const QString& databasePath) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ") + databasePath;
}

bool DbConnection::DatabasePresent(const QString& databasePath) {
    if (databasePath.contains(QChar(0)))
        return false;
    struct stat info;
    return ::stat(NativeName(databasePath).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           !databasePath.section(u'/', -1).startsWith(u'.');
}

void DbConnection::Open(const QString& connectionString) {
    if (db_)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    const qsizetype at = connectionString.indexOf(kDataSource, 0, Qt::CaseInsensitive);
    if (at < 0)
        throw AppError(QStringLiteral("The connection string names no data source."));
    // The path runs to the end: the program puts it last, and a folder name
    // may itself hold a semicolon.
    QString path = connectionString.mid(at + kDataSource.size());
    while (path.startsWith(u' '))
        path.remove(0, 1);
    if (path.isEmpty() || path.contains(QChar(0)))
        throw AppError(QStringLiteral("The connection string names no valid data source."));

    stamp_ = stampOf(path);
    adopt(openFile(path));
    path_ = path;
}

DbConnection::FileStamp DbConnection::stampOf(const QString& path) {
    struct stat info;
    if (::stat(NativeName(path).constData(), &info) != 0)
        return {};
    return {info.st_dev, info.st_ino, info.st_size,
            info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

sqlite3* DbConnection::handleForQuery() {
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
        Close();
        adopt(fresh);
    }
    // A deferred transaction takes its read lock at the first query and
    // keeps it for the stretch; without one, every query takes its own.
    if (readings_ > 0 && sqlite3_exec(db_, "begin", nullptr, nullptr, nullptr) == SQLITE_OK) {
        stretchOpen_ = true;
        stretchLeft_ = stretchLength_ - 1;
    }
    return db_;
}

void DbConnection::endStretch() {
    // A statement still reading (a run unwound mid-word) may hold up the
    // commit; giving the transaction up ends a read lock just as well.
    if (stretchOpen_ && db_ && !sqlite3_get_autocommit(db_) &&
        sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
    stretchOpen_ = false;
    stretchLeft_ = 0;
}

void DbConnection::adopt(sqlite3* db) {
    db_ = db;
    statements_ = std::make_shared<StatementCache>(db);
}

sqlite3* DbConnection::openFile(const QString& path) {
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
        throw AppError(what.arg(path, reason));
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

void DbConnection::Close() {
    // close_v2 waits for statements still open in a suspended run instead of failing;
    // those are finalized, not kept, when their recordset closes.
    if (statements_)
        statements_->close();
    statements_.reset();
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    stretchOpen_ = false;
    stretchLeft_ = 0;
}
