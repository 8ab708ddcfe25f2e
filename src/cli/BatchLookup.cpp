#include "BatchLookup.h"

#include "AppError.h"
#include "CommandLine.h"
#include "DatabaseFormat.h"
#include "DbConnection.h"
#include "FileSystem.h"
#include "Languages.h"
#include "ReadLock.h"
#include "RecordSet.h"
#include "ResultFormatter.h"
#include "ResultSink.h"
#include "SynonymQuery.h"
#include "WordStream.h"
#include "Workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr qint64 kProgressEveryMs = 250;
// Words looked up under one read lock before a waiting writer is let in:
// a few milliseconds, and the lock costs a query's worth of system calls.
constexpr int kWordsPerLock = 4096;

void tell(const QString& text) {
    std::fputs(NativeName(text).constData(), stderr);
    std::fflush(stderr);
}

QString shownName(const QString& file) {
    return file == u'-' ? QStringLiteral("standard input") : QDir::toNativeSeparators(file);
}

[[noreturn]] void cannotRead(const QString& name, int error) {
    throw AppError(
        QStringLiteral("Cannot read %1: %2").arg(shownName(name), qt_error_string(error)));
}

// A word file, open from the start of the run: every file named is known to
// be there and readable before the first word is looked up.
struct WordFile {
    QString name;
    int fd = -1;
};

WordFile openWordFile(const QString& name) {
    if (name == u'-') {
        const int mode = ::fcntl(STDIN_FILENO, F_GETFL);
        if (mode < 0 || (mode & O_ACCMODE) == O_WRONLY)
            cannotRead(name, EBADF);
        return {name, STDIN_FILENO};
    }
    // Without waiting for a pipe's writer: that is waited for in its turn.
    const int fd = ::open(NativeName(name).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0)
        cannotRead(name, errno);
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        cannotRead(name, EISDIR);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return {name, fd};
}

// A named pipe nobody has written to yet is opened again, now waiting for
// its writer as cat would; one already written to keeps what it holds.
void beginReading(WordFile& file) {
    struct stat info;
    if (file.fd == STDIN_FILENO || ::fstat(file.fd, &info) != 0 || !S_ISFIFO(info.st_mode))
        return;
    pollfd ready{file.fd, POLLIN, 0};
    if (::poll(&ready, 1, 0) != 0)
        return;
    const int again = ::open(NativeName(file.name).constData(), O_RDONLY | O_CLOEXEC);
    if (again < 0)
        cannotRead(file.name, errno);
    ::close(file.fd);
    file.fd = again;
}

class WordFiles {
  public:
    explicit WordFiles(const QStringList& names) {
        for (const QString& name : names)
            files_.push_back(openWordFile(name));
    }
    ~WordFiles() {
        for (const WordFile& file : files_)
            if (file.fd != STDIN_FILENO)
                ::close(file.fd);
    }
    WordFiles(const WordFiles&) = delete;
    WordFiles& operator=(const WordFiles&) = delete;
    std::vector<WordFile>& all() { return files_; }

  private:
    std::vector<WordFile> files_;
};

// Results written over a word file or the database would destroy what is
// being read: refused before anything is read or written.
void refuseOutputOverInput(const ResultSink& sink, WordFiles& files, const QString& database) {
    const std::optional<FileIdentity> output = sink.identity();
    if (!output)
        return;
    const QString refused =
        QStringLiteral("Cannot write the results to %1: it is %2 itself; nothing was written.");
    for (const WordFile& file : files.all())
        if (IdentityOf(file.fd) == output)
            throw AppError(
                refused.arg(sink.name(), QStringLiteral("the word file ") + shownName(file.name)));
    if (IdentityOf(database) == output)
        throw AppError(refused.arg(sink.name(), QStringLiteral("the synonym database ") +
                                                    QDir::toNativeSeparators(database)));
}

AppError databaseProblem(const QString& database, const QString& problem) {
    return AppError(QStringLiteral("Cannot look up words in %1: %2")
                        .arg(QDir::toNativeSeparators(database), problem));
}

// Told at the start, before any output, rather than at the first word.
void requireSynonymView(DbConnection& db, const QString& database) {
    RecordSet rs;
    try {
        rs.Open(QStringLiteral("select word, synonym, pos, relation from qrySynonyms where 0"), db,
                RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
    } catch (const AppError& error) {
        throw databaseProblem(
            database, QStringLiteral("it is not a synonym database: it needs a view qrySynonyms "
                                     "with the fields word, synonym, pos and relation (%1).")
                          .arg(error.description()));
    }
}

// Words done, and how fast, rewritten in place on a terminal.
class Progress {
  public:
    explicit Progress(bool shown) : shown_(shown) { clock_.start(); }
    void update(qsizetype done, bool last = false) {
        if (!shown_ || (!last && clock_.elapsed() < next_))
            return;
        next_ = clock_.elapsed() + kProgressEveryMs;
        const double seconds = std::max(clock_.elapsed(), qint64(1)) / 1000.0;
        std::fprintf(stderr, "\r%lld words, %.0f words/s%s", (long long)done, done / seconds,
                     last ? "\n" : "");
        std::fflush(stderr);
    }

  private:
    bool shown_;
    QElapsedTimer clock_;
    qint64 next_ = kProgressEveryMs;
};

// A value of --pos or --relation that the database does not hold.
struct UnknownKind {
    QString text;
};

// Files made before meanings were kept have no qryRelations; their one view still answers.
bool holdsRelations(DbConnection& db) {
    RecordSet rs;
    rs.Open(QStringLiteral("select count(*) as n from sqlite_master where name = 'qryRelations'"),
            db, RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
    return rs.Field(QStringLiteral("n")) != u'0';
}

// Which (synonym, meaning) pairs --pos and --relation keep. The values are the database's own,
// so each given value is checked against those it holds. A combined part of speech ("adj
// noun", from French "Adjectif Nom") is kept for each of its words. Without --relation only
// the synonym kinds are kept: an antonym is shown only when asked for.
class MeaningFilter {
  public:
    MeaningFilter(const CommandLine& command, DbConnection& db, const QString& view) {
        if (command.partsOfSpeech.isEmpty() && command.relations.isEmpty())
            return;
        QStringList knownPos, knownRelations;
        RecordSet rs;
        rs.Open(QStringLiteral("select distinct pos, relation from ") + view, db,
                RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
        for (; !rs.Eof(); rs.MoveNext()) {
            knownPos << rs.Field(QStringLiteral("pos")).split(u' ', Qt::SkipEmptyParts);
            knownRelations << rs.Field(QStringLiteral("relation"));
        }
        pos_ = chosen(command.partsOfSpeech, knownPos, "--pos", "part of speech");
        relations_ = chosen(command.relations, knownRelations, "--relation", "relation");
    }

    bool active() const { return !pos_.isEmpty() || !relations_.isEmpty(); }

    bool keeps(QByteArrayView pos, QByteArrayView relation) const {
        const bool posKept =
            pos_.isEmpty() || std::any_of(pos_.begin(), pos_.end(), [&](const QByteArray& kept) {
                return hasWord(pos, kept);
            });
        return posKept &&
               (relations_.isEmpty() ? IsSynonymKind(relation) : relations_.contains(relation));
    }

  private:
    static bool hasWord(QByteArrayView words, QByteArrayView word) {
        for (qsizetype at = words.indexOf(word); at >= 0; at = words.indexOf(word, at + 1)) {
            const qsizetype end = at + word.size();
            if ((at == 0 || words[at - 1] == ' ') && (end == words.size() || words[end] == ' '))
                return true;
        }
        return false;
    }

    // A thesaurus may hold many labels no table maps; the first few tell the user enough.
    static constexpr qsizetype kListedValues = 20;

    static QList<QByteArray> chosen(const QStringList& given, QStringList known, const char* option,
                                    const char* kind) {
        known.removeDuplicates();
        // The common vocabulary first, in its own order, then the labels kept as written.
        static const QStringList common = {
            QStringLiteral("noun"),         QStringLiteral("adj"),
            QStringLiteral("verb"),         QStringLiteral("adv"),
            QStringLiteral("synonym"),      QStringLiteral("similar term"),
            QStringLiteral("related term"), QStringLiteral("antonym"),
            QStringLiteral("generic term"), QStringLiteral("narrower term")};
        std::sort(known.begin(), known.end(), [](const QString& a, const QString& b) {
            const qsizetype rankA = common.indexOf(a), rankB = common.indexOf(b);
            if (rankA >= 0 || rankB >= 0)
                return rankA >= 0 && (rankB < 0 || rankA < rankB);
            return a < b;
        });
        QString listed = known.mid(0, kListedValues).join(QStringLiteral(", "));
        if (known.size() > kListedValues)
            listed += QStringLiteral(" and %1 more").arg(known.size() - kListedValues);
        QList<QByteArray> values;
        for (const QString& value : given) {
            if (!known.contains(value))
                throw UnknownKind{
                    QStringLiteral("%1: this database holds no %2 '%3'; it holds: %4")
                        .arg(QLatin1StringView(option), QLatin1StringView(kind), value, listed)};
            values << value.toUtf8();
        }
        return values;
    }

    QList<QByteArray> pos_, relations_;
};
} // namespace

namespace {
// One word's rows, or its not-found row.
class WordLookup {
  public:
    WordLookup(const CommandLine& command, DbConnection& db, const QString& database,
               ResultFormatter& formatter)
        : db_(db), database_(database), formatter_(formatter),
          // table, jsonl and xlsx give every meaning; rows and the window's
          // formats give each synonym once and need the meanings only to
          // filter by them.
          records_(command.format == OutputFormat::Table ||
                   command.format == OutputFormat::JsonLines || command.format == OutputFormat::Xlsx),
          relations_(
              (records_ || !command.partsOfSpeech.isEmpty() || !command.relations.isEmpty()) &&
              holdsRelations(db)),
          filter_(command, db,
                  relations_ ? QStringLiteral("qryRelations") : QStringLiteral("qrySynonyms")),
          meaning_(filter_.active() || records_) {}

    void operator()(const QString& word) {
        formatter_.startWord(word);
        const bool found = CanBeLookedUp(word) && pairs(word);
        if (!found)
            formatter_.notFound();
    }

  private:
    bool pairs(const QString& word) {
        bool found = false;
        // A failure to write the results is not the database's.
        bool writing = false;
        try {
            const QString quoted = QuoteSqlText(word);
            rs_.Open(relations_ ? RelationQueryText(quoted) : SynonymQueryText(quoted), db_,
                     RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
            shown_.clear();
            for (; !rs_.Eof(); rs_.MoveNext()) {
                const QByteArrayView pos = meaning_ ? rs_.FieldUtf8(posField_) : QByteArrayView();
                const QByteArrayView relation =
                    meaning_ ? rs_.FieldUtf8(relationField_) : QByteArrayView();
                if (meaning_ && !filter_.keeps(pos, relation))
                    continue;
                const QByteArrayView synonym = rs_.FieldUtf8(synonymField_);
                // The meanings view lists a synonym once per meaning; the
                // row formats give it once, as qrySynonyms does.
                if (relations_ && !records_) {
                    const QByteArray text = synonym.toByteArray();
                    if (shown_.contains(text))
                        continue;
                    shown_.insert(text);
                }
                const bool withMeaning = relations_ && records_;
                const QByteArrayView sense =
                    withMeaning ? rs_.FieldUtf8(senseField_) : QByteArrayView();
                const QByteArrayView note =
                    withMeaning ? rs_.FieldUtf8(noteField_) : QByteArrayView();
                writing = true;
                formatter_.pair(synonym, pos, relation, sense, note);
                writing = false;
                found = true;
            }
            rs_.Close();
        } catch (const AppError& error) {
            if (writing)
                throw;
            // Damaged, or replaced by another file, since the start.
            throw databaseProblem(database_, error.description());
        }
        return found;
    }

    DbConnection& db_;
    const QString& database_;
    ResultFormatter& formatter_;
    const bool records_;
    const bool relations_;
    const MeaningFilter filter_;
    const bool meaning_;
    RecordSet rs_;
    QSet<QByteArray> shown_;
    const QString synonymField_ = QStringLiteral("synonym");
    const QString posField_ = QStringLiteral("pos");
    const QString relationField_ = QStringLiteral("relation");
    const QString senseField_ = QStringLiteral("sense");
    const QString noteField_ = QStringLiteral("note");
};

// Failures are told on standard error; a reader of standard output that
// has gone ends the program as SIGPIPE would.
template <class Run> int reporting(Run&& run) {
    try {
        return run();
    } catch (const AppError& error) {
        tell(QStringLiteral("lexigrove: ") + error.description() + u'\n');
        return 1;
    } catch (const UnknownKind& unknown) {
        tell(QStringLiteral("lexigrove: ") + unknown.text + u'\n');
        return 2;
    } catch (const ClosedPipe&) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
        return 128 + SIGPIPE;
    }
}
} // namespace

int RunBatchLookup(const CommandLine& command, const QString& applicationFolder) {
    // A workbook is binary: on a terminal it would only garble the screen.
    if (command.format == OutputFormat::Xlsx && command.output.isEmpty() && isatty(STDOUT_FILENO)) {
        tell(QStringLiteral("lexigrove: --format xlsx writes a workbook, not text for a "
                            "terminal: give --output FILE or redirect standard output\n"));
        return 2;
    }
    return reporting([&] {
        ResultSink sink(command.output);
        WordFiles files(command.files);
        const QString database = command.database.isEmpty()
                                     ? DbConnection::DatabasePath(applicationFolder)
                                     : command.database;
        refuseOutputOverInput(sink, files, database);
        if (!DbConnection::DatabasePresent(database))
            throw AppError(QStringLiteral("Cannot open the synonym database %1: not found, or "
                                          "not a regular file.")
                               .arg(QDir::toNativeSeparators(database)));
        DbConnection db;
        db.Open(DbConnection::ConnectionString(database));
        requireSynonymView(db, database);

        ResultFormatter formatter(command.format, sink);
        WordLookup lookUp(command, db, database, formatter);
        sink.open();
        Progress progress(!command.quiet && isatty(STDERR_FILENO));
        ReadLock lock(db);
        qsizetype done = 0;
        int wordsInLock = 0;
        QByteArrayView word;
        for (WordFile& file : files.all()) {
            lock.release();
            beginReading(file);
            WordStream words(file.fd, shownName(file.name));
            for (WordStream::Next next; (next = words.next(word)) != WordStream::End;) {
                if (next == WordStream::Waiting) {
                    // Nothing is held while the input is idle, and all that
                    // is done so far is on its way.
                    lock.release();
                    wordsInLock = 0;
                    formatter.flush();
                    progress.update(done);
                    words.waitForInput();
                    continue;
                }
                if (wordsInLock == kWordsPerLock) {
                    lock.release();
                    wordsInLock = 0;
                }
                lock.hold();
                ++wordsInLock;
                try {
                    lookUp(WordFromUtf8(word));
                } catch (const FieldTooLong& tooLong) {
                    throw AppError(QStringLiteral("Cannot write line %1 of %2 to the workbook: %3.")
                                       .arg(words.line())
                                       .arg(shownName(file.name), tooLong.what));
                }
                progress.update(++done);
            }
        }
        lock.release();
        formatter.finish();
        sink.commit();
        progress.update(done, true);
        return 0;
    });
}

int RunCommandLine(const CommandLine& command, int& argc, char* argv[]) {
    switch (command.action) {
    case CommandLine::Print:
        return reporting([&] {
            ResultSink out{QString()};
            out.write(command.text);
            out.commit();
            return 0;
        });
    case CommandLine::UsageError:
        tell(command.text);
        return 2;
    case CommandLine::Lookup:
    case CommandLine::ListLanguages:
        break;
    case CommandLine::StartWindow:
        return 2; // the window is main()'s to start
    }
    // Core only: no platform plugin is loaded, so no display is needed.
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv);
    if (command.action == CommandLine::ListLanguages)
        return ListLanguages();
    CommandLine lookup = command;
    if (!command.language.isEmpty()) {
        int status = 0;
        lookup.database = LanguageDatabase(command.language, &status);
        if (lookup.database.isEmpty())
            return status;
    }
    return RunBatchLookup(lookup, QCoreApplication::applicationDirPath());
}
