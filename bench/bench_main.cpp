// SPDX-License-Identifier: GPL-3.0-or-later
// Lexigrove's benchmark harness: drives the real window (offscreen) through
// its buttons and sets each workload against a reference tool run on the
// same data in the same session. Prints medians, ratios and targets.
#include "BenchDesktop.h"
#include "DbConnection.h"
#include "Form1.h"
#include "GrowArray.h"
#include "ListView.h"
#include "ProgressBar.h"
#include "SynonymQuery.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <time.h>

namespace {
QString binDir() {
    return QCoreApplication::applicationDirPath();
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

double seconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// The process's CPU time. On a loaded machine it tells what work costs apart from the waits
// for a core, which a run that yields to the event loop suffers more than a tight loop.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double shellSeconds(const QString& command) {
    return seconds([&] {
        QProcess shell;
        shell.start("/bin/sh", {"-c", command});
        shell.waitForFinished(-1);
        if (shell.exitCode() != 0)
            std::fprintf(stderr, "reference failed: %s\n%s\n", qPrintable(command),
                         shell.readAllStandardError().constData());
    });
}

QStringList headwords(const QString& database) {
    QStringList words;
    sqlite3* db = nullptr;
    sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select word from headword order by id", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        words << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return words;
}

long kilobytes(const char* field) {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return 0;
}

void resetPeakMemory() {
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// One window, as the program builds it.
struct Window {
    BenchDesktop desktop;
    Form1 form{desktop, binDir()};
    int paints = 0;

    Window() {
        form.Form_Load();
        form.show();
        QCoreApplication::processEvents();
    }
    template <class T = QWidget> T* child(const char* name) {
        return form.findChild<T*>(QLatin1String(name));
    }
    void setWords(const QStringList& words) {
        auto* list = child<ListView>("ListView1");
        list->clear();
        for (const QString& word : words)
            list->append(word);
        QCoreApplication::processEvents();
    }
    void click(const char* button) { child<QPushButton>(button)->click(); }
};

class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Row {
    QString name;
    double ours, reference;
    QString target;
    double limit;
};

QList<Row> table;

void report(const Row& row) {
    table << row;
    std::printf("%-34s %10.3f s %10.3f s %7.2f   %s\n", qPrintable(row.name), row.ours,
                row.reference, row.ours / row.reference, qPrintable(row.target));
    std::fflush(stdout);
}

// The bar for the lookup itself, as fast as a plain program can do it: the
// words as UTF-8, one statement compiled once with the word bound directly,
// all of them inside one read transaction, "WORD - synonym" rows appended to
// a buffer. Upper case is Unicode's, with a loop of its own for ASCII words.
double preparedLoopSeconds(const QString& database, const QStringList& words, qsizetype* rows,
                           double* cpu = nullptr) {
    QList<QByteArray> keys;
    keys.reserve(words.size());
    for (const QString& word : words)
        keys << word.toUtf8();
    sqlite3* db = nullptr;
    sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QByteArray out;
    const double cpuBefore = cpuSeconds();
    const double t = seconds([&] {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "select synonym from qrySynonyms where word = ?1", -1, &stmt,
                           nullptr);
        sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
        QByteArray upper;
        for (const QByteArray& key : keys) {
            if (std::all_of(key.begin(), key.end(), [](char c) { return uchar(c) < 0x80; })) {
                upper.resize(key.size());
                std::transform(key.begin(), key.end(), upper.begin(), [](char c) {
                    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
                });
            } else {
                upper = QString::fromUtf8(key).toUpper().toUtf8();
            }
            sqlite3_bind_text(stmt, 1, key.constData(), int(key.size()), SQLITE_STATIC);
            bool found = false;
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                found = true;
                out += upper;
                out += " - ";
                out.append(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                           sqlite3_column_bytes(stmt, 0));
                out += '\n';
            }
            if (!found) {
                out += upper;
                out += " - this word not found in the database.\n";
            }
            sqlite3_reset(stmt);
        }
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_finalize(stmt);
    });
    if (cpu)
        *cpu = cpuSeconds() - cpuBefore;
    sqlite3_close(db);
    if (rows)
        *rows = out.count('\n');
    return t;
}

void writeWordFile(const QString& path, const QStringList& words) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(words.join(u'\n').toUtf8() + '\n');
}

// The command line over a word file, its rows (or another format, and any options after its
// name) to /dev/null.
double commandLineSeconds(const QString& wordFile, const QString& format = QStringLiteral("rows")) {
    return shellSeconds(
        QStringLiteral("'%1/lexigrove' --lookup --quiet --format %3 '%2' > /dev/null")
            .arg(binDir(), wordFile, format));
}

// Peak resident memory of a command line run and the records it wrote, as
// /usr/bin/time (Debian's `time`) and wc see them.
std::pair<long, long> commandLinePeak(const QString& wordFile, const QString& format) {
    QProcess shell;
    shell.start("/bin/sh",
                {"-c", QStringLiteral("/usr/bin/time -f %M -o '%2.peak' '%1/lexigrove' --lookup "
                                      "--quiet --format table '%2' | wc -l; "
                                      "/usr/bin/time -f %M -o '%2.peak' '%1/lexigrove' --lookup "
                                      "--quiet --format %3 '%2' > /dev/null")
                           .arg(binDir(), wordFile, format)});
    shell.waitForFinished(-1);
    QFile peak(wordFile + ".peak");
    peak.open(QIODevice::ReadOnly);
    return {peak.readAll().trimmed().toLong(),
            shell.readAllStandardOutput().trimmed().toLong() - 1};
}

// The formats with each pair's meaning, and rows in the words' own forms, against rows,
// every headword, in turns; the workbook against the table it holds.
void commandLineFormats(int runs) {
    const QStringList words = headwords(DbConnection::DatabasePath(binDir()));
    QTemporaryDir scratch;
    const QString wordFile = scratch.filePath("words.txt");
    writeWordFile(wordFile, words);
    QList<double> rows, inflected, tables, jsonl, xlsx;
    for (int run = 0; run < runs; ++run) {
        rows << commandLineSeconds(wordFile);
        inflected << commandLineSeconds(wordFile, QStringLiteral("rows --inflect"));
        tables << commandLineSeconds(wordFile, QStringLiteral("table"));
        jsonl << commandLineSeconds(wordFile, QStringLiteral("jsonl"));
        xlsx << commandLineSeconds(wordFile, QStringLiteral("xlsx"));
    }
    for (const auto& [name, times] : {std::pair{"table", tables}, std::pair{"jsonl", jsonl}})
        report({QStringLiteral("CLI --format %1, %2 words").arg(name).arg(words.size()),
                median(times), median(rows), "<= 1.3 x --format rows", 1.3});
    report({QStringLiteral("CLI --inflect, %1 words").arg(words.size()), median(inflected),
            median(rows), "<= 1.5 x without --inflect", 1.5});
    report({QStringLiteral("CLI --format xlsx, %1 words").arg(words.size()), median(xlsx),
            median(tables), "<= 2.0 x --format table", 2.0});

    // Constant memory: four times the records, the same peak.
    const QString fourTimes = scratch.filePath("words4.txt");
    writeWordFile(fourTimes, words + words + words + words);
    for (const QString& format : {QStringLiteral("table"), QStringLiteral("xlsx")}) {
        const auto [once, records] = commandLinePeak(wordFile, format);
        const auto [four, records4] = commandLinePeak(fourTimes, format);
        std::printf("   --format %-5s peak memory %6.1f MB for %ld records, %6.1f MB for %ld\n",
                    qPrintable(format), once / 1024.0, records, four / 1024.0, records4);
    }
}

// The command line as a filter: every headword through a pipe, read as it
// arrives, against the loop; then its peak memory on ten million words.
void commandLineStream(int runs) {
    const QString database = DbConnection::DatabasePath(binDir());
    const QStringList words = headwords(database);
    QTemporaryDir scratch;
    const QString wordFile = scratch.filePath("words.txt");
    writeWordFile(wordFile, words);
    const QString program = QStringLiteral("'%1/lexigrove' --lookup --quiet -").arg(binDir());
    QList<double> piped, loop;
    for (int run = 0; run < runs; ++run) {
        loop << preparedLoopSeconds(database, words, nullptr);
        piped << shellSeconds(QStringLiteral("cat '%1' | %2 > /dev/null").arg(wordFile, program));
    }
    report({QStringLiteral("CLI through a pipe, %1 words").arg(words.size()), median(piped),
            median(loop), "<= 1.2 x prepared-statement loop", 1.2});
    const QString peak = scratch.filePath("peak");
    const qint64 total = 10'000'000;
    const double t = shellSeconds(
        QStringLiteral("awk -v n=%1 '{ w[NR] = $0 } END { for (i = 0; i < n; i++) print w[i % "
                       "NR + 1] }' '%2' | /usr/bin/time -f %M -o '%3' %4 > /dev/null")
            .arg(total)
            .arg(wordFile, peak, program));
    QFile file(peak);
    file.open(QIODevice::ReadOnly);
    const double megabytes = file.readAll().trimmed().toDouble() / 1024;
    std::printf("%-34s %9.1f MB  in %.0f s (target: a few tens of MB, flat)\n",
                "CLI 10,000,000 words, peak memory", megabytes, t);
    std::fflush(stdout);
}

void lookupRun(int runs) {
    Window window; // opens the database first, as the program does
    const QString database = DbConnection::DatabasePath(binDir());
    const QStringList words = headwords(database);
    QTemporaryDir scratch;
    const QString sql = scratch.filePath("queries.sql");
    {
        QFile file(sql);
        file.open(QIODevice::WriteOnly);
        QTextStream out(&file);
        WordQuery query;
        for (const QString& word : words)
            if (query.build(word))
                out << QString::fromUtf8(query.text()) << ";\n";
    }
    window.setWords(words);
    PaintCounter counter;
    window.child("ProgressBar1")->installEventFilter(&counter);

    const QString wordFile = scratch.filePath("words.txt");
    writeWordFile(wordFile, words);
    QList<double> ours, reference, loop, cli, paintRates, gaps, ourCpu, loopCpu;
    qsizetype rows = 0, utf8 = 0, loopRows = 0;
    for (int run = 0; run < runs; ++run) {
        double cpu = 0;
        loop << preparedLoopSeconds(database, words, &loopRows, &cpu);
        loopCpu << cpu;
        cli << commandLineSeconds(wordFile);
        counter.paints = 0;
        window.desktop.startMeasuring();
        cpu = cpuSeconds();
        const double t = seconds([&] { window.click("PushButton17"); });
        ourCpu << cpuSeconds() - cpu;
        ours << t;
        paintRates << counter.paints / t;
        gaps << window.desktop.longestGapMs;
        reference << shellSeconds(
            QStringLiteral("sqlite3 '%1' < '%2' > /dev/null").arg(database, sql));
    }
    auto* results = window.child<ListView>("ListView2");
    rows = results->count();
    for (int r = 1; r <= rows; ++r)
        utf8 += results->text(r).toUtf8().size() + 1;
    // What a row means, read as its tool-tip asks for it, for rows spread over the list.
    const int asked = 1000;
    const double described = seconds([&] {
        for (int i = 0; i < asked; ++i)
            results->description(1 + int(qint64(i) * (rows - 1) / asked));
    });
    report({QStringLiteral("W1 lookup run, %1 words").arg(words.size()), median(ours),
            median(reference), "<= 1.0 x sqlite3 shell", 1.0});
    report({QStringLiteral("W1 lookup run vs prepared loop"), median(ours), median(loop),
            "<= 1.3 x prepared-statement loop", 1.3});
    report({QStringLiteral("CLI --lookup, %1 words").arg(words.size()), median(cli), median(loop),
            "<= 1.2 x prepared-statement loop", 1.2});
    std::printf("   the prepared loop wrote %lld rows; CPU time: run %.3f s, loop %.3f s (%.2f)\n",
                (long long)loopRows, median(ourCpu), median(loopCpu),
                median(ourCpu) / median(loopCpu));
    std::printf("   %lld rows (%.1f MB UTF-8); %.0f repaints/s of the progress bar (target >= 20); "
                "longest gap between yields %.1f ms\n",
                (long long)rows, utf8 / 1e6, median(paintRates), median(gaps));
    std::printf("   a row's meaning, read when asked: %.1f us (target: well under 1 ms)\n",
                described / asked * 1e6);
}

void memory() {
    const QString database = DbConnection::DatabasePath(binDir());
    const QStringList words = headwords(database);
    Window window;
    window.setWords(words);
    const long idle = kilobytes("VmRSS:");
    resetPeakMemory();
    window.click("PushButton17");
    const long peak = kilobytes("VmHWM:");
    auto* results = window.child<ListView>("ListView2");
    qsizetype utf8 = 0;
    for (int r = 1; r <= results->count(); ++r)
        utf8 += results->text(r).toUtf8().size();
    std::printf("%-34s %8.1f MB over idle %8.1f MB  %7.2f   <= 3 x the rows' UTF-8 size\n",
                "W1 peak memory", (peak - idle) / 1024.0, utf8 / 1048576.0,
                (peak - idle) * 1024.0 / utf8);
}

// awk programs that write, from one result row per line, the bytes each
// export writes. Padding counts characters, and mawk counts bytes, so a
// character is counted at each byte that does not continue one.
const char* kAwkChars = "function chars(s) { return length(s) - gsub(/[\\200-\\277]/, \"&\", s) } ";
const QString kAwkAligned = QString(kAwkChars) + R"(
    { row[NR] = $0; n = chars($0); if (n > w) w = n }
    END {
        if (chars("Results") > w) w = chars("Results")
        pad = sprintf("%*s", w, "")
        printf "%s%s\t\r\n", "Results", substr(pad, 1, w - chars("Results"))
        for (i = 1; i <= NR; i++) printf "%s%s\t\r\n", row[i], substr(pad, 1, w - chars(row[i]))
    })";
const QString kAwkComma = QStringLiteral(R"(
    { s = $0; if (s ~ /[,"]/) { gsub(/"/, "\"\"", s); s = "\"" s "\"" } printf "%s,", s }
    END { printf "\r\n" })");
const QString kAwkClipboard = QStringLiteral(R"({ sub(/ +$/, ""); printf "%s\r\n", $0 })");

bool sameFiles(const QString& a, const QString& b) {
    return QProcess::execute("cmp", {"-s", a, b}) == 0;
}

void exports(int runs) {
    Window window;
    window.setWords(headwords(DbConnection::DatabasePath(binDir())));
    window.click("PushButton17");
    auto* results = window.child<ListView>("ListView2");
    results->setAllChecked(true);
    QTemporaryDir scratch;
    const QString rows = scratch.filePath("rows.txt");
    {
        QFile file(rows);
        file.open(QIODevice::WriteOnly);
        for (int r = 1; r <= results->count(); ++r)
            file.write(results->text(r).toUtf8() + '\n');
    }
    struct Export {
        const char* name;
        const char* button;
        QString awk;
    };
    const QList<Export> list = {{"W2 aligned text file", "PushButton4", kAwkAligned},
                                {"W2 comma-delimited file", "PushButton9", kAwkComma},
                                {"W2 clipboard copy", "PushButton5", kAwkClipboard}};
    for (const Export& e : list) {
        const QString ours = scratch.filePath("ours.txt");
        const QString theirs = scratch.filePath("awk.txt");
        QList<double> oursTimes, awkTimes;
        for (int run = 0; run < runs; ++run) {
            QFile::remove(ours); // no overwrite question
            window.desktop.saveAnswer = ours;
            oursTimes << seconds([&] { window.click(e.button); });
            awkTimes << shellSeconds(
                QStringLiteral("awk '%1' '%2' > '%3'").arg(e.awk, rows, theirs));
        }
        if (e.button == QLatin1String("PushButton5")) {
            QFile file(ours);
            file.open(QIODevice::WriteOnly);
            file.write(QGuiApplication::clipboard()->text().toUtf8());
        }
        report({e.name, median(oursTimes), median(awkTimes), "<= 1.0 x awk", 1.0});
        std::printf("   %s, %lld bytes\n",
                    sameFiles(ours, theirs) ? "cmp: same bytes as awk" : "cmp: FILES DIFFER",
                    (long long)QFileInfo(ours).size());
        std::fflush(stdout);
    }
}

void scaling(int runs) {
    const QStringList headwordList = headwords(DbConnection::DatabasePath(binDir()));
    QList<double> perWord;
    const QList<int> sizes = qEnvironmentVariableIsSet("BENCH_SIZES")
                                 ? [] {
                                       QList<int> s;
                                       for (const QString& n : qEnvironmentVariable("BENCH_SIZES").split(','))
                                           s << n.toInt();
                                       return s;
                                   }()
                                 : QList<int>{1000, 10000, 100000, 1000000};
    for (int n : sizes) {
        QStringList words;
        words.reserve(n);
        for (int i = 0; i < n; ++i)
            words << headwordList[i % headwordList.size()];
        Window window;
        window.setWords(words);
        QList<double> times;
        for (int run = 0; run < (n >= 1000000 ? 1 : runs); ++run)
            times << seconds([&] { window.click("PushButton17"); });
        const double us = median(times) / n * 1e6;
        perWord << us;
        QTemporaryDir scratch;
        writeWordFile(scratch.filePath("words.txt"), words);
        const double cliUs = commandLineSeconds(scratch.filePath("words.txt")) / n * 1e6;
        const double loopUs =
            preparedLoopSeconds(DbConnection::DatabasePath(binDir()), words, nullptr) / n * 1e6;
        std::printf("%-34s %10.2f us/word (CLI %.2f, prepared loop %.2f)\n",
                    qPrintable(QStringLiteral("W1-scaling %1 words").arg(n)), us, cliUs, loopUs);
        std::fflush(stdout);
    }
    if (perWord.size() == 4)
        std::printf("%-34s %10.2f  (1,000,000 vs 10,000; target <= 1.3)\n", "W1-scaling ratio",
                    perWord[3] / perWord[1]);
}
void loadWordFile(int runs) {
    QTemporaryDir scratch;
    const QString path = scratch.filePath("words.txt");
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        QByteArray text;
        for (int i = 0; i < 1000000; ++i)
            text += "word" + QByteArray::number(i) + "\r\n";
        file.write(text);
    }
    QList<double> ours, reference;
    for (int run = 0; run < runs; ++run) {
        Window window;
        window.desktop.openAnswer = {path};
        ours << seconds([&] {
            window.click("PushButton3");
            QCoreApplication::processEvents(); // the view takes in the new rows
        });
        reference << shellSeconds(QStringLiteral("awk '{print}' '%1' > /dev/null").arg(path));
    }
    report({"W3 load a 1,000,000-line word file", median(ours), median(reference), "<= 2.0 x awk",
            2.0});

    // Not a target, a guard: one 50 MB line must not stall the shown list.
    const QString longLine = scratch.filePath("long.txt");
    {
        QFile file(longLine);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(50 * 1000 * 1000, 'x') + "\r\n");
    }
    Window window;
    window.desktop.openAnswer = {longLine};
    const double t = seconds([&] {
        window.click("PushButton3");
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    });
    std::printf("   one 50 MB line loaded and shown in %.2f s\n", t);
}
// Brazilian Portuguese, whose 1.8 million forms make the largest view (reading it whole took
// 12 to 23 s), else the installed thesaurus with the most bytes; with its Hunspell dictionary
// when there is one.
std::pair<QString, QString> largestThesaurus() {
    QFileInfo largest(QStringLiteral("/usr/share/mythes/th_pt_BR.dat"));
    if (!largest.exists())
        for (const QFileInfo& file :
             QDir(QStringLiteral("/usr/share/mythes")).entryInfoList({QStringLiteral("*.dat")}))
            if (!file.isSymLink() && file.size() > largest.size())
                largest = file;
    if (!largest.exists())
        return {};
    const QString locale = largest.completeBaseName().section(u'_', 1, 2);
    const QString dictionary = QStringLiteral("/usr/share/hunspell/%1.dic").arg(locale);
    return {largest.filePath(), QFile::exists(dictionary) ? dictionary : QString()};
}

// --pos and --relation before the first word: the largest database, empty input, with the
// filters against without them. Their values come from a table of a few rows, so the start
// costs the same.
void filterStart(int runs) {
    const auto [thesaurus, dictionary] = largestThesaurus();
    if (thesaurus.isEmpty()) {
        std::printf("   filters: no thesaurus installed in /usr/share/mythes\n");
        return;
    }
    QTemporaryDir scratch;
    const QString database = scratch.filePath("largest.mdb");
    const QString forms =
        dictionary.isEmpty() ? QString() : QStringLiteral("--hunspell '%1' ").arg(dictionary);
    const double built = shellSeconds(QStringLiteral("'%1/lexigrove-import' %2'%3' '%4'")
                                          .arg(binDir(), forms, thesaurus, database));
    std::printf("   filters on %s (%.0f MB database, built in %.0f s)\n",
                qPrintable(QFileInfo(thesaurus).fileName()),
                QFileInfo(database).size() / 1e6, built);
    const QString program =
        QStringLiteral("'%1/lexigrove' --lookup --quiet --database '%2'").arg(binDir(), database);
    for (const QString& format : {QStringLiteral("rows"), QStringLiteral("table")}) {
        QList<double> plain, filtered;
        for (int run = 0; run < runs; ++run) {
            plain << shellSeconds(QStringLiteral("%1 --format %2 /dev/null > /dev/null")
                                      .arg(program, format));
            filtered << shellSeconds(
                QStringLiteral("%1 --format %2 --pos noun,verb --relation synonym,antonym "
                               "/dev/null > /dev/null")
                    .arg(program, format));
        }
        report({QStringLiteral("filter start, --format %1").arg(format), median(filtered),
                median(plain), "<= 1.2 x no filter", 1.2});
    }
}
} // namespace

int main(int argc, char* argv[]) {
    KeepLargeBlocksMovable(); // as the program does at start-up
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runs = args.contains("--quick") ? 1 : 3;
    const QString only = args.size() > 1 && !args.last().startsWith("--") ? args.last() : QString();
    if (only == "loop") {
        // The reference alone, in seconds, for bench/window_run.sh.
        const QString database = DbConnection::DatabasePath(binDir());
        std::printf("%.6f\n", preparedLoopSeconds(database, headwords(database), nullptr));
        return 0;
    }
    auto wanted = [&](const char* name) { return only.isEmpty() || only == name; };

    std::printf("%-34s %12s %12s %7s   %s\n", "workload (median)", "Lexigrove", "reference",
                "ratio", "target");
    std::fflush(stdout);
    if (wanted("W1"))
        lookupRun(runs);
    if (wanted("formats"))
        commandLineFormats(runs < 3 ? runs : 5);
    if (wanted("stream"))
        commandLineStream(runs);
    if (wanted("W2"))
        exports(runs);
    if (wanted("memory"))
        memory();
    if (wanted("W3"))
        loadWordFile(runs);
    if (wanted("scaling"))
        scaling(runs);
    if (wanted("filters"))
        filterStart(runs < 3 ? runs : 5);
    return 0;
}
