#pragma once

#include <QString>

struct sqlite3;

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

  private:
    sqlite3* db_ = nullptr;
};
