// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlignedWriter.h"
#include "AppError.h"
#include "ColumnList.h"
#include "CommaDelimitedWriter.h"
#include "CommonDialog.h"
#include "ExportFile.h"
#include "FileSystem.h"
#include "ListModel.h"
#include "ListView.h"
#include "ResultsActions.h"
#include "ResultFormatter.h"
#include "ResultSink.h"
#include "ResultsExport.h"
#include "RowsWriter.h"
#include "ScriptedDesktop.h"
#include "WindowState.h"

#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

namespace {
using Rows = QList<TableList::Row>;
enum Button { Aligned, Comma, Clipboard };
const QString kCopied = "Results have been copied to the clipboard.\r\rClick a text area where "
                        "you normally type and press Ctrl+V to paste the clipboard.";
const Rows kHappy = {
    {{"HAPPY - glad"}, true}, {{"HAPPY - cheerful"}, true}, {{"HAPPY - contented"}, false}};
const Rows kFruit = {{{"apple", "3"}, true}, {{"kiwi", "12"}, true}, {{"watermelon", "7"}, false}};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a writer hands on, piece by piece.
struct Captured final : TextOutput {
    void write(const QString& text) override { writeUtf8(text.toUtf8()); }
    void writeUtf8(const QByteArray& text) override {
        bytes += text;
        largest = std::max(largest, text.size());
    }
    QByteArray bytes;
    qsizetype largest = 0;
};

// Words and their synonyms, none for a word the database does not hold.
using Lookups = QList<std::pair<QString, QStringList>>;

// The results rows the window lists for them.
Rows listedRows(const Lookups& lookups) {
    Rows rows;
    for (const auto& [word, synonyms] : lookups) {
        for (const QString& synonym : synonyms)
            rows.append({{word.toUpper() + " - " + synonym}, true});
        if (synonyms.isEmpty())
            rows.append({{word.toUpper() + " - this word not found in the database."}, true});
    }
    return rows;
}

// What `lexigrove --lookup --format` writes to a file for them.
QByteArray formatted(OutputFormat format, const Lookups& lookups, const QString& path) {
    ResultSink sink(path);
    ResultFormatter formatter(format, sink);
    sink.open();
    for (const auto& [word, synonyms] : lookups) {
        formatter.startWord(word.toUtf8());
        for (const QString& synonym : synonyms)
            formatter.pair(synonym.toUtf8(), "noun", "synonym", "1");
        if (synonyms.isEmpty())
            formatter.notFound();
    }
    formatter.finish();
    sink.commit();
    return readAll(path);
}

// The results list of a window, its buttons, and a bar and pointer that
// remember every value they were given.
struct Window : ProgressDisplay, PointerControl {
    explicit Window(const Rows& rows = {}) {
        list.addColumn("Results");
        for (const TableList::Row& row : rows) {
            list.append(row.cells.value(0));
            list.setChecked(list.count(), row.checked);
        }
    }
    void setProgressValue(double percent) override { values << percent; }
    void setProgressText(const QString& text) override { texts << text; }
    int pointerMode() const override { return pointers.isEmpty() ? 0 : pointers.last(); }
    void setPointerMode(int mode) override { pointers << mode; }

    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    void click(int button, const QString& name = QString()) {
        if (!name.isEmpty())
            desktop.saveAnswers << path(name);
        void (ResultsActions::*handlers[])() = {&ResultsActions::PushButton4_Click,
                                                &ResultsActions::PushButton9_Click,
                                                &ResultsActions::PushButton5_Click};
        (actions.*handlers[button])();
    }
    QList<bool> marks() const {
        QList<bool> result;
        for (int row = 1; row <= list.count(); ++row)
            result << list.checked(row);
        return result;
    }
    // The line numbers that the error reports name, in order.
    QList<int> reportedLines() const {
        QList<int> lines;
        for (const QString& text : desktop.boxTexts()) {
            const auto match = QRegularExpression(" at line (\\d+)\r\r").match(text);
            if (match.hasMatch())
                lines << match.captured(1).toInt();
        }
        return lines;
    }

    QTemporaryDir dir;
    ScriptedDesktop desktop;
    ListView list{true};
    CommonDialog dialog{desktop};
    ResultsActions actions{list, dialog, desktop, *this, *this};
    QList<double> values;
    QStringList texts;
    QList<int> pointers;
};
} // namespace

class TestResults : public QObject {
    Q_OBJECT
  private slots:
    void alignedFile_data();
    void alignedFile();
    void alignedProgress();
    void commaFile_data();
    void commaFile();
    void cancelWritesNothing();
    void clipboard_data();
    void clipboard();
    void clipboardRetry_data();
    void clipboardRetry();
    void closeDuringExportKeepsOldFile_data();
    void closeDuringExportKeepsOldFile();
    void missingFolderIsReportedOnce();
    void pipeIsWrittenInPlace();
    void pipesAreReported_data();
    void pipesAreReported();
    void savedFileStaysWhatItWas_data();
    void savedFileStaysWhatItWas();
    void savedAsAnotherUser();
    void tickingManyRows();
    void brokenFileSystem_data();
    void brokenFileSystem();
    void exportsAskBeforeReplacing_data();
    void exportsAskBeforeReplacing();
    void windowAndCommandLineWriteAlike_data();
    void windowAndCommandLineWriteAlike();
    void streamedInPieces_data();
    void streamedInPieces();
    void publishedByName_data();
    void publishedByName();
};

// The window's two file exports and the command line's aligned and csv
// formats are one writer each: the same rows give the same bytes.
void TestResults::windowAndCommandLineWriteAlike_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<Lookups>("lookups");
    QTest::addColumn<QByteArray>("expected");
    const Lookups happy{{"happy", {"glad", "cheerful"}}, {"xqz", {}}};
    QTest::newRow("aligned") << int(Aligned) << happy
                             << QByteArray("Results                                   \t\r\n"
                                           "HAPPY - glad                              \t\r\n"
                                           "HAPPY - cheerful                          \t\r\n"
                                           "XQZ - this word not found in the database.\t\r\n");
    QTest::newRow("csv") << int(Comma) << happy
                         << QByteArray("HAPPY - glad,HAPPY - cheerful,"
                                       "XQZ - this word not found in the database.,\r\n");
    const Lookups special{{"café", {"a, b", "say \"hi\"", QString::fromUtf8("\xF0\x9F\x98\x80")}}};
    QTest::newRow("aligned, beyond the basic plane")
        << int(Aligned) << special
        << QByteArray("Results        \t\r\nCAFÉ - a, b    \t\r\nCAFÉ - say \"hi\"\t\r\n"
                      "CAFÉ - \xF0\x9F\x98\x80       \t\r\n");
    QTest::newRow("csv, quoted") << int(Comma) << special
                                 << QByteArray("\"CAFÉ - a, b\",\"CAFÉ - say \"\"hi\"\"\","
                                               "CAFÉ - \xF0\x9F\x98\x80,\r\n");
    QTest::newRow("aligned, U+FEFF starting a word is a character")
        << int(Aligned) << Lookups{{QStringLiteral(u"\uFEFFhappy"), {"glad"}}}
        << QByteArray("Results      \t\r\n\xEF\xBB\xBFHAPPY - glad\t\r\n");
    QTest::newRow("csv, nothing looked up") << int(Comma) << Lookups{} << QByteArray("\r\n");
    QTest::newRow("aligned, nothing looked up")
        << int(Aligned) << Lookups{} << QByteArray("Results\t\r\n");
}

void TestResults::windowAndCommandLineWriteAlike() {
    QFETCH(int, button);
    QFETCH(Lookups, lookups);
    QFETCH(QByteArray, expected);
    Window window(listedRows(lookups));
    window.click(button, "window.txt");
    QCOMPARE(readAll(window.path("window.txt")), expected);
    const OutputFormat format = button == Aligned ? OutputFormat::Aligned : OutputFormat::CommaDelimited;
    QCOMPARE(formatted(format, lookups, window.path("cli.txt")), expected);
}

// The command line's rows and csv go out in pieces as they fill, so memory
// stays at one piece; the window's comma-delimited line is written whole.
void TestResults::streamedInPieces_data() {
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("inPieces");
    QTest::newRow("rows") << "rows" << true;
    QTest::newRow("csv, streamed") << "csv" << true;
    QTest::newRow("csv, gathered whole") << "csv" << false;
}

void TestResults::streamedInPieces() {
    QFETCH(QString, writer);
    QFETCH(bool, inPieces);
    Captured out;
    const QByteArray row = "WORD - a synonym of some length";
    constexpr int kRows = 20000; // about ten pieces
    if (writer == "rows") {
        RowsWriter rows(out);
        for (int i = 0; i < kRows; ++i)
            rows.row(row);
        rows.flush();
    } else {
        CommaDelimitedWriter line(out);
        for (int i = 0; i < kRows; ++i) {
            line.field(row);
            if (inPieces)
                line.handOnWhenFull();
        }
        line.finish();
    }
    QCOMPARE(out.bytes.size(), qsizetype(kRows) * (row.size() + 1) + (writer == "csv" ? 2 : 0));
    if (inPieces)
        QVERIFY(out.largest < kChunkBytes + row.size() + 1);
    else
        QCOMPARE(out.largest, out.bytes.size());
}

// A file that another library fills by its name (SQLite its database) is
// published by the same rules as an export: nowhere to be seen until
// commit(), gone without it, and an existing file with two names keeps them.
void TestResults::publishedByName_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("commit");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("new file") << "" << true << QByteArray("new content")
                              << QStringList{"words.mdb"};
    QTest::newRow("replaced") << "old" << true << QByteArray("new content")
                              << QStringList{"words.mdb"};
    QTest::newRow("two names, kept") << "two names" << true << QByteArray("new content")
                                     << QStringList{"other.mdb", "words.mdb"};
    QTest::newRow("not committed") << "old" << false << QByteArray("old")
                                   << QStringList{"words.mdb"};
    QTest::newRow("new file, not committed") << "" << false << QByteArray("<missing>")
                                             << QStringList();
}

void TestResults::publishedByName() {
    QFETCH(QString, before);
    QFETCH(bool, commit);
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    const QString target = dir.filePath("words.mdb");
    if (!before.isEmpty())
        QVERIFY(writeAll(target, "old"));
    if (before == "two names")
        QCOMPARE(::link(QFile::encodeName(target), QFile::encodeName(dir.filePath("other.mdb"))), 0);
    const auto identity = IdentityOf(target);
    {
        ExportFile file(target);
        const QString name = NameFromNative(file.openByName());
        QCOMPARE(QFileInfo(name).absolutePath(), dir.path());
        QVERIFY(name != target);
        QFile filled(name);
        QVERIFY(filled.open(QIODevice::ReadWrite));
        QCOMPARE(filled.write("new content"), 11);
        filled.close();
        QCOMPARE(readAll(target), before.isEmpty() ? QByteArray("<missing>") : QByteArray("old"));
        if (commit)
            file.commit();
    }
    QCOMPARE(readAll(target), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
    if (before == "two names") {
        QCOMPARE(readAll(dir.filePath("other.mdb")), expected);
        QCOMPARE(IdentityOf(target), identity);
    }
}

void TestResults::exportsAskBeforeReplacing_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("name"); // a name with a colon first is given relative
    for (const auto& [button, kind] : {std::pair{Aligned, "text"}, std::pair{Comma, "csv"}}) {
        QTest::addRow("%s, new file", kind)
            << int(button) << false << int(Desktop::No) << "words.txt";
        QTest::addRow("%s, replaced on Yes", kind)
            << int(button) << true << int(Desktop::Yes) << "words.txt";
        QTest::addRow("%s, kept on No", kind)
            << int(button) << true << int(Desktop::No) << "words.txt";
        QTest::addRow("%s, a colon first is a file", kind)
            << int(button) << true << int(Desktop::Yes) << ":words.txt";
    }
}

// Saving the results over the word list they came from would lose it unasked.
void TestResults::exportsAskBeforeReplacing() {
    QFETCH(int, button);
    QFETCH(bool, exists);
    QFETCH(int, answer);
    QFETCH(QString, name);
    Window window(kHappy);
    const QString path = window.dir.path() + u'/' + name; // QDir takes ":" for a resource
    if (exists)
        QVERIFY(writeAll(path, "happy\n"));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(window.dir.path()));
    const QString given = name.startsWith(':') ? name : path;
    window.desktop.saveAnswers << given;
    window.desktop.answers << answer;
    window.click(button);
    QDir::setCurrent(before);
    const QStringList question{"Are you sure you wish to overwrite " + given + " ?"};
    QCOMPARE(window.desktop.boxTexts(), exists ? question : QStringList());
    const bool kept = exists && answer != Desktop::Yes;
    QCOMPARE(readAll(path) == "happy\n", kept);
    QCOMPARE(window.files(), QStringList{name});
}

void TestResults::alignedFile_data() {
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QByteArray>("expected");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // two UTF-16 units
    QTest::newRow("two columns")
        << QStringList{"Word", "Count"} << kFruit
        << QByteArray::fromHex("57 6F 72 64 20 20 20 20 20 20 09 43 6F 75 6E 74 09 0D 0A 61 70 70"
                               "6C 65 20 20 20 20 20 09 33 20 20 20 20 09 0D 0A 6B 69 77 69 20 20"
                               "20 20 20 20 09 31 32 20 20 20 09 0D 0A");
    QTest::newRow("results") << QStringList{"Results"} << kHappy
                             << QByteArray("Results          \t\r\nHAPPY - glad     \t\r\n"
                                           "HAPPY - cheerful \t\r\n");
    QTest::newRow("empty") << QStringList{"Results"} << Rows{} << QByteArray("Results\t\r\n");
    QTest::newRow("none checked") << QStringList{"Results"} << Rows{{{"HAPPY - cheerful"}, false}}
                                  << QByteArray("Results         \t\r\n");
    // Padding counts code points; a lone surrogate, which no encoding
    // carries, becomes one replacement character.
    QTest::newRow("beyond the basic plane")
        << QStringList{"Results"} << Rows{{{emoji.repeated(9)}, true}, {{QChar(0xD800)}, true}}
        << "Results  \t\r\n" + emoji.repeated(9).toUtf8() + "\t\r\n\xEF\xBF\xBD        \t\r\n";
}

void TestResults::alignedFile() {
    QFETCH(QStringList, headers);
    QFETCH(Rows, rows);
    QFETCH(QByteArray, expected);
    Window window(headers.size() == 1 ? rows : Rows{});
    SaveListviewProperlySpaced(TableList(headers, rows), window.path("generic"), nullptr,
                               window.desktop);
    QCOMPARE(readAll(window.path("generic")), expected);
    if (headers.size() == 1) { // the one-column results list, replacing an older file
        QVERIFY(writeAll(window.path("real"), "an older and longer export"));
        window.desktop.answers << Desktop::Yes;
        window.click(Aligned, "real");
        QCOMPARE(readAll(window.path("real")), expected);
    }
    // Only the question before replacing the older file.
    QCOMPARE(window.desktop.boxes.size(), headers.size() == 1 ? 1 : 0);
}

void TestResults::alignedProgress() {
    Window window({{{"a"}, false}, {{"b"}, true}, {{"c"}, false}, {{"d"}, true}});
    window.click(Aligned, "r.txt");
    QCOMPARE(window.dialog.Flags, 0x280201);
    QCOMPARE(window.dialog.Filter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
    QCOMPARE(window.desktop.dialogs.value(0).title, "Save");
    QCOMPARE(window.pointers, QList<int>({11, 0}));
    QCOMPARE(window.values, QList<double>({1, 10, 20, 50, 100, 100, 0}));
    const QString w = "Writing file: r.txt";
    QCOMPARE(window.texts, QStringList({w, w, w, "Done.", "Progress Bar"}));
    // Around each stage, per row measured, per header cell, per row, per
    // checked cell, and around each checked row's bar update.
    QCOMPARE(window.desktop.yields, 2 + 4 + 2 + 1 + 2 + 4 + 2 * 3);

    // From 2000 rows on, the last values pass 100; the count shows at every
    // 1000th row that is checked.
    TableList big({"Results"});
    for (int row = 1; row <= 3000; ++row)
        big.append({"row"}, row % 1000 == 0 || row == 1999);
    window.values.clear();
    window.texts.clear();
    SaveListviewProperlySpaced(big, window.path("big.txt"), &window, window.desktop);
    const auto value = [](int row) { return (row + 3000 / 2000) / 3000.0 * 100; };
    QCOMPARE(window.values, QList<double>({1, 10, 20, value(1000), value(1999), value(2000),
                                           value(3000), 100, 0}));
    const QString b = "Writing file: big.txt";
    QCOMPARE(window.texts, QStringList({b, b, b, b + " (1000)", b + " (2000)", b + " (3000)",
                                        "Done.", "Progress Bar"}));
}

void TestResults::commaFile_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("new file") << QStringList{"HAPPY - glad", "HAPPY - content",
                                             "XQZ - this word not found in the database."}
                              << QByteArray() << 0
                              << QByteArray("HAPPY - glad,HAPPY - content,XQZ - this word not "
                                            "found in the database.,\r\n");
    QTest::newRow("empty list") << QStringList() << QByteArray() << 0 << QByteArray("\r\n");
    QTest::newRow("quoted rows") << QStringList{"A, b", "say \"hi\"", "two\nlines", "cr\r", "é"}
                                 << QByteArray() << 0
                                 << QByteArray("\"A, b\",\"say \"\"hi\"\"\",\"two\nlines\","
                                               "\"cr\r\",\xC3\xA9,\r\n");
    // Rows are scanned eight bytes at a time: specials first, last and past
    // the last full eight, and a row UTF-8 cannot carry.
    QTest::newRow("long rows") << QStringList{"synonym,commas",
                                              "abcdefgh\"ijklmnop",
                                              "abcdefg\nx",
                                              "abc\rdefgh",
                                              "abcdefghijklmnopqr\r",
                                              "no specials here at all",
                                              QStringLiteral("a") + QChar(0xD800) + u'b'}
                               << QByteArray() << 0
                               << QByteArray(
                                      "\"synonym,commas\",\"abcdefgh\"\"ijklmnop\",\"abcdefg\nx\","
                                      "\"abc\rdefgh\",\"abcdefghijklmnopqr\r\","
                                      "no specials here at all,"
                                      "a\xEF\xBF\xBD"
                                      "b,\r\n");
    QTest::newRow("overwrite") << QStringList{"a"} << QByteArray("old\r\n") << int(Desktop::Yes)
                               << QByteArray("a,\r\n");
    QTest::newRow("keep") << QStringList{"a"} << QByteArray("old\r\n") << int(Desktop::No)
                          << QByteArray("old\r\n");
}

void TestResults::commaFile() {
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, old);
    QFETCH(int, answer);
    QFETCH(QByteArray, expected);
    Window window;
    for (const QString& row : rows)
        window.list.append(row);
    QVERIFY(old.isEmpty() || writeAll(window.path("r"), old));
    window.desktop.answers << answer;
    window.click(Comma, "r");
    QCOMPARE(readAll(window.path("r")), expected);
    QCOMPARE(window.files(), QStringList{"r"});
    QCOMPARE(window.desktop.boxes.size(), answer ? 1 : 0);
    if (answer) {
        const ScriptedDesktop::Box question = window.desktop.boxes[0];
        QCOMPARE(question.text, "Are you sure you wish to overwrite " + window.path("r") + " ?");
        QCOMPARE(question.style, Desktop::YesNo);
        QCOMPARE(question.title, "Lexigrove");
    }
    QCOMPARE(window.pointers, answer == Desktop::No ? QList<int>() : QList<int>({11, 0}));
}

void TestResults::cancelWritesNothing() {
    for (const Button button : {Aligned, Comma}) {
        Window window({{{"a"}, true}});
        window.dialog.FileName = window.path("earlier.txt"); // from an earlier dialog
        window.click(button);
        QCOMPARE(window.desktop.dialogs.size(), 1);
        QCOMPARE(window.files(), QStringList());
        QVERIFY(window.desktop.boxes.isEmpty() && window.pointers.isEmpty());
        QVERIFY(window.values.isEmpty() && window.texts.isEmpty());
    }
}

void TestResults::clipboard_data() {
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("clears");
    QTest::newRow("two columns") << QStringList{"Word", "Count"} << kFruit
                                 << "apple     \t3\r\nkiwi      \t12\r\n"
                                 << 1;
    // Headers do not count; the last cell loses its padding and its own
    // trailing spaces, and an empty last cell leaves the tab before it.
    QTest::newRow("ragged ends") << QStringList{"Longest header", "Note"}
                                 << Rows{{{"ab", ""}, true}, {{"c", "d  "}, true}}
                                 << "ab\t\r\nc \td\r\n"
                                 << 1;
    QTest::newRow("results") << QStringList{"Results"} << kHappy
                             << "HAPPY - glad\r\nHAPPY - cheerful\r\n"
                             << 1;
    QTest::newRow("blank row") << QStringList{"Results"} << Rows{{{"a  "}, true}, {{"   "}, true}}
                               << "a\r\n\r\n"
                               << 1;
    QTest::newRow("none checked") << QStringList{"Results"} << Rows{{{"a"}, false}} << "" << 1;
    QTest::newRow("empty list") << QStringList{"Results"} << Rows{} << "before" << 0;
}

void TestResults::clipboard() {
    QFETCH(QStringList, headers);
    QFETCH(Rows, rows);
    QFETCH(QString, expected);
    QFETCH(int, clears);
    Window window(rows);
    window.desktop.clipboard = "before";
    if (headers.size() > 1) {
        CopyListviewToClipboard(TableList(headers, rows), window.desktop);
    } else {
        window.click(Clipboard);
        QCOMPARE(window.desktop.boxTexts(), QStringList{kCopied});
        QCOMPARE(window.desktop.boxes[0].style, Desktop::OkOnly);
        QCOMPARE(window.desktop.boxes[0].title, "Lexigrove");
    }
    QCOMPARE(window.desktop.clipboard, expected);
    QCOMPARE(window.desktop.clipboardClears, clears);
    QCOMPARE(window.desktop.clipboardSets, clears);
}

void TestResults::clipboardRetry_data() {
    QTest::addColumn<QList<bool>>("failures");
    QTest::addColumn<int>("clears");
    QTest::addColumn<int>("sets");
    QTest::addColumn<QString>("expected");
    const QList<bool> fine = {false};
    QTest::newRow("set at the last attempt")
        << fine + QList<bool>(999, true) + fine << 1 << 1000 << "X\r\n";
    QTest::newRow("set never") << fine + QList<bool>(1000, true) + fine << 1 << 1000 << "before";
    QTest::newRow("clear never") << QList<bool>(1000, true) + fine << 1000 << 1 << "X\r\n";
}

void TestResults::clipboardRetry() {
    QFETCH(QList<bool>, failures);
    QFETCH(int, clears);
    QFETCH(int, sets);
    QFETCH(QString, expected);
    Window window({{{"X"}, true}});
    window.desktop.clipboard = "before";
    window.desktop.clipboardFailures = failures;
    window.click(Clipboard);
    QCOMPARE(window.desktop.clipboardClears, clears);
    QCOMPARE(window.desktop.clipboardSets, sets);
    QCOMPARE(window.desktop.clipboard, expected);
    QCOMPARE(window.desktop.boxTexts(), QStringList{kCopied});

    window.desktop.clipboardFailures = QList<bool>(1000, true) + QList<bool>(999, true);
    QVERIFY(!SetClipboardText(window.desktop, "t"));
    QVERIFY(ClearClipboard(window.desktop));
}

void TestResults::closeDuringExportKeepsOldFile_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("yield");
    // Both after the file was opened: while rows are written, or read.
    QTest::newRow("aligned") << int(Aligned) << 12;
    QTest::newRow("comma") << int(Comma) << 2;
}

void TestResults::closeDuringExportKeepsOldFile() {
    QFETCH(int, button);
    QFETCH(int, yield);
    Window window({{{"a"}, true}, {{"b"}, true}, {{"c"}, true}});
    QVERIFY(writeAll(window.path("r.txt"), "old bytes\r\n"));
    window.desktop.answers << Desktop::Yes;
    // The new file may have no name until it is complete (O_TMPFILE); a
    // descriptor open in the folder shows that it is being written.
    const auto openHere = [&] {
        int count = 0;
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System))
            count += fd.symLinkTarget().startsWith(window.dir.path() + '/');
        return count;
    };
    int openWhileWriting = 0;
    window.desktop.onYield[yield] = [&] {
        openWhileWriting = openHere();
        window.desktop.markClosing();
    };
    QVERIFY_THROWS_EXCEPTION(ClosingSignal, window.click(button, "r.txt"));
#ifdef Q_OS_LINUX
    QCOMPARE(openWhileWriting, 1);
    QCOMPARE(openHere(), 0);
#endif
    QCOMPARE(readAll(window.path("r.txt")), "old bytes\r\n");
    QCOMPARE(window.files(), QStringList{"r.txt"});
}

void TestResults::missingFolderIsReportedOnce() {
    Window window(Rows(3000, {{"row"}, true}));
    window.click(Aligned, "missing/r.txt");
    QCOMPARE(window.reportedLines(), QList<int>{156});
    const ScriptedDesktop::Box report = window.desktop.boxes.value(0);
    QVERIFY(report.text.startsWith("Cannot create " + window.path("missing/r.txt") +
                                   ": No such file or directory\r\n"
                                   "in Lexigrove2021/08/31.Main.SaveListviewProperlySpaced at"));
    QCOMPARE(report.style, Desktop::Exclamation);
    QCOMPARE(window.values, QList<double>({1, 10, 0}));
    QCOMPARE(window.texts.last(), "Progress Bar");
    QCOMPARE(window.pointers, QList<int>({11, 0}));

    // The comma export reports the open and the write, as it always did.
    window.desktop.boxes.clear();
    window.click(Comma, "missing/r.txt");
    QCOMPARE(window.reportedLines(), QList<int>({130, 140}));
    QVERIFY(window.desktop.boxes[0].text.contains("Lexigrove2021/08/31.Form1.PushButton9_Click"));
    QCOMPARE(window.pointers, QList<int>({11, 0, 11, 0}));
    QVERIFY(!QFileInfo::exists(window.path("missing")));
}

void TestResults::pipeIsWrittenInPlace() {
#ifndef Q_OS_UNIX
    QSKIP("named pipes are made with mkfifo");
#else
    Window window;
    window.list.append("a");
    const QByteArray pipe = QFile::encodeName(window.path("pipe"));
    QCOMPARE(mkfifo(pipe.constData(), 0600), 0);
    const int reader = open(pipe.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    window.desktop.answers << Desktop::Yes;
    window.click(Comma, "pipe");
    char received[16] = {};
    const ssize_t size = read(reader, received, sizeof received);
    close(reader);
    QCOMPARE(QByteArray(received, int(qMax<ssize_t>(size, 0))), "a,\r\n");
    QVERIFY(!QFileInfo(window.path("pipe")).isFile());
    QCOMPARE(window.files(), QStringList());
#endif
}

// The program ignores SIGPIPE from start-up, as this test does: a pipe
// whose reader has gone fails the write instead of ending the program.
void TestResults::pipesAreReported_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("readerQuits");
    QTest::addColumn<QString>("reason");
    QTest::newRow("nobody reads") << int(Aligned) << false
                                  << "Cannot write %1: no program is reading from this pipe";
    QTest::newRow("reader quits") << int(Comma) << true << "Cannot [a-z]+ %1: Broken pipe";
}

void TestResults::pipesAreReported() {
#ifndef Q_OS_UNIX
    QSKIP("named pipes are made with mkfifo");
#else
    QFETCH(int, button);
    QFETCH(bool, readerQuits);
    QFETCH(QString, reason);
    std::signal(SIGPIPE, SIG_IGN);
    Window window(Rows(3, {{"row"}, true}));
    const QString path = window.path("pipe");
    QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    int reader =
        readerQuits ? open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK) : -1;
    // Once the export has the pipe open.
    window.desktop.onYield[2] = [&] {
        if (reader >= 0)
            close(reader);
        reader = -1;
    };
    window.desktop.answers << Desktop::Yes;
    window.click(button, "pipe");
    const QStringList boxes = window.desktop.boxTexts();
    QVERIFY2(!boxes.isEmpty() &&
                 QRegularExpression('^' + reason.arg(QRegularExpression::escape(path)))
                     .match(boxes.value(1))
                     .hasMatch(),
             qPrintable(boxes.join('\n')));
    QCOMPARE(window.list.count(), 3);
    QCOMPARE(window.pointers.last(), 0);
#endif
}

// Where renaming a new file over the old one would change what the file is,
// the old file is written in place.
void TestResults::savedFileStaysWhatItWas_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"mode 0640", "two names", "symbolic link", "extended attribute",
                             "another owner", "read-only, as root"})
        QTest::newRow(kind) << kind;
}

void TestResults::savedFileStaysWhatItWas() {
#ifndef Q_OS_LINUX
    QSKIP("owners, links and attributes as Linux has them");
#else
    QFETCH(QString, kind);
    const bool root = geteuid() == 0;
    if ((kind == "another owner" || kind.endsWith("as root")) && !root)
        QSKIP("needs root");
    Window window;
    window.list.append("a");
    const QString file = window.path("r.txt");
    const QByteArray name = QFile::encodeName(file);
    QVERIFY(writeAll(file, "old\r\n"));
    QString target = file;
    if (kind == "mode 0640")
        QCOMPARE(chmod(name, 0640), 0);
    else if (kind == "two names")
        QCOMPARE(link(name, QFile::encodeName(window.path("other.txt"))), 0);
    else if (kind == "symbolic link")
        QVERIFY(QFile::link(file, target = window.path("link.txt")));
    else if (kind == "extended attribute" && setxattr(name, "user.lexigrove", "x", 1, 0) != 0)
        QSKIP("this file system keeps no user attributes");
    else if (kind == "another owner")
        QCOMPARE(chown(name, 65534, 65534), 0);
    else if (kind.endsWith("as root"))
        QCOMPARE(chmod(name, 0444), 0);
    struct stat before;
    QCOMPARE(stat(name, &before), 0);

    window.desktop.answers << Desktop::Yes;
    window.click(Comma, QFileInfo(target).fileName());
    QCOMPARE(window.desktop.boxes.size(), 1); // the overwrite question only
    QCOMPARE(readAll(file), "a,\r\n");
    QCOMPARE(readAll(window.path(kind == "two names" ? "other.txt" : "r.txt")), "a,\r\n");
    QVERIFY(QFileInfo(target).isSymLink() == (kind == "symbolic link"));
    struct stat after;
    QCOMPARE(stat(name, &after), 0);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_nlink, before.st_nlink);
    if (kind == "extended attribute")
        QCOMPARE(getxattr(name, "user.lexigrove", nullptr, 0), 1);
#endif
}

// Run by tests/results_nobody.sh as the user nobody, with folders that root
// prepared: a file nobody may write in a folder nobody may not write to,
// and root's file in a sticky folder that everyone may write to.
void TestResults::savedAsAnotherUser() {
    const QString folders = qEnvironmentVariable("LEXIGROVE_NOBODY_DIR");
    if (folders.isEmpty())
        QSKIP("needs the folders that tests/results_nobody.sh prepares");
    for (const char* folder : {"locked", "sticky"}) {
        Window window(Rows(2, {{"a"}, true}));
        const QString file = folders + '/' + folder + "/r.txt";
        for (int button : {Aligned, Comma}) {
            window.desktop.saveAnswers << file;
            window.desktop.answers << Desktop::Yes;
            window.click(button);
        }
        const QString question = "Are you sure you wish to overwrite " + file + " ?";
        QCOMPARE(window.desktop.boxTexts(), (QStringList{question, question}));
        QCOMPARE(readAll(file), "a,a,\r\n");
        QCOMPARE(QFileInfo(file).ownerId(), 0u);
    }
}

void TestResults::tickingManyRows() {
    Window window({{{"a"}, false}, {{"b"}, false}, {{"c"}, true}, {{"d"}, false}, {{"e"}, false}});
    ListView& list = window.list;
    window.actions.attach();
    window.actions.attach();
    QCOMPARE(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list.contextMenuPolicy(), Qt::ActionsContextMenu);
    list.listModel().flush();
    QItemSelectionModel* selection = list.selectionModel();
    selection->setCurrentIndex(list.listModel().index(1, 0), QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(list.listModel().index(1, 0), list.listModel().index(3, 0)),
                      QItemSelectionModel::Select);

    // The selected rows follow the current one, which Qt must not toggle again.
    QTest::keyClick(&list, Qt::Key_Space);
    QCOMPARE(window.marks(), QList<bool>({false, true, true, true, false}));
    QTest::keyClick(&list, Qt::Key_Space);
    QCOMPARE(window.marks(), QList<bool>(5, false));

    list.append("f"); // not yet shown
    QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(selection->selectedRows().size(), 6);
    QTest::keyClick(&list, Qt::Key_Space);
    QCOMPARE(window.marks(), QList<bool>(6, true));

    const QList<QAction*> menu = list.actions();
    QCOMPARE(menu.size(), 2);
    QCOMPARE(menu[1]->text(), "Untick All");
    menu[1]->trigger();
    QCOMPARE(window.marks(), QList<bool>(6, false));
    QCOMPARE(menu[0]->text(), "Tick All");
    selection->clearSelection();
    menu[0]->trigger();
    QCOMPARE(window.marks(), QList<bool>(6, true));
}

// A full and a read-only file system exist only inside the private mount
// namespace of results_faults.sh, which names their folders; the read-only
// one already holds r.txt.
void TestResults::brokenFileSystem_data() {
    if (qEnvironmentVariableIsSet("LEXIGROVE_FAULTS_SKIP"))
        QSKIP(qgetenv("LEXIGROVE_FAULTS_SKIP").constData());
    if (!qEnvironmentVariableIsSet("LEXIGROVE_FULL_DIR"))
        QSKIP("needs the file systems that tests/results_faults.sh mounts");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("reason");
    const QString full = qEnvironmentVariable("LEXIGROVE_FULL_DIR");
    const QString readOnly = qEnvironmentVariable("LEXIGROVE_READONLY_DIR");
    // A full disk fails one write or the final save; Qt refuses a read-only
    // target before it tries.
    const QString noSpace = "No space left on device";
    const QString refused = "(Read-only file system|Existing file .* is not writable)";
    QTest::newRow("aligned, full") << full << int(Aligned) << "(222|232)" << noSpace;
    QTest::newRow("comma, full") << full << int(Comma) << "(140|142)" << noSpace;
    QTest::newRow("aligned, read-only") << readOnly << int(Aligned) << "156" << refused;
    QTest::newRow("comma, read-only") << readOnly << int(Comma) << "130 140" << refused;
}

void TestResults::brokenFileSystem() {
    QFETCH(QString, folder);
    QFETCH(int, button);
    QFETCH(QString, lines);
    QFETCH(QString, reason);
    const QString target = folder + "/r.txt";
    QVERIFY(QFile::exists(target) || writeAll(target, "old bytes\r\n"));
    // About 150 kB, more than the 64 kB file system holds.
    Window window(Rows(5000, {{"WORD - a synonym of some length"}, true}));
    window.desktop.saveAnswers << target;
    window.desktop.answers << Desktop::Yes;
    window.click(button);

    QStringList reported;
    for (int line : window.reportedLines())
        reported << QString::number(line);
    QVERIFY2(QRegularExpression('^' + lines + '$').match(reported.join(' ')).hasMatch(),
             qPrintable(window.desktop.boxTexts().join('\n')));
    const QString first = window.desktop.boxTexts().value(1); // after the question
    QVERIFY2(first.contains(QRegularExpression("^Cannot [a-z]+ " + target + ": " + reason)),
             qPrintable(first));
    QCOMPARE(readAll(target), "old bytes\r\n");
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"r.txt"});
    QCOMPARE(window.pointers, QList<int>({11, 0}));
    QVERIFY(!window.texts.contains("Done."));
    QVERIFY(button == Comma || window.texts.last() == "Progress Bar");
}

QTEST_MAIN(TestResults)
#include "test_results.moc"
