#include "BatchLookup.h"

#include "AppError.h"
#include "CommandLine.h"
#include "DbConnection.h"
#include "FileSystem.h"
#include "ReadLock.h"
#include "RecordSet.h"
#include "ResultFormatter.h"
#include "ResultSink.h"
#include "SynonymQuery.h"
#include "WordStream.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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

// Which pairs --pos and --relation keep. The values are the database's own,
// so each given value is checked against those it holds.
class MeaningFilter {
  public:
    MeaningFilter(const CommandLine& command, DbConnection& db) {
        if (command.partsOfSpeech.isEmpty() && command.relations.isEmpty())
            return;
        QStringList knownPos, knownRelations;
        RecordSet rs;
        rs.Open(QStringLiteral("select distinct pos, relation from qrySynonyms"), db,
                RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
        for (; !rs.Eof(); rs.MoveNext()) {
            knownPos << rs.Field(QStringLiteral("pos"));
            knownRelations << rs.Field(QStringLiteral("relation"));
        }
        pos_ = chosen(command.partsOfSpeech, knownPos, "--pos", "part of speech");
        relations_ = chosen(command.relations, knownRelations, "--relation", "relation");
    }

    bool active() const { return !pos_.isEmpty() || !relations_.isEmpty(); }

    bool keeps(QByteArrayView pos, QByteArrayView relation) const {
        return (pos_.isEmpty() || pos_.contains(pos)) &&
               (relations_.isEmpty() || relations_.contains(relation));
    }

  private:
    static QList<QByteArray> chosen(const QStringList& given, QStringList known, const char* option,
                                    const char* kind) {
        known.removeDuplicates();
        known.sort();
        QList<QByteArray> values;
        for (const QString& value : given) {
            if (!known.contains(value))
                throw UnknownKind{QStringLiteral("%1: this database holds no %2 '%3'; it holds: %4")
                                      .arg(QLatin1StringView(option), QLatin1StringView(kind),
                                           value, known.join(QStringLiteral(", ")))};
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
        : db_(db), database_(database), formatter_(formatter), filter_(command, db),
          // Rows and the window's formats need the meaning only to filter by it.
          meaning_(filter_.active() || command.format == CommandLine::Table ||
                   command.format == CommandLine::JsonLines) {}

    void operator()(const QString& word) {
        formatter_.startWord(word);
        // The query would end at a NUL, and the database holds no unpaired
        // surrogate: such a word is not there, as the window says too.
        const bool found = !word.contains(QChar(0)) && word.isValidUtf16() && pairs(word);
        if (!found)
            formatter_.notFound();
    }

  private:
    bool pairs(const QString& word) {
        bool found = false;
        try {
            rs_.Open(SynonymQueryText(QuoteSqlText(word)), db_, RecordSet::adOpenStatic,
                     RecordSet::adLockReadOnly);
            for (; !rs_.Eof(); rs_.MoveNext()) {
                const QByteArrayView pos = meaning_ ? rs_.FieldUtf8(posField_) : QByteArrayView();
                const QByteArrayView relation =
                    meaning_ ? rs_.FieldUtf8(relationField_) : QByteArrayView();
                if (!filter_.keeps(pos, relation))
                    continue;
                formatter_.pair(rs_.FieldUtf8(synonymField_), pos, relation);
                found = true;
            }
            rs_.Close();
        } catch (const AppError& error) {
            // Damaged, or replaced by another file, since the start.
            throw databaseProblem(database_, error.description());
        }
        return found;
    }

    DbConnection& db_;
    const QString& database_;
    ResultFormatter& formatter_;
    const MeaningFilter filter_;
    const bool meaning_;
    RecordSet rs_;
    const QString synonymField_ = QStringLiteral("synonym");
    const QString posField_ = QStringLiteral("pos");
    const QString relationField_ = QStringLiteral("relation");
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
        QString word;
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
                lookUp(word);
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
        break;
    case CommandLine::StartWindow:
        return 2; // the window is main()'s to start
    }
    // Core only: no platform plugin is loaded, so no display is needed.
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv);
    return RunBatchLookup(command, QCoreApplication::applicationDirPath());
}
