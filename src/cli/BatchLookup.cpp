#include "BatchLookup.h"

#include "AppError.h"
#include "CommandLine.h"
#include "DbConnection.h"
#include "RecordSet.h"
#include "ResultSink.h"
#include "ResultsExport.h"
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
constexpr qsizetype kChunkBytes = 64 * 1024;
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
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(shownName(name), file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(shownName(name), file.errorString()));
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

// Turns rows into the chosen format's bytes, as the window's exports write them.
class Formatter {
  public:
    Formatter(CommandLine::Format format, ResultSink& sink) : format_(format), sink_(sink) {}

    void row(QByteArrayView utf8) {
        switch (format_) {
        case CommandLine::Rows:
            pending_ += utf8;
            pending_ += '\n';
            break;
        case CommandLine::CommaDelimited: {
            const qsizetype start = pending_.size();
            pending_ += utf8;
            CloseCommaDelimitedField(pending_, start);
            break;
        }
        case CommandLine::Aligned:
            // Every row counts for the width before the first line is written.
            ends_.push_back(pending_.size() + utf8.size());
            pending_ += utf8;
            return;
        }
        if (pending_.size() >= kChunkBytes) {
            sink_.writeUtf8(pending_);
            pending_.truncate(0);
        }
    }

    void finish() {
        if (format_ == CommandLine::CommaDelimited)
            pending_ += "\r\n";
        if (format_ != CommandLine::Aligned) {
            sink_.writeUtf8(pending_);
            return;
        }
        const QString header = ResultsHeader();
        int width = CodePointLength(header);
        forEachAligned([&](const QString& text) { width = std::max(width, CodePointLength(text)); });
        QString line;
        const auto writeLine = [&](const QString& text) {
            line.truncate(0);
            AppendPaddedCell(line, text, width);
            sink_.write(line += QStringLiteral("\r\n"));
        };
        writeLine(header);
        forEachAligned(writeLine);
    }

  private:
    template <class Text> void forEachAligned(Text&& text) {
        qsizetype start = 0;
        for (const qsizetype end : ends_) {
            text(QString::fromUtf8(QByteArrayView(pending_).sliced(start, end - start)));
            start = end;
        }
    }

    CommandLine::Format format_;
    ResultSink& sink_;
    QByteArray pending_;
    std::vector<qsizetype> ends_;
};
} // namespace

namespace {
// Only a lone LF at the very end leaves an empty entry behind in the
// window's rules; a closing CR LF or CR already gives none.
bool endsInLoneLineFeed(const WordListEncoding& encoding) {
    const QByteArrayView body = encoding.body();
    switch (encoding.kind()) {
    case WordListEncoding::Kind::Utf16LE:
        return body.endsWith(QByteArrayView("\n\0", 2)) && !body.endsWith(QByteArrayView("\r\0\n\0", 4));
    case WordListEncoding::Kind::Utf16BE:
        return body.endsWith(QByteArrayView("\0\n", 2)) && !body.endsWith(QByteArrayView("\0\r\0\n", 4));
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

        ResultSink sink(command.output);
        sink.open();
        Formatter formatter(command.format, sink);
        Progress progress(!command.quiet && isatty(STDERR_FILENO), words.size());
        RecordSet rs;
        const QString field = QStringLiteral("synonym");
        QByteArray row;
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QString& word = words[i];
            rs.Open(SynonymQueryText(QuoteSqlText(word)), db, RecordSet::adOpenStatic,
                    RecordSet::adLockReadOnly);
            if (rs.Eof()) {
                formatter.row(NotFoundRow(word).toUtf8());
            } else {
                const QByteArray prefix = SynonymRowPrefix(word).toUtf8();
                for (; !rs.Eof(); rs.MoveNext()) {
                    row.truncate(0);
                    row += prefix;
                    row += rs.FieldUtf8(field);
                    formatter.row(row);
                }
            }
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
        break;
    case CommandLine::StartWindow:
        return 2; // the window is main()'s to start
    }
    // Core only: no platform plugin is loaded, so no display is needed.
    QCoreApplication app(argc, argv);
    return RunBatchLookup(command, QCoreApplication::applicationDirPath());
}
