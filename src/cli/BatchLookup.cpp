// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchLookup.h"

#include "AppError.h"
#include "CachedDatabase.h"
#include "CommandLine.h"
#include "FileSystem.h"
#include "Languages.h"
#include "Paths.h"
#include "ReadLock.h"
#include "ResultFormatter.h"
#include "ResultSink.h"
#include "ShellQuote.h"
#include "StatusLine.h"
#include "SynonymStore.h"
#include "WordRecords.h"
#include "WordStream.h"
#include "Workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr qint64 kProgressEveryMs = 250;

void tell(const QString& text) {
    std::fputs(NativeName(text).constData(), stderr);
    std::fflush(stderr);
}

QString shownName(const QString& file) {
    return file == u'-' ? QStringLiteral("standard input") : ShownText(file);
}

[[noreturn]] void cannotRead(const QString& name, int error) {
    throw AppError(
        QStringLiteral("Cannot read %1: %2").arg(shownName(name), SystemErrorText(error)));
}

// A word file, checked before the first word is looked up and opened only in
// its turn, so that any number of them fits under the open-file limit.
struct WordFile {
    QString name;
    std::optional<FileIdentity> identity; // a regular file's, for the output's check
    int fd = -1;                          // while it is read
};

// Every file named is known to be there and readable before the first word:
// a failure never comes after some of the results.
WordFile checkedWordFile(const QString& name) {
    if (name == u'-') {
        const int mode = ::fcntl(STDIN_FILENO, F_GETFL);
        if (mode < 0 || (mode & O_ACCMODE) == O_WRONLY)
            cannotRead(name, EBADF);
        return {name, IdentityOf(STDIN_FILENO)};
    }
    const QByteArray path = NativeName(name);
    struct stat info;
    if (::stat(path.constData(), &info) != 0)
        cannotRead(name, errno);
    if (S_ISDIR(info.st_mode))
        cannotRead(name, EISDIR);
    // Opening one says "No such device or address", which tells nothing of what to give.
    if (S_ISSOCK(info.st_mode))
        throw AppError(QStringLiteral("Cannot read %1: it is a socket, not a file; give a file, "
                                      "a pipe or - for standard input.")
                           .arg(shownName(name)));
    // A named pipe is not opened yet: that would let its writer go on, and
    // then lose what it wrote when closed. Its turn waits for it, as cat does.
    if (S_ISFIFO(info.st_mode)) {
        if (::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) != 0)
            cannotRead(name, errno);
    } else {
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            cannotRead(name, errno);
        ::close(fd);
    }
    return {name, IdentityOf(name)};
}

// The file's turn: open until the next one's.
void beginReading(WordFile& file) {
    if (file.name == u'-') {
        file.fd = STDIN_FILENO;
        return;
    }
    file.fd = ::open(NativeName(file.name).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    struct stat info;
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0)
        cannotRead(file.name, errno);
    if (S_ISDIR(info.st_mode))
        cannotRead(file.name, EISDIR);
}

class WordFiles {
  public:
    explicit WordFiles(const QStringList& names) {
        for (const QString& name : names)
            files_.push_back(checkedWordFile(name));
    }
    ~WordFiles() {
        for (WordFile& file : files_)
            endReading(file);
    }
    WordFiles(const WordFiles&) = delete;
    WordFiles& operator=(const WordFiles&) = delete;
    std::vector<WordFile>& all() { return files_; }
    static void endReading(WordFile& file) {
        if (file.fd >= 0 && file.fd != STDIN_FILENO)
            ::close(file.fd);
        file.fd = -1;
    }

  private:
    std::vector<WordFile> files_;
};

// What a lookup reads besides the word files: the database, and for
// --language the thesaurus and dictionary it is built from.
struct Sources {
    QString database;
    std::optional<InstalledThesaurus> thesaurus;
};

// Results written over anything the lookup reads would destroy it: refused
// before anything is read, built or written.
void refuseOutputOverInput(const ResultSink& sink, WordFiles& files, const Sources& sources) {
    const std::optional<FileIdentity> output = sink.identity();
    if (!output)
        return;
    const auto refuse = [&](const QString& what) {
        throw AppError(
            QStringLiteral("Cannot write the results to %1: it is %2 itself; nothing was written.")
                .arg(sink.name(), what));
    };
    for (const WordFile& file : files.all())
        if (file.identity == output)
            refuse(QStringLiteral("the word file ") + shownName(file.name));
    if (IdentityOf(sources.database) == output)
        refuse(QStringLiteral("the synonym database ") + ShownText(sources.database));
    if (!sources.thesaurus || sources.thesaurus->imported())
        return;
    if (const auto input =
            InputThatIs(*output, sources.thesaurus->thesaurusFile, FormsOf(*sources.thesaurus)))
        refuse(QStringLiteral("%1 %2").arg(input->kind >= ImportInput::Dictionary
                                               ? QStringLiteral("the dictionary")
                                               : QStringLiteral("the thesaurus"),
                                           input->path));
}

// Whether the results would land on a terminal: standard output, or a name for one.
bool outputIsTerminal(const QString& output) {
    if (output.isEmpty() || output == u'-')
        return isatty(STDOUT_FILENO);
    struct stat info;
    if (::stat(NativeName(output).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const int fd =
        ::open(NativeName(output).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool terminal = fd >= 0 && isatty(fd);
    if (fd >= 0)
        ::close(fd);
    return terminal;
}

AppError databaseProblem(const QString& database, const QString& problem) {
    return AppError(
        QStringLiteral("Cannot look up words in %1: %2").arg(ShownText(database), problem));
}

// Words done, and how fast, rewritten in place on a terminal.
class Progress {
  public:
    explicit Progress(bool wanted) : status_(wanted) { clock_.start(); }
    void update(qsizetype done, bool last = false) {
        if (!status_.shown() || (!last && clock_.elapsed() < next_))
            return;
        next_ = clock_.elapsed() + kProgressEveryMs;
        const double seconds = std::max(clock_.elapsed(), qint64(1)) / 1000.0;
        char text[64];
        std::snprintf(text, sizeof text, "%lld words, %.0f words/s", (long long)done,
                      done / seconds);
        status_.show(text);
        if (last)
            status_.end("\n");
    }
    void wipe() { status_.wipe(); }

  private:
    StatusLine status_;
    QElapsedTimer clock_;
    qint64 next_ = kProgressEveryMs;
};

// One word's rows, or its not-found row.
class WordLookup {
  public:
    WordLookup(const CommandLine& command, SynonymStore& store, const QString& database,
               ResultFormatter& formatter)
        : database_(database), formatter_(formatter), store_(store),
          // table, jsonl and xlsx give every meaning, each with the synonym's form in a field
          // of its own; rows and the window's formats give each synonym once, in the word's
          // form only under --inflect: a run without it never works one out.
          records_(store, recordsOfMeanings(command.format), command.partsOfSpeech,
                   command.relations),
          inflect_(command.inflect || recordsOfMeanings(command.format)) {}

    // A word the database cannot hold is not there, as the window says too.
    void operator()(QByteArrayView word) {
        formatter_.startWord(word);
        if (!CanBeLookedUp(word) || !pairs(word))
            formatter_.notFound();
    }

  private:
    static bool recordsOfMeanings(OutputFormat format) {
        return format == OutputFormat::Table || format == OutputFormat::JsonLines ||
               format == OutputFormat::Xlsx;
    }

    bool pairs(QByteArrayView word) {
        bool found = false;
        // A failure to write the results is not the database's.
        bool writing = false;
        try {
            records_.start(word);
            for (SynonymRecord record; records_.next(record);) {
                const QByteArray form =
                    inflect_ ? store_.inflected(word, record.synonym, record.pos) : QByteArray();
                writing = true;
                formatter_.pair(record.synonym, record.pos, record.relation, record.sense,
                                record.note, form);
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
    SynonymStore& store_;
    WordRecords records_;
    const bool inflect_;
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
        tell(QStringLiteral("lexigrove: ") + unknown.text + u'\n' + QLatin1StringView(kTryHelp));
        return 2;
    } catch (const NoSuchLanguage& unknown) {
        tell(QStringLiteral("lexigrove: ") + unknown.text + u'\n' + QLatin1StringView(kTryHelp));
        return 2;
    } catch (const ClosedPipe&) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
        return 128 + SIGPIPE;
    }
}

// As many files open as the system allows this process, as other filters do.
void raiseOpenFileLimit() {
    rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int lookUpAll(const CommandLine& command, const QString& applicationFolder) {
    ResultSink sink(command.output);
    Sources sources;
    if (!command.language.isEmpty()) {
        sources.thesaurus = ChosenThesaurus(command.language);
        sources.database = sources.thesaurus->database;
    } else {
        sources.database = command.database.isEmpty() ? DatabaseBesideApplication(applicationFolder)
                                                      : command.database;
    }
    WordFiles files(command.files);
    refuseOutputOverInput(sink, files, sources);
    // An output that cannot be written is told before minutes of building, too;
    // the old file stays until the end either way.
    sink.open();
    // Only now, when the run can go ahead, is a language's database built.
    const QString database = sources.thesaurus
                                 ? PreparedLanguageDatabase(*sources.thesaurus, command.quiet, tell)
                                 : sources.database;
    if (!SynonymStore::Present(database))
        throw AppError(QStringLiteral("Cannot open the synonym database %1: not found, or "
                                      "not a regular file.")
                           .arg(ShownText(database)));
    SynonymStore store;
    store.open(database);
    // Told at the start, before any output, rather than at the first word.
    try {
        store.requireSynonymView();
    } catch (const AppError& error) {
        throw databaseProblem(database, error.description());
    }

    ResultFormatter formatter(command.format, sink);
    std::optional<WordLookup> lookUp;
    try {
        lookUp.emplace(command, store, database, formatter);
    } catch (const AppError& error) {
        throw databaseProblem(database, error.description());
    }
    Progress progress(!command.quiet);
    // Rows on the terminal that shows the progress start where the line was, not after it.
    if (outputIsTerminal(command.output))
        sink.beforeWriting([&progress] { progress.wipe(); });
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
            if (wordsInLock == kLookupsPerReadLock) {
                lock.release();
                wordsInLock = 0;
            }
            lock.hold();
            ++wordsInLock;
            try {
                (*lookUp)(word);
            } catch (const FieldTooLong& tooLong) {
                throw AppError(QStringLiteral("Cannot write line %1 of %2 to the workbook: %3.")
                                   .arg(words.line())
                                   .arg(shownName(file.name), tooLong.what));
            }
            progress.update(++done);
        }
        WordFiles::endReading(file);
    }
    lock.release();
    formatter.finish();
    sink.commit();
    progress.update(done, true);
    return 0;
}
} // namespace

int RunBatchLookup(const CommandLine& command, const QString& applicationFolder) {
    // A workbook is binary: on a terminal it would only garble the screen.
    if (command.format == OutputFormat::Xlsx && outputIsTerminal(command.output)) {
        tell(QStringLiteral("lexigrove: --format xlsx writes a workbook, not text for a "
                            "terminal: give --output FILE or redirect standard output\n"));
        return 2;
    }
    return reporting([&] { return lookUpAll(command, applicationFolder); });
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
    raiseOpenFileLimit();
    // Core only: no platform plugin is loaded, so no display is needed.
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv);
    if (command.action == CommandLine::ListLanguages)
        return reporting([&] {
            ResultSink out{QString()};
            ListLanguages(out);
            out.commit();
            return 0;
        });
    return RunBatchLookup(command, QCoreApplication::applicationDirPath());
}
