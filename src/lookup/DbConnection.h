#pragma once

#include <QString>
#include <memory>

struct sqlite3;
class StatementCache;

// The program's one connection to the synonym database, opened read-only at
// start-up and closed when the window closes.
class DbConnection {
  public:
    enum StateValue { adStateClosed = 0, adStateOpen = 1 };

    DbConnection() = default;
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;
    ~DbConnection();

    // The folder of the executable joined with "words.mdb".
    static QString DatabasePath(const QString& applicationFolder);
    static QString ConnectionString(const QString& databasePath);
    // The database file is present when it is a regular file (folders and
    // dangling links do not count).
    static bool DatabasePresent(const QString& databasePath);

    int State() const { return db_ ? adStateOpen : adStateClosed; }
    // Opens the file named after "Data Source=" (leading blanks dropped);
    // throws AppError with a readable description when it cannot be read.
    void Open(const QString& connectionString);
    void Close();

    sqlite3* handle() const { return db_; }
    // The connection for the next query. A database file replaced since the
    // last one (cp over it, a new file renamed into place) is opened anew
    // first: SQLite alone would trust pages it read from the old file when
    // both files happen to carry the same change counter. Throws AppError
    // when the new file cannot be read; the old connection then stays.
    sqlite3* handleForQuery();
    // A lookup run's queries share read locks, each held for a short
    // stretch of queries instead of one per query: taking a lock costs a
    // query's worth of system calls. The file is still read as it is at
    // the start of each stretch, and no lock outlives the run. Stretches
    // nest; the outermost end releases the lock. A batch that wants the
    // whole list read from one state of the file asks for one long stretch.
    class Reading {
      public:
        // A few milliseconds of lookups: a program writing the file waits no longer.
        static constexpr int kQueriesPerStretch = 256;
        explicit Reading(DbConnection& connection, int queriesPerStretch = kQueriesPerStretch)
            : connection_(connection) {
            if (connection_.readings_++ == 0)
                connection_.stretchLength_ = queriesPerStretch;
        }
        ~Reading() {
            if (--connection_.readings_ == 0)
                connection_.endStretch();
        }
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

      private:
        DbConnection& connection_;
    };
    // The compiled statements kept for queries of the same shape; null while closed.
    std::shared_ptr<StatementCache> statements() const { return statements_; }

  private:
    struct FileStamp {
        unsigned long long device = 0, inode = 0;
        long long size = 0, modified = 0, changed = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp stampOf(const QString& path);
    // Opens path; throws AppError with the reason.
    static sqlite3* openFile(const QString& path);
    void adopt(sqlite3* db);
    void endStretch();

    sqlite3* db_ = nullptr;
    QString path_;
    FileStamp stamp_;
    std::shared_ptr<StatementCache> statements_;
    int readings_ = 0;
    int stretchLength_ = 0;
    bool stretchOpen_ = false;
    // Queries left in the read lock now held; 0 when none is held.
    int stretchLeft_ = 0;
};
