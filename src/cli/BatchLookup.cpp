#include "BatchLookup.h"

#include "AppError.h"
#include "CommandLine.h"
#include "FileSystem.h"
#include "Languages.h"
#include "ReadLock.h"
#include "ResultFormatter.h"
#include "ResultSink.h"
#include "SynonymStore.h"
#include "WordStream.h"
#include "WordRecords.h"
#include "Workbook.h"

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

// One word's rows, or its not-found row.
class WordLookup {
  public:
    WordLookup(const CommandLine& command, SynonymStore& store, const QString& database,
               ResultFormatter& formatter)
        : database_(database), formatter_(formatter),
          // table, jsonl and xlsx give every meaning; rows and the window's
          // formats give each synonym once.
          records_(store,
                   command.format == OutputFormat::Table ||
                       command.format == OutputFormat::JsonLines ||
                       command.format == OutputFormat::Xlsx,
                   command.partsOfSpeech, command.relations) {}

    // A word the database cannot hold is not there, as the window says too.
    void operator()(QByteArrayView word) {
        formatter_.startWord(word);
        if (!CanBeLookedUp(word) || !pairs(word))
            formatter_.notFound();
    }

  private:
    bool pairs(QByteArrayView word) {
        bool found = false;
        // A failure to write the results is not the database's.
        bool writing = false;
        try {
            records_.start(word);
            for (SynonymRecord record; records_.next(record);) {
                writing = true;
                formatter_.pair(record.synonym, record.pos, record.relation, record.sense,
                                record.note);
                writing = false;
                found = true;
            }
        } catch (const AppError& error) {
            if (writing)
                throw;
            // Damaged, or replaced by another file, since the start.
            throw databaseProblem(database_, error.description());
        }
        return found;
    }

    const QString& database_;
    ResultFormatter& formatter_;
    WordRecords records_;
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
                                     ? SynonymStore::PathBeside(applicationFolder)
                                     : command.database;
        refuseOutputOverInput(sink, files, database);
        if (!SynonymStore::Present(database))
            throw AppError(QStringLiteral("Cannot open the synonym database %1: not found, or "
                                          "not a regular file.")
                               .arg(QDir::toNativeSeparators(database)));
        SynonymStore store;
        store.open(database);
        // Told at the start, before any output, rather than at the first word.
        try {
            store.requireSynonymView();
        } catch (const AppError& error) {
            throw databaseProblem(database, error.description());
        }

        ResultFormatter formatter(command.format, sink);
        WordLookup lookUp(command, store, database, formatter);
        sink.open();
        Progress progress(!command.quiet && isatty(STDERR_FILENO));
        ReadLock lock(store);
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
                    lookUp(word);
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
