#include "BatchLookup.h"

#include "AppError.h"
#include "CommandLine.h"
#include "DbConnection.h"
#include "Languages.h"
#include "RecordSet.h"
#include "ResultFormatter.h"
#include "ResultSink.h"
#include "SynonymQuery.h"
#include "WordListText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {
constexpr qint64 kProgressEveryMs = 250;

void tell(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QString shownName(const QString& file) {
    return file == u'-' ? QStringLiteral("standard input") : QDir::toNativeSeparators(file);
}

QByteArray readWordFile(const QString& name) {
    QFile file;
    const bool opened = name == u'-' ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!opened)
        throw AppError(
            QStringLiteral("Cannot read %1: %2").arg(shownName(name), file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(
            QStringLiteral("Cannot read %1: %2").arg(shownName(name), file.errorString()));
    return bytes;
}

// Words done, of how many, and how fast, rewritten in place on a terminal.
class Progress {
  public:
    Progress(bool shown, qsizetype total) : shown_(shown), total_(total) { clock_.start(); }
    void update(qsizetype done, bool last = false) {
        if (!shown_ || (!last && clock_.elapsed() < next_))
            return;
        next_ = clock_.elapsed() + kProgressEveryMs;
        const double seconds = std::max(clock_.elapsed(), qint64(1)) / 1000.0;
        std::fprintf(stderr, "\r%lld of %lld words, %.0f words/s%s", (long long)done,
                     (long long)total_, done / seconds, last ? "\n" : "");
        std::fflush(stderr);
    }

  private:
    bool shown_;
    qsizetype total_;
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
// Only a lone LF at the very end leaves an empty entry behind in the
// window's rules; a closing CR LF or CR already gives none.
bool endsInLoneLineFeed(const WordListEncoding& encoding) {
    const QByteArrayView body = encoding.body();
    switch (encoding.kind()) {
    case WordListEncoding::Kind::Utf16LE:
        return body.endsWith(QByteArrayView("\n\0", 2)) &&
               !body.endsWith(QByteArrayView("\r\0\n\0", 4));
    case WordListEncoding::Kind::Utf16BE:
        return body.endsWith(QByteArrayView("\0\n", 2)) &&
               !body.endsWith(QByteArrayView("\0\r\0\n", 4));
    default:
        return body.endsWith('\n') && !body.endsWith("\r\n");
    }
}
} // namespace

QStringList CommandLineEntries(const QByteArray& fileBytes) {
    const WordListEncoding encoding(fileBytes);
    QStringList entries;
    ForEachWordListEntry(encoding, [&](QString entry) { entries.append(std::move(entry)); });
    if (endsInLoneLineFeed(encoding))
        entries.removeLast();
    return entries;
}

int RunBatchLookup(const CommandLine& command, const QString& applicationFolder) {
    try {
        // Everything is read first: a file that cannot be read leaves no output behind.
        QStringList words;
        for (const QString& file : command.files) {
            const QStringList entries = CommandLineEntries(readWordFile(file));
            // The query ends at a NUL: the word would be looked up cut short.
            for (qsizetype line = 0; line < entries.size(); ++line)
                if (entries[line].contains(QChar(0)) || !entries[line].isValidUtf16())
                    throw AppError(QStringLiteral("Cannot look up line %1 of %2: it holds a NUL "
                                                  "character or an unpaired surrogate, which the "
                                                  "database cannot store.")
                                       .arg(line + 1)
                                       .arg(shownName(file)));
            words += entries;
        }

        const QString database = command.database.isEmpty()
                                     ? DbConnection::DatabasePath(applicationFolder)
                                     : command.database;
        if (!DbConnection::DatabasePresent(database))
            throw AppError(QStringLiteral("Cannot open the synonym database %1: not found, or "
                                          "not a regular file.")
                               .arg(QDir::toNativeSeparators(database)));
        DbConnection db;
        db.Open(DbConnection::ConnectionString(database));
        // One read lock for the whole list instead of one per word: the list
        // is looked up in one file as it is now, and far faster.
        const DbConnection::Reading reading(db, std::numeric_limits<int>::max());

        const MeaningFilter filter(command, db);
        // Rows and the window's formats need the meaning only to filter by it.
        const bool meaning = filter.active() || command.format == CommandLine::Table ||
                             command.format == CommandLine::JsonLines;

        ResultSink sink(command.output);
        sink.open();
        ResultFormatter formatter(command.format, sink);
        Progress progress(!command.quiet && isatty(STDERR_FILENO), words.size());
        RecordSet rs;
        const QString synonymField = QStringLiteral("synonym");
        const QString posField = QStringLiteral("pos");
        const QString relationField = QStringLiteral("relation");
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QString& word = words[i];
            rs.Open(SynonymQueryText(QuoteSqlText(word)), db, RecordSet::adOpenStatic,
                    RecordSet::adLockReadOnly);
            formatter.startWord(word);
            bool found = false;
            for (; !rs.Eof(); rs.MoveNext()) {
                const QByteArrayView pos = meaning ? rs.FieldUtf8(posField) : QByteArrayView();
                const QByteArrayView relation =
                    meaning ? rs.FieldUtf8(relationField) : QByteArrayView();
                if (!filter.keeps(pos, relation))
                    continue;
                formatter.pair(rs.FieldUtf8(synonymField), pos, relation);
                found = true;
            }
            if (!found)
                formatter.notFound();
            rs.Close();
            progress.update(i + 1);
        }
        formatter.finish();
        sink.commit();
        progress.update(words.size(), true);
        return 0;
    } catch (const AppError& error) {
        tell(QStringLiteral("lexigrove: ") + error.description() + u'\n');
        return 1;
    } catch (const UnknownKind& unknown) {
        tell(QStringLiteral("lexigrove: ") + unknown.text + u'\n');
        return 2;
    } catch (const ClosedPipe&) {
        // As a program without a handler for it ends: quietly, and the shell
        // sees the usual status of a closed pipe.
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
        return 128 + SIGPIPE;
    }
}

int RunCommandLine(const CommandLine& command, int& argc, char* argv[]) {
    switch (command.action) {
    case CommandLine::Print:
        std::fputs(command.text.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
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
    QCoreApplication app(argc, argv);
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
