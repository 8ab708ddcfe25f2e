// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class FormGenerator;
class QueryShaper;
class StatementCache;

// One synonym database, opened read-only and checked, as both front ends read it: the window
// through its query texts, the command line through words bound directly. Rows come back as
// the database's own UTF-8, never converted.
class SynonymStore {
  public:
    SynonymStore();
    SynonymStore(const SynonymStore&) = delete;
    SynonymStore& operator=(const SynonymStore&) = delete;
    ~SynonymStore();

    // The database file is present when it is a regular file (folders and
    // dangling links do not count).
    static bool Present(const QString& path);

    // Opens and checks path; throws AppError with a readable description when it cannot be
    // read. A file already open is closed first.
    void open(const QString& path);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    // The file open, as open() was given it; empty when none is.
    const QString& path() const { return path_; }
    // The connection itself, for comparing answers with plain SQLite.
    sqlite3* handle() const { return db_; }

    // A lookup run's queries share read locks, each held for a short
    // stretch of queries instead of one per query: taking a lock costs a
    // query's worth of system calls. The file is still read as it is at
    // the start of each stretch, and no lock outlives the run. Stretches
    // nest; the outermost end releases the lock. A batch that wants the
    // whole list read from one state of the file asks for one long stretch.
    class Reading {
      public:
        // queriesPerStretch: kLookupsPerReadLock (ReadLock.h), or more than a run makes.
        Reading(SynonymStore& store, int queriesPerStretch) : store_(store) {
            if (store_.readings_++ == 0)
                store_.stretchLength_ = queriesPerStretch;
        }
        ~Reading() {
            if (--store_.readings_ == 0)
                store_.endStretch();
        }
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

      private:
        SynonymStore& store_;
    };

    // The rows of one query, forward only; closed when destroyed. A row's texts stay
    // valid until the next call of next() or close().
    class Rows {
      public:
        Rows() = default;
        Rows(const Rows&) = delete;
        Rows& operator=(const Rows&) = delete;
        ~Rows() { close(); }

        bool isOpen() const { return stmt_ != nullptr; }
        bool atEnd() const { return atEnd_; }
        // Throws AppError with the database's own text; the rows are then at their end.
        void next();
        // A NULL field is a null view.
        QByteArrayView text(int column) const;
        int columnCount() const;
        const char* columnName(int column) const;
        // The statement's text as compiled.
        const char* sql() const;
        void close();

      private:
        friend class SynonymStore;
        sqlite3_stmt* stmt_ = nullptr;
        // Where stmt_ goes back on close when it came from the connection's cache.
        std::shared_ptr<StatementCache> cache_;
        // The shape it is kept under, or the slot of a statement of the store's own.
        QByteArray shape_;
        int slot_ = -1;
        bool atEnd_ = true;
    };

    // (b) An SQL text, compiled once per shape (StatementCache.h) and stood on its first
    // row. Only one read-only statement is accepted. Throws AppError with the reason.
    void run(Rows& rows, QByteArrayView sql);

    // (a) A word's rows, the word bound as it is (UTF-8) into a statement compiled once;
    // word must stay put until the rows are closed. Synonyms gives the columns synonym, pos,
    // relation of qrySynonyms; SynonymsAlone only its synonym, for a reader that needs no
    // meaning; Relations adds sense and note from qryRelations (every meaning of every term).
    enum class View { Synonyms, SynonymsAlone, Relations };
    enum Column { Synonym = 0, Pos = 1, Relation = 2, Sense = 3, Note = 4 };
    void lookUp(Rows& rows, QByteArrayView word, View view);

    // A word with no row of its own can still be a form through a prefix the file keeps as
    // marks on the words it stands before (Italian "dell'uomo": "dell'" before "uomo"): its
    // records as lookUp would give them for view, the headwords in thesaurus order, each
    // synonym once unless view is Relations. Empty when the word has rows of its own or is
    // no such form. Throws AppError with the database's reason.
    struct Record {
        QByteArray synonym, pos, relation, sense, note;
    };
    bool keepsPrefixes() const { return !prefixes_.empty(); }
    std::vector<Record> prefixedRecords(QByteArrayView word, View view);

    // Asked every millisecond or so of work while a statement runs, so that a query that takes
    // long or never ends (a recursive view of a database of one's own) can be given up:
    // false ends it as if it had no more rows, and what it throws ends it and is thrown again
    // by the call that was reading. It must not use this store. Empty: never asked.
    void whileReading(std::function<bool()> keepGoing);
    // True while a statement waits on that question: SQLite allows no other use of the
    // connection until it returns.
    bool asking() const { return asking_; }

    // The synonym in the form word has in the text ("houses", "home" -> "homes"): the affixes
    // that built word from its headword, applied to synonym under the dictionary's rules, kept
    // only when exactly one form results; pos is the meaning's part of speech as the row gives
    // it (empty: none given). Empty when none or several result, or when the file keeps no
    // record of how its forms were built. Each pair is worked out once per store and kept
    // (FormGenerator: at most 100 000 pairs at a time). Throws AppError when the file is not open.
    QByteArray inflected(QByteArrayView word, QByteArrayView synonym, QByteArrayView pos);

    // Throws AppError naming what is missing when qrySynonyms lacks any of word, synonym,
    // pos and relation.
    void requireSynonymView();
    // Files made before meanings were kept have no qryRelations; their one view still answers.
    bool holdsRelations();
    // Whether the file lists the values --pos and --relation accept (table kinds).
    bool holdsKinds();

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
    static int stillWanted(void* self);
    void endStretch();
    // The connection for the next query. A database file replaced since the
    // last one (cp over it, a new file renamed into place) is opened anew
    // first: SQLite alone would trust pages it read from the old file when
    // both files happen to carry the same change counter. Throws AppError
    // when the new file cannot be read; the old connection then stays.
    sqlite3* handleForQuery();
    void start(Rows& rows, sqlite3_stmt* stmt, std::shared_ptr<StatementCache> cache, int slot,
               QByteArray shape = {});

    sqlite3* db_ = nullptr;
    QString path_;
    FileStamp stamp_;
    std::shared_ptr<StatementCache> statements_;
    // Table prefix: each folded text and the bits of form.prefixes that take it.
    std::vector<std::pair<QByteArray, qint64>> prefixes_;
    // Queries taken apart for statements_; only their text counts, whatever the connection.
    std::unique_ptr<QueryShaper> shaper_;
    // Made at the first inflected(), and with the file it reads.
    std::unique_ptr<FormGenerator> generator_;
    std::function<bool()> keepGoing_;
    bool asking_ = false;
    int readings_ = 0;
    int stretchLength_ = 0;
    bool stretchOpen_ = false;
    // Queries left in the read lock now held; 0 when none is held.
    int stretchLeft_ = 0;
};
