// SPDX-License-Identifier: GPL-3.0-or-later
// The window against a broken synonym database, and closed in the middle of
// each long operation while the real event loop runs, as the program runs it.
#include "FixtureDatabase.h"
#include "Form1.h"
#include "ListView.h"
#include "ScriptedDesktop.h"

#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

namespace {
enum Fault {
    Missing,
    Folder,
    DanglingLink,
    LinkToFolder,
    Empty,
    RandomBytes,
    JetFile,
    WordListFile,
    NoQuery,
    NoSynonymField,
    Locked
};
enum Action { Run, Aligned, Comma, Copy, LoadQueuedClose, LoadClosedAtBox };

const char* const kSampleWords[] = {"random", "look", "advantage", "response"};
const QString kNotFound = QStringLiteral(" - this word not found in the database.");

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool sqliteFile(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    const bool made = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                      sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return made;
}

// True while another connection keeps this one from reading the schema.
bool lockedAgainstReaders(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const int rc =
        sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_BUSY;
}
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void brokenDatabase_data();
    void brokenDatabase();
    void closeEndsTheProgram_data();
    void closeEndsTheProgram();

  private:
    bool load();
    template <class T = QWidget> T* child(const char* name) {
        return form_->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { child<QPushButton>(name)->click(); }
    QString path(const QString& name) const { return folder_->filePath(name); }
    QStringList files() const {
        return QDir(folder_->path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ScriptedDesktop> desktop_;
    std::unique_ptr<Form1> form_;
};

void TestFaults::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    BuildFixtureDatabase(folder_->path());
    desktop_ = std::make_unique<ScriptedDesktop>();
}

void TestFaults::cleanup() {
    form_.reset();
    desktop_.reset();
    folder_.reset();
}

bool TestFaults::load() {
    form_ = std::make_unique<Form1>(*desktop_, folder_->path());
    const bool loaded = form_->Form_Load();
    if (loaded)
        form_->show();
    return loaded;
}

void TestFaults::brokenDatabase_data() {
    QTest::addColumn<int>("fault");
    // The one box that start-up shows, if any; a missing file ends the program.
    QTest::addColumn<QString>("startUp");
    // The report of each word that the run cannot look up, and how many.
    QTest::addColumn<QString>("perWord");
    QTest::addColumn<int>("reports");
    const QString missing = "^%1/words.mdb not found$";
    const QString foreign =
        "^%1/words.mdb is not a synonym database Lexigrove can read "
        "\\(%2\\)\\.\r\nin Lexigrove2021/08/31\\.Form1\\.Form_Load at line 146\r\r";
    const QString noConnection =
        "^The connection cannot be used.*PushButton17_Click at line 130\r\r";
    const QString notADatabase = foreign.arg("%1", "file is not a database");
    QTest::newRow("missing") << int(Missing) << missing << "" << 0;
    QTest::newRow("folder") << int(Folder) << missing << "" << 0;
    QTest::newRow("dangling link") << int(DanglingLink) << missing << "" << 0;
    QTest::newRow("link to a folder") << int(LinkToFolder) << missing << "" << 0;
    QTest::newRow("empty file") << int(Empty) << foreign.arg("%1", "it holds no tables")
                                << noConnection << 4;
    QTest::newRow("random bytes") << int(RandomBytes) << notADatabase << noConnection << 4;
    QTest::newRow("Access (Jet) file") << int(JetFile) << notADatabase << noConnection << 4;
    QTest::newRow("word list file") << int(WordListFile) << notADatabase << noConnection << 4;
    QTest::newRow("no qrySynonyms")
        << int(NoQuery) << ""
        << "^no such table: qrySynonyms\r\n.*PushButton17_Click at line 130\r\r" << 4;
    // Only "look" has a row, and it has no synonym field; the others are not found.
    QTest::newRow("no synonym field")
        << int(NoSynonymField) << ""
        << "^Item cannot be found in the collection.*PushButton17_Click at line 142\r\r" << 1;
    QTest::newRow("locked by another program")
        << int(Locked)
        << "^Cannot read the synonym database %1/words.mdb: another program has locked it "
           "\\(database is locked\\)\\.\r\n.* at line 146\r\r"
        << noConnection << 4;
}

void TestFaults::brokenDatabase() {
    QFETCH(int, fault);
    QFETCH(QString, startUp);
    QFETCH(QString, perWord);
    QFETCH(int, reports);
    const QString database = path("words.mdb");
    QVERIFY(QFile::remove(database));
    QProcess locker;
    switch (Fault(fault)) {
    case Missing:
        break;
    case Folder:
        QVERIFY(QDir(folder_->path()).mkdir("words.mdb"));
        break;
    case DanglingLink:
        QVERIFY(QFile::link(path("gone.mdb"), database));
        break;
    case LinkToFolder:
        QVERIFY(QDir(folder_->path()).mkdir("data"));
        QVERIFY(QFile::link(path("data"), database));
        break;
    case Empty:
        QVERIFY(writeAll(database, {}));
        break;
    case RandomBytes: {
        QByteArray bytes(8192, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        QVERIFY(writeAll(database, bytes));
        break;
    }
    case JetFile:
        QVERIFY(writeAll(database, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) +
                                       QByteArray(4076, '\0')));
        break;
    case WordListFile:
        QVERIFY(writeAll(database, "random\r\nlook\r\nadvantage\r\n"));
        break;
    case NoQuery:
        QVERIFY(sqliteFile(database, "create table headword(word text)"));
        break;
    case NoSynonymField:
        QVERIFY(sqliteFile(database, "create view qrySynonyms as "
                                     "select 'look' as word, 'glance' as meaning"));
        break;
    case Locked:
        QVERIFY(sqliteFile(database, "create view qrySynonyms as select 1 as word, 2 as synonym"));
        // The sqlite3 shell holds the lock until its input ends.
        locker.start("sqlite3", {database});
        if (!locker.waitForStarted())
            QSKIP("the sqlite3 shell is not installed");
        // Without a busy timeout the shell gives up its lock request for good when
        // it meets the shared lock of one of the checks below.
        locker.write(".timeout 10000\nbegin exclusive;\n");
        locker.waitForBytesWritten();
        QTRY_VERIFY_WITH_TIMEOUT(lockedAgainstReaders(database), 10000);
        break;
    }

    const bool shown = load();
    const QStringList startBoxes = desktop_->boxTexts();
    QCOMPARE(startBoxes.size(), startUp.isEmpty() ? 0 : 1);
    if (!startUp.isEmpty())
        QVERIFY2(QRegularExpression(startUp.arg(folder_->path()),
                                    QRegularExpression::DotMatchesEverythingOption)
                     .match(startBoxes[0])
                     .hasMatch(),
                 qPrintable(startBoxes[0]));
    locker.closeWriteChannel();
    locker.waitForFinished();
    if (startUp.endsWith("not found$")) {
        QVERIFY(!shown); // the program ends here
        return;
    }
    QVERIFY(shown);

    // The window works on: each word is reported once, the others are not found.
    desktop_->boxes.clear();
    click("PushButton8");
    click("PushButton17");
    const QStringList boxes = desktop_->boxTexts();
    QCOMPARE(boxes.size(), reports + 1);
    for (int i = 0; i < reports; ++i)
        QVERIFY2(QRegularExpression(perWord, QRegularExpression::DotMatchesEverythingOption)
                     .match(boxes[i])
                     .hasMatch(),
                 qPrintable(boxes[i]));
    QCOMPARE(boxes.last(), "Done.");
    auto* results = child<ListView>("ListView2");
    QByteArray expected;
    for (const char* word : kSampleWords)
        if (Fault(fault) == NoSynonymField && qstrcmp(word, "look") != 0)
            expected += QString(word).toUpper().toUtf8() + kNotFound.toUtf8() + ',';
    QCOMPARE(results->count(), int(expected.count(',')));
    QCOMPARE(child<QPushButton>("PushButton17")->text(), "Start Looking Up Synonyms");
    QCOMPARE(form_->MousePointer(), 0);

    desktop_->saveAnswers << path("rows.csv");
    click("PushButton9");
    QCOMPARE(readAll(path("rows.csv")), expected + "\r\n");
    click("PushButton2");
    QCOMPARE(results->count(), 0);
    QCOMPARE(desktop_->boxes.size(), reports + 1);
    form_->close();
    QCOMPARE(desktop_->boxes.size(), reports + 1);
    QCOMPARE(form_->connection().State(), 0);
}

void TestFaults::closeEndsTheProgram_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("closeAt"); // the event yield of the action at which the window closes
    QTest::newRow("lookup run") << int(Run) << 3;
    QTest::newRow("aligned export, measuring") << int(Aligned) << 5;
    QTest::newRow("aligned export, writing rows") << int(Aligned) << 40;
    QTest::newRow("comma export") << int(Comma) << 6;
    QTest::newRow("clipboard copy, measuring") << int(Copy) << 4;
    QTest::newRow("clipboard copy, building") << int(Copy) << 20;
    // Loading lets no events run: a close asked for meanwhile waits for it.
    QTest::newRow("loading a word file, close queued") << int(LoadQueuedClose) << 0;
    QTest::newRow("loading word files, closed at a box") << int(LoadClosedAtBox) << 0;
}

void TestFaults::closeEndsTheProgram() {
    QFETCH(int, action);
    QFETCH(int, closeAt);
    QVERIFY(load());
    click("PushButton8");
    click("PushButton17");
    auto* words = child<ListView>("ListView1");
    auto* results = child<ListView>("ListView2");
    QCOMPARE(results->count(), 11);
    results->setAllChecked(true);
    QVERIFY(writeAll(path("kept.txt"), "old contents\r\n"));
    QByteArray lines;
    for (int i = 0; i < 50000; ++i)
        lines += "word" + QByteArray::number(i) + "\r\n";
    QVERIFY(writeAll(path("more.txt"), lines));
    const QStringList filesBefore = files();
    desktop_->clipboard = "before";
    desktop_->boxes.clear();

    int rowsAtClose = -1;
    int wordsAtClose = -1;
    qsizetype boxesAtClose = -1;
    const auto closeNow = [&] {
        rowsAtClose = results->count();
        wordsAtClose = words->count();
        boxesAtClose = desktop_->boxes.size();
        form_->close();
    };
    if (closeAt > 0)
        desktop_->onYield[desktop_->yields + closeAt] = closeNow;
    const char* button = nullptr;
    switch (Action(action)) {
    case Run:
        button = "PushButton17";
        break;
    case Aligned:
    case Comma:
        button = Action(action) == Aligned ? "PushButton4" : "PushButton9";
        desktop_->saveAnswers << path("kept.txt");
        desktop_->answers << Desktop::Yes; // replacing it
        break;
    case Copy:
        button = "PushButton5";
        break;
    case LoadQueuedClose:
        button = "PushButton3";
        desktop_->openAnswers << QStringList{path("more.txt")};
        desktop_->onDialog = [&] { QTimer::singleShot(0, form_.get(), closeNow); };
        break;
    case LoadClosedAtBox:
        button = "PushButton3";
        desktop_->openAnswers << QStringList{path("gone.txt"), path("more.txt")};
        desktop_->onBox = [&](const ScriptedDesktop::Box&) { closeNow(); };
        break;
    }

    // As the program runs: the click arrives through the event loop, and the
    // close ends the loop with the program's exit code.
    QTimer::singleShot(0, form_.get(), [&] { click(button); });
    QTimer guard;
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(120000);
    QCOMPARE(QCoreApplication::exec(), 0);

    QVERIFY(desktop_->isClosing());
    QVERIFY(!form_->isVisible());
    QCOMPARE(form_->connection().State(), 0);
    // Nothing of the interrupted operation ran after the close.
    QCOMPARE(desktop_->boxes.size(), boxesAtClose);
    QCOMPARE(results->count(), rowsAtClose);
    const int loaded = Action(action) == LoadQueuedClose ? 50000 : 0;
    QCOMPARE(words->count(), 4 + loaded);
    QCOMPARE(wordsAtClose, 4 + loaded);
    // No temporary file left, and the old ones intact.
    QCOMPARE(files(), filesBefore);
    QCOMPARE(readAll(path("kept.txt")), "old contents\r\n");
    QCOMPARE(desktop_->clipboard, "before");
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
