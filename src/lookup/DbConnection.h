// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Paths.h"
#include "SynonymStore.h"

#include <QString>

// The program's one connection to the synonym database, opened read-only at
// start-up and closed when the window closes: the window's Jet connection,
// kept as its handlers know it, over the synonym store.
class DbConnection {
  public:
    enum StateValue { adStateClosed = 0, adStateOpen = 1 };

    DbConnection() = default;
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // The folder of the executable joined with "words.mdb".
    static QString DatabasePath(const QString& applicationFolder) {
        return DatabaseBesideApplication(applicationFolder);
    }
    static QString ConnectionString(const QString& databasePath);
    static bool DatabasePresent(const QString& databasePath) {
        return SynonymStore::Present(databasePath);
    }

    int State() const { return store_.isOpen() ? adStateOpen : adStateClosed; }
    // Opens the file named after "Data Source=" (leading blanks dropped);
    // throws AppError with a readable description when it cannot be read.
    void Open(const QString& connectionString);
    void Close() { store_.close(); }

    sqlite3* handle() const { return store_.handle(); }
    SynonymStore& store() { return store_; }

  private:
    SynonymStore store_;
};
