// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "DatabaseFormat.h"
#include "ExportFile.h"
#include "FileSystem.h"
#include "Thesaurus.h"
#include "ThesaurusLabels.h"

#include <QHash>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <functional>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {

// How often a build is asked whether it is still wanted inside long stretches of work: every
// so many SQLite virtual machine steps (COMMIT, VACUUM and its sorting), every so many
// comparisons of a sort. Either is a millisecond or so.
constexpr int kSqliteStepsPerCheck = 100'000;
constexpr quint32 kComparisonsPerCheck = 1u << 16;

// form holds every word the database answers, under its key: each headword's own, and the
// inflected forms of headwords. Its keys are folded already, so their order under SQLite's
// ASCII-only NOCASE is their order under the program's Unicode one too, and one index serves
// both the sqlite3 shell and the program. The views keep the one query on `word` a single
// search of that index.
//
// synonym holds one row per term and meaning of an entry, in thesaurus order; `listed` marks
// the row qrySynonyms answers: 1 the first time the entry gives the text as a synonym kind, 2
// its broader and narrower terms in an entry that gives none, answered for a key none of whose
// headwords has a 1 (ListedAs).
// A key filed under several headwords (a form with two roots) answers each headword in turn,
// in thesaurus order (their ids), and qrySynonyms skips a text an earlier one already gave;
// `later` marks those form rows, so that the common key of one headword skips the search.
// repeated lists the rows so skipped, found once here: searching the earlier headwords at
// each lookup costs the square of their number, seconds for a key under thousands.
// A prefix flag too prolific to file form by form is filed as marks: `prefixes` holds the bits
// of the texts of table prefix that, put before the row's key, make a form of its headword
// ("dell'" + "uomo"); a word with no row of its own is looked for that way.
// `how` names the row of table how that says how the form was built from its headword (0: it
// is the headword's own, or not known), so that a synonym can be given the same form.
//
// kinds holds the values --pos and --relation accept, so that a filter costs a read of a few
// rows rather than of every row of a view: each value of the label table's shared vocabulary,
// and any other value the synonyms hold (a label kept as written), with pairs the number of
// synonym rows that hold it (0: a value of the vocabulary this language does not use). A part
// of speech of several words ("adj noun") counts for each word.
const char* const kSchema = R"sql(
CREATE TABLE kinds (field TEXT NOT NULL, value TEXT NOT NULL, pairs INTEGER NOT NULL,
  PRIMARY KEY (field, value)) WITHOUT ROWID;
CREATE TABLE headword (id INTEGER PRIMARY KEY, word TEXT NOT NULL);
CREATE TABLE synonym (headword_id INTEGER NOT NULL REFERENCES headword(id), seq INTEGER NOT NULL,
  synonym TEXT NOT NULL, pos TEXT NOT NULL, relation TEXT NOT NULL, sense INTEGER NOT NULL,
  note TEXT NOT NULL, listed INTEGER NOT NULL,
  PRIMARY KEY (headword_id, seq)) WITHOUT ROWID;
CREATE TABLE form (key TEXT NOT NULL COLLATE NOCASE,
  headword_id INTEGER NOT NULL REFERENCES headword(id), later INTEGER NOT NULL,
  prefixes INTEGER NOT NULL, how INTEGER NOT NULL,
  PRIMARY KEY (key, headword_id)) WITHOUT ROWID;
CREATE TABLE how (id INTEGER PRIMARY KEY, flag TEXT NOT NULL, strip TEXT NOT NULL,
  append TEXT NOT NULL, condition TEXT NOT NULL, slot TEXT NOT NULL, pos TEXT NOT NULL);
CREATE TABLE prefix (text TEXT NOT NULL PRIMARY KEY, bits INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE repeated (key TEXT NOT NULL COLLATE NOCASE, headword_id INTEGER NOT NULL,
  seq INTEGER NOT NULL, PRIMARY KEY (key, headword_id, seq)) WITHOUT ROWID;
CREATE VIEW qrySynonyms AS SELECT f.key AS word, s.synonym AS synonym, s.pos AS pos, s.relation AS relation
  FROM form f JOIN synonym s ON s.headword_id = f.headword_id AND s.listed
  WHERE (s.listed = 1 OR NOT EXISTS (SELECT 1 FROM form h JOIN synonym u
    ON u.headword_id = h.headword_id AND u.listed = 1 WHERE h.key = f.key))
  AND (NOT f.later OR NOT EXISTS (SELECT 1 FROM repeated r
    WHERE r.key = f.key AND r.headword_id = f.headword_id AND r.seq = s.seq));
CREATE VIEW qryRelations AS SELECT f.key AS word, s.synonym AS synonym, s.pos AS pos,
  s.relation AS relation, s.sense AS sense, s.note AS note
  FROM form f JOIN synonym s ON s.headword_id = f.headword_id;
)sql";

// One form row: the key as UTF-8, whose byte order is the index order.
struct FormRow {
    QByteArray key;
    sqlite3_int64 headwordId;
    bool later = false;
    quint64 prefixes = 0;
    quint32 how = 0;
    bool operator<(const FormRow& other) const {
        return key != other.key ? key < other.key : headwordId < other.headwordId;
    }
    bool operator==(const FormRow& other) const {
        return key == other.key && headwordId == other.headwordId;
    }
};

// Each headword under its own key, then each inflected form under the ids of its base's
// headwords, in index order: sorted inserts fill B-tree pages instead of splitting them.
// Forms come sorted by key, so only the ids of one key and the headwords need sorting and one
// merge puts them together; the byte order of UTF-8 differs from that of UTF-16 only past the
// surrogates, and a list that is not in order after all is sorted whole.
// stillWanted is asked while millions of rows are sorted, and throws to stop.
std::vector<FormRow> formRows(const std::vector<ThesaurusEntry>& entries,
                              const std::vector<InflectedForm>& forms,
                              const std::function<void()>& stillWanted) {
    std::vector<FormRow> rows;
    rows.reserve(entries.size() + forms.size());
    QHash<QString, QList<sqlite3_int64>> idsByKey;
    sqlite3_int64 id = 0;
    for (const ThesaurusEntry& entry : entries)
        idsByKey[WordKey(entry.headword)] << ++id;
    // A base is the key of one headword or a few: its ids are looked up once.
    QHash<QString, QList<sqlite3_int64>> idsByBase;
    const QString* lastKey = nullptr;
    size_t runStart = 0;
    const auto endRun = [&] {
        std::sort(rows.begin() + qsizetype(runStart), rows.end());
        runStart = rows.size();
    };
    for (const InflectedForm& form : forms) {
        if (!lastKey || *lastKey != form.key)
            endRun();
        lastKey = &form.key;
        auto ids = idsByBase.constFind(form.baseKey);
        if (ids == idsByBase.cend())
            ids = idsByBase.insert(form.baseKey, idsByKey.value(WordKey(form.baseKey)));
        if (ids->isEmpty())
            continue;
        const QByteArray key = WordKey(form.key).toUtf8();
        for (sqlite3_int64 baseId : *ids)
            rows.push_back(FormRow{key, baseId, false, form.prefixes, form.how});
    }
    endRun();
    const qsizetype formCount = qsizetype(rows.size());
    for (auto at = idsByKey.cbegin(); at != idsByKey.cend(); ++at) {
        const QByteArray key = at.key().toUtf8();
        for (sqlite3_int64 headwordId : at.value())
            rows.push_back(FormRow{key, headwordId});
    }
    quint32 compared = 0;
    const auto order = [&](const FormRow& a, const FormRow& b) {
        if (++compared % kComparisonsPerCheck == 0 && stillWanted)
            stillWanted();
        return a < b;
    };
    std::sort(rows.begin() + formCount, rows.end(), order);
    if (std::is_sorted(rows.begin(), rows.begin() + formCount))
        std::inplace_merge(rows.begin(), rows.begin() + formCount, rows.end(), order);
    else
        std::sort(rows.begin(), rows.end(), order);
    // A headword's own row and its marks (InflectedForm) are one row.
    size_t kept = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (kept > 0 && rows[kept - 1] == rows[i]) {
            rows[kept - 1].prefixes |= rows[i].prefixes;
            rows[kept - 1].how = std::max(rows[kept - 1].how, rows[i].how);
        } else
            rows[kept++] = std::move(rows[i]);
    }
    rows.resize(kept);
    for (size_t i = 1; i < rows.size(); ++i)
        rows[i].later = rows[i].key == rows[i - 1].key;
    return rows;
}

// Anything SQLite left beside the file it was filling, were it to journal after all.
void removeJournal(const QByteArray& fileName) {
    if (!fileName.isEmpty())
        ::unlink((fileName + "-journal").constData());
}

// The parts of speech, relations and notes of the synonyms are shared copies of a few texts:
// each copy is converted to UTF-8 once, not once a row, and its rows are counted.
class LabelTexts {
  public:
    const QByteArray& utf8(const QString& label) {
        auto at = byData_.find({label.constData(), label.size()});
        if (at == byData_.end())
            at = byData_.insert({label.constData(), label.size()}, {label, label.toUtf8(), 0});
        ++at->rows;
        return at->utf8;
    }

    template <typename Counts> void addRows(Counts& counts) const {
        for (const Label& label : byData_)
            counts[label.text] += label.rows;
    }

  private:
    struct Label {
        QString text; // keeps the data its key points to
        QByteArray utf8;
        qint64 rows;
    };
    QHash<std::pair<const QChar*, qsizetype>, Label> byData_;
};

class Writer {
  public:
    // fileName: the file to fill, in the system's bytes, as SQLite takes it.
    Writer(const QString& outPath, const QByteArray& fileName) : outPath_(outPath) {
        const int rc = sqlite3_open_v2(fileName.constData(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            // The handle exists even when opening fails and still carries the message.
            const QString message = db_ ? errorMessage() : QString::fromUtf8(sqlite3_errstr(rc));
            // The destructor does not run for a constructor that throws.
            sqlite3_close(db_);
            db_ = nullptr;
            fail(QStringLiteral("cannot create %1: %2").arg(NameFromNative(fileName), message));
        }
    }

    ~Writer() {
        finalize();
        sqlite3_close(db_);
    }

    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void begin() {
        // Nothing reads the file until it is published, which syncs it once, and a failure
        // throws the whole file away, so rollback journalling and fsyncs would only cost time.
        exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;");
        exec(QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2;")
                 .arg(kApplicationId)
                 .arg(kSchemaVersion)
                 .toUtf8()
                 .constData());
        exec("BEGIN");
        exec(kSchema);
    }

    // The tables of the entries alone (headword, synonym, kinds). Reports no progress, as it
    // runs beside the search for forms, which does; stop ends it between two entries.
    void writeEntries(const std::vector<ThesaurusEntry>& entries, const std::atomic<bool>& stop) {
        headwordInsert_ = prepare("INSERT INTO headword (id, word) VALUES (?1, ?2)");
        synonymInsert_ =
            prepare("INSERT INTO synonym (headword_id, seq, synonym, pos, relation, sense, note, "
                    "listed) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        LabelTexts partsOfSpeech, relations, notes;
        sqlite3_int64 id = 0;
        for (const ThesaurusEntry& entry : entries) {
            ++id;
            if (stop.load(std::memory_order_relaxed))
                return;
            // Checked here rather than up front so that this, like any other mid-write
            // failure, goes through the same clean-up path.
            if (entry.headword.isEmpty())
                fail(QStringLiteral("entry %1 has an empty headword").arg(id));
            bindId(headwordInsert_, 1, id);
            bindText(headwordInsert_, 2, entry.headword);
            step(headwordInsert_);
            sqlite3_int64 seq = 0;
            for (const ThesaurusSynonym& synonym : entry.synonyms) {
                bindId(synonymInsert_, 1, id);
                bindId(synonymInsert_, 2, ++seq);
                bindText(synonymInsert_, 3, synonym.text);
                bindUtf8(synonymInsert_, 4, partsOfSpeech.utf8(synonym.partOfSpeech));
                bindUtf8(synonymInsert_, 5, relations.utf8(synonym.relation));
                bindId(synonymInsert_, 6, synonym.sense);
                bindUtf8(synonymInsert_, 7, notes.utf8(synonym.note));
                bindId(synonymInsert_, 8, synonym.listed);
                step(synonymInsert_);
            }
        }
        report_.headwords = id;
        QHash<QString, qint64> pairsPerPos;
        partsOfSpeech.addRows(pairsPerPos);
        relations.addRows(report_.pairsPerRelation);
        writeKinds(pairsPerPos, report_.pairsPerRelation);
    }

    ImportReport writeForms(const std::vector<ThesaurusEntry>& entries,
                            const InflectedForms& inflected, const StepProgress& progress) {
        const std::vector<InflectedForm>& forms = inflected.forms;
        ImportReport report = std::move(report_);
        report.notes = inflected.notes;
        if (progress) {
            progress_ = &progress;
            sqlite3_progress_handler(db_, kSqliteStepsPerCheck, &Writer::stillWanted, this);
        }
        std::function<void()> stillWantedWhileSorting;
        if (progress)
            stillWantedWhileSorting = [&] { progress(0, 1); };
        const std::vector<FormRow> rows = formRows(entries, forms, stillWantedWhileSorting);
        const qint64 total = qint64(rows.size());
        total_ = total;
        formInsert_ = prepare(
            "INSERT INTO form (key, headword_id, later, prefixes, how) VALUES (?1, ?2, ?3, ?4, ?5)");
        qint64 done = 0;
        for (const FormRow& row : rows) {
            if (progress && ++done % 4096 == 0)
                progress(done_ = done, total);
            bindUtf8(formInsert_, 1, row.key);
            bindId(formInsert_, 2, row.headwordId);
            bindId(formInsert_, 3, row.later);
            bindId(formInsert_, 4, sqlite3_int64(row.prefixes));
            bindId(formInsert_, 5, row.how);
            step(formInsert_);
        }
        writeHows(inflected.hows);
        writePrefixes(inflected.leads);
        writeRepeated(entries, rows);
        // A form with two roots is one word the database answers; a headword's marks are none.
        const QString* counted = nullptr;
        for (const InflectedForm& form : forms) {
            if (form.key != form.baseKey && (!counted || *counted != form.key)) {
                ++report.forms;
                counted = &form.key;
            }
        }
        finalize();
        exec("COMMIT");
        // In-order inserts leave B-tree pages partly empty; repacking them trims about a tenth
        // off the file for a fraction of a second.
        exec("VACUUM");
        return report;
    }

    // Closed before the file is published: it is copied or renamed complete, and closing
    // another descriptor of it later would drop SQLite's locks under it.
    void close() {
        finalize();
        const int rc = sqlite3_close(db_);
        if (rc != SQLITE_OK)
            fail(QStringLiteral("cannot close the database: %1").arg(errorMessage()));
        db_ = nullptr;
    }

  private:
    // SQLite's progress handler: the step's own report, whose ImportCancelled cannot cross
    // SQLite's C frames. It is kept, SQLite stops with SQLITE_INTERRUPT, and fail() throws
    // it in place of the interruption's message.
    static int stillWanted(void* self) {
        auto* writer = static_cast<Writer*>(self);
        try {
            (*writer->progress_)(writer->done_, writer->total_);
            return 0;
        } catch (...) {
            writer->stopped_ = std::current_exception();
            return 1;
        }
    }

    [[noreturn]] void fail(const QString& problem) const {
        if (stopped_)
            std::rethrow_exception(stopped_);
        throw ThesaurusError(outPath_, 0, problem);
    }

    void writeKinds(const QHash<QString, qint64>& pairsPerPos,
                    const std::map<QString, qint64>& pairsPerRelation) {
        std::map<QString, qint64> posWords;
        for (auto at = pairsPerPos.constBegin(); at != pairsPerPos.constEnd(); ++at)
            for (const QString& word : at.key().split(u' ', Qt::SkipEmptyParts))
                posWords[word] += at.value();
        const ThesaurusLabels& vocabulary = ThesaurusLabels::builtIn(QString());
        for (const QString& value : vocabulary.values(LabelMeaning::PartOfSpeech))
            posWords.try_emplace(value, 0);
        std::map<QString, qint64> relations = pairsPerRelation;
        for (const QString& value : vocabulary.values(LabelMeaning::Relation))
            relations.try_emplace(value, 0);

        sqlite3_stmt* insert =
            prepare("INSERT INTO kinds (field, value, pairs) VALUES (?1, ?2, ?3)");
        kindsInsert_ = insert;
        const auto writeAll = [&](const QString& field, const std::map<QString, qint64>& counts) {
            for (const auto& [value, pairs] : counts) {
                bindText(insert, 1, field);
                bindText(insert, 2, value);
                bindId(insert, 3, pairs);
                step(insert);
            }
        };
        writeAll(QStringLiteral("pos"), posWords);
        writeAll(QStringLiteral("relation"), relations);
    }

    void writeHows(const std::vector<FormHow>& hows) {
        howInsert_ = prepare("INSERT INTO how (id, flag, strip, append, condition, slot, pos) "
                             "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        sqlite3_int64 id = 0;
        for (const FormHow& how : hows) {
            bindId(howInsert_, 1, ++id);
            int field = 1;
            for (const QString* text :
                 {&how.flag, &how.strip, &how.append, &how.condition, &how.slot, &how.pos})
                bindText(howInsert_, ++field, *text);
            step(howInsert_);
        }
    }

    // A text is given under a key by its first headword there; the later ones repeat it, as a
    // synonym or as a stand-in term alike (a stand-in never hides a synonym). Texts are told
    // apart as the database stores them, in UTF-8.
    void writeRepeated(const std::vector<ThesaurusEntry>& entries,
                       const std::vector<FormRow>& rows) {
        repeatedInsert_ =
            prepare("INSERT INTO repeated (key, headword_id, seq) VALUES (?1, ?2, ?3)");
        QHash<std::pair<QByteArray, int>, sqlite3_int64> firstGiver;
        quint32 groups = 0;
        for (size_t start = 0, end = 0; start < rows.size(); start = end) {
            for (end = start + 1; end < rows.size() && rows[end].later; ++end) {
            }
            if (end - start < 2)
                continue;
            if (progress_ && ++groups % 256 == 0)
                (*progress_)(done_, total_);
            firstGiver.clear();
            const QByteArray& key = rows[start].key;
            for (size_t at = start; at < end; ++at) {
                const sqlite3_int64 id = rows[at].headwordId;
                const std::vector<ThesaurusSynonym>& synonyms = entries[size_t(id - 1)].synonyms;
                for (size_t seq = 0; seq < synonyms.size(); ++seq) {
                    if (synonyms[seq].listed == kNotListed)
                        continue;
                    const std::pair<QByteArray, int> given{synonyms[seq].text.toUtf8(),
                                                           synonyms[seq].listed};
                    const auto first = firstGiver.constFind(given);
                    if (first == firstGiver.cend()) {
                        firstGiver.insert(given, id);
                        continue;
                    }
                    if (*first == id)
                        continue;
                    bindUtf8(repeatedInsert_, 1, key);
                    bindId(repeatedInsert_, 2, id);
                    bindId(repeatedInsert_, 3, sqlite3_int64(seq + 1));
                    step(repeatedInsert_);
                }
            }
        }
    }

    void writePrefixes(const std::vector<FormLead>& leads) {
        prefixInsert_ = prepare("INSERT INTO prefix (text, bits) VALUES (?1, ?2)");
        for (const FormLead& lead : leads) {
            bindText(prefixInsert_, 1, lead.text);
            bindId(prefixInsert_, 2, sqlite3_int64(lead.bits));
            step(prefixInsert_);
        }
    }


    // SQLite's words, with the system's reason when a system call failed: "disk I/O error"
    // alone does not say that the file grew past a limit or the disk failed. The file's own
    // last errno is kept by SQLite when the call fails; errno itself may have changed since.
    QString errorMessage() const {
        return withSystemReason(QString::fromUtf8(sqlite3_errmsg(db_)));
    }

    QString withSystemReason(const QString& message) const {
        const int code = sqlite3_errcode(db_) & 0xff;
        if (code != SQLITE_IOERR && code != SQLITE_CANTOPEN)
            return message;
        int error = 0;
        if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_LAST_ERRNO, &error) != SQLITE_OK ||
            error == 0)
            error = sqlite3_system_errno(db_);
        return error == 0 ? message
                          : QStringLiteral("%1 (%2)").arg(message, SystemErrorText(error));
    }

    void exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const QString message =
                error ? withSystemReason(QString::fromUtf8(error)) : errorMessage();
            sqlite3_free(error);
            fail(message);
        }
    }

    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK)
            fail(errorMessage());
        return statement;
    }

    void bindId(sqlite3_stmt* statement, int index, sqlite3_int64 value) {
        if (sqlite3_bind_int64(statement, index, value) != SQLITE_OK)
            fail(errorMessage());
    }

    // UTF-16 straight from the QString saves a UTF-8 copy of every term; SQLite converts it
    // during step(). SQLITE_STATIC is safe because the entries outlive the statements.
    void bindText(sqlite3_stmt* statement, int index, const QString& value) {
        // As UTF-8: SQLite takes a UTF-16 text's leading U+FEFF for a byte-order mark and drops
        // it, and "\uFEFFverb" would then be filed as "verb".
        const QByteArray utf8 = value.toUtf8();
        if (sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()),
                              SQLITE_TRANSIENT) != SQLITE_OK)
            fail(errorMessage());
    }

    // text outlives the statement's use of it.
    void bindUtf8(sqlite3_stmt* statement, int index, const QByteArray& text) {
        if (sqlite3_bind_text(statement, index, text.constData(), int(text.size()),
                              SQLITE_STATIC) != SQLITE_OK)
            fail(errorMessage());
    }

    void step(sqlite3_stmt* statement) {
        if (sqlite3_step(statement) != SQLITE_DONE)
            fail(errorMessage());
        if (sqlite3_reset(statement) != SQLITE_OK)
            fail(errorMessage());
    }

    void finalize() {
        sqlite3_finalize(headwordInsert_);
        sqlite3_finalize(synonymInsert_);
        sqlite3_finalize(formInsert_);
        sqlite3_finalize(kindsInsert_);
        sqlite3_finalize(prefixInsert_);
        sqlite3_finalize(howInsert_);
        howInsert_ = nullptr;
        sqlite3_finalize(repeatedInsert_);
        repeatedInsert_ = nullptr;
        kindsInsert_ = nullptr;
        prefixInsert_ = nullptr;
        headwordInsert_ = nullptr;
        synonymInsert_ = nullptr;
        formInsert_ = nullptr;
    }

    QString outPath_;
    sqlite3* db_ = nullptr;
    const StepProgress* progress_ = nullptr;
    qint64 done_ = 0;
    qint64 total_ = 1;
    std::exception_ptr stopped_;
    sqlite3_stmt* headwordInsert_ = nullptr;
    sqlite3_stmt* synonymInsert_ = nullptr;
    sqlite3_stmt* formInsert_ = nullptr;
    sqlite3_stmt* kindsInsert_ = nullptr;
    sqlite3_stmt* prefixInsert_ = nullptr;
    sqlite3_stmt* howInsert_ = nullptr;
    sqlite3_stmt* repeatedInsert_ = nullptr;
    ImportReport report_;
};

} // namespace

ImportReport WriteSynonymDatabase(const std::vector<ThesaurusEntry>& entries,
                                  const QString& outPath, const FindForms& findForms,
                                  const StepProgress& progress, FileOwner owner) {
    // Published as every file the program writes: SQLite fills a file of its own, which takes
    // the target's place only once complete, and is gone after a failure. Each build has its
    // own file, so two builds of one database, even on threads of one program, never meet.
    ExportFile file(outPath, owner);
    const auto publishing = [&](auto&& step) {
        try {
            step();
        } catch (const AppError& error) {
            throw ThesaurusError(outPath, 0, error.description());
        }
    };
    QByteArray fileName;
    publishing([&] { fileName = file.openByName(); });
    try {
        ImportReport report;
        {
            Writer writer(outPath, fileName);
            writer.begin();
            // The entries' tables need no forms: they are written on the second core while
            // the forms are found.
            std::atomic<bool> stop = false;
            std::exception_ptr failed;
            std::thread entriesWriter([&] {
                try {
                    writer.writeEntries(entries, stop);
                } catch (...) {
                    failed = std::current_exception();
                }
            });
            const InflectedForms* forms = nullptr;
            try {
                forms = &findForms();
            } catch (...) {
                stop = true;
                entriesWriter.join();
                throw;
            }
            entriesWriter.join();
            if (failed)
                std::rethrow_exception(failed);
            report = writer.writeForms(entries, *forms, progress);
            writer.close();
        }
        publishing([&] { file.commit(); });
        return report;
    } catch (...) {
        removeJournal(fileName);
        throw;
    }
}

ImportReport WriteSynonymDatabase(const std::vector<ThesaurusEntry>& entries,
                                  const QString& outPath, const InflectedForms& forms,
                                  const StepProgress& progress, FileOwner owner) {
    return WriteSynonymDatabase(
        entries, outPath, [&]() -> const InflectedForms& { return forms; }, progress, owner);
}
