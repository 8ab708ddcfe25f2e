// The command line as users run it: the real executable, on a database built
// from the fixture thesaurus, against the window's own exports.
#include "FixtureDatabase.h"
#include "Form1.h"
#include "ListView.h"
#include "ScriptedDesktop.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kProgram = QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove");

// Words that reach every rule the two front ends share: quoting, upper case,
// not-found rows, commas and quotes in the comma-delimited file, non-ASCII
// padding, an empty entry. CR LF at the end, where both read the same entries.
const QByteArray kWords = "random\r\nlook\r\ndon't\r\n\r\nsay \"hi\"\r\nx,y\r\ncafé\r\nкот\r\n"
                          "100%\r\nLoOk\r\nxqz\r\n";

struct Run {
    int status = -1;
    QByteArray out, err;
};

// Runs a shell command line with $LEXIGROVE set to the program.
Run shell(const QString& command, const QString& folder, const QStringList& unset = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset)
        env.remove(name);
    env.insert("LEXIGROVE", kProgram);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start("/bin/bash", {"-c", command});
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void sameBytesAsTheWindow_data();
    void sameBytesAsTheWindow();
    void runs_data();
    void runs();
    void closedPipeEndsQuietly();
    void failureKeepsTheOldFile_data();
    void failureKeepsTheOldFile();

  private:
    QTemporaryDir dir_;
};

void TestCli::initTestCase() {
    QVERIFY(dir_.isValid());
    BuildFixtureDatabase(dir_.path());
    writeBytes(dir_.filePath("words.txt"), kWords);
}

void TestCli::sameBytesAsTheWindow_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("button");
    QTest::newRow("aligned") << "aligned" << "PushButton4";
    QTest::newRow("csv") << "csv" << "PushButton9";
}

void TestCli::sameBytesAsTheWindow() {
    QFETCH(QString, format);
    QFETCH(QString, button);
    // The window: load the file, look up, tick every row, save.
    ScriptedDesktop desktop;
    Form1 form(desktop, dir_.path());
    QVERIFY(form.Form_Load());
    const QString windowFile = dir_.filePath("window-" + format);
    QFile::remove(windowFile);
    desktop.openAnswers << QStringList{dir_.filePath("words.txt")};
    desktop.saveAnswers << windowFile;
    form.findChild<QPushButton*>("PushButton3")->click();
    form.findChild<QPushButton*>("PushButton17")->click();
    auto* results = form.findChild<ListView*>("ListView2");
    QVERIFY(results->count() > 11);
    results->setAllChecked(true);
    form.findChild<QPushButton*>(button)->click();
    const QByteArray window = fileBytes(windowFile);

    // The command line, to a file and to standard output.
    const Run toFile = shell("$LEXIGROVE --lookup --format " + format +
                                 " --output cli.txt --database words.mdb words.txt",
                             dir_.path());
    QCOMPARE(toFile.status, 0);
    QCOMPARE(fileBytes(dir_.filePath("cli.txt")), window);
    const Run toOut = shell("$LEXIGROVE --database words.mdb --lookup --format=" + format +
                                " - < words.txt",
                            dir_.path());
    QCOMPARE(toOut.status, 0);
    QCOMPARE(toOut.out, window);
}

void TestCli::runs_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out"); // exact, or "*" followed by a part
    QTest::addColumn<QByteArray>("err"); // a part of standard error; empty: none at all

    QTest::newRow("rows from standard input")
        << "printf 'look\\nxqz\\n' | $LEXIGROVE --database words.mdb --lookup -" << 0
        << QByteArray("LOOK - expression\nLOOK - aspect\nLOOK - face\nLOOK - appear\n"
                      "LOOK - seem\nXQZ - this word not found in the database.\n")
        << QByteArray();
    QTest::newRow("files in order, empty lines kept")
        << "printf 'bare\\n\\n' > a; printf 'response\\r' > b; "
           "$LEXIGROVE --lookup --database words.mdb a b"
        << 0
        << QByteArray("BARE - this word not found in the database.\n"
                      " - this word not found in the database.\nRESPONSE - reply\n"
                      "RESPONSE - answer\n")
        << QByteArray();
    QTest::newRow("UTF-16 ending in LF")
        << "printf '\\377\\376x\\0q\\0z\\0\\n\\0' | $LEXIGROVE --database words.mdb --lookup -"
        << 0 << QByteArray("XQZ - this word not found in the database.\n") << QByteArray();
    // No display and no platform: a QApplication could not even start here.
    QTest::newRow("no display")
        << "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $LEXIGROVE --lookup "
           "--database words.mdb --quiet - <<< advantage"
        << 0 << QByteArray("ADVANTAGE - vantage\nADVANTAGE - benefit\n") << QByteArray();
    QTest::newRow("words.mdb beside the program by default")
        << "$LEXIGROVE --lookup - < /dev/null" << 0 << QByteArray() << QByteArray();
    QTest::newRow("help") << "$LEXIGROVE --help" << 0 << QByteArray("*--lookup") << QByteArray();
    QTest::newRow("version") << "$LEXIGROVE -v" << 0 << QByteArray("lexigrove " LEXIGROVE_VERSION "\n")
                             << QByteArray();
    QTest::newRow("missing word file")
        << "$LEXIGROVE --lookup --database words.mdb nosuch.txt" << 1 << QByteArray()
        << QByteArray("nosuch.txt: No such file or directory");
    QTest::newRow("word file is a folder")
        << "mkdir -p folder; $LEXIGROVE --lookup --database words.mdb folder" << 1 << QByteArray()
        << QByteArray("folder");
    QTest::newRow("NUL in a word")
        << "printf 'look\\nlo\\0ok\\n' | $LEXIGROVE --lookup --database words.mdb -" << 1
        << QByteArray() << QByteArray("line 2 of standard input");
    QTest::newRow("missing database")
        << "$LEXIGROVE --lookup --database none.mdb words.txt" << 1 << QByteArray()
        << QByteArray("none.mdb: not found");
    QTest::newRow("not a database")
        << "$LEXIGROVE --lookup --database words.txt words.txt" << 1 << QByteArray()
        << QByteArray("words.txt is not a synonym database");
    QTest::newRow("unwritable output")
        << "$LEXIGROVE --lookup --database words.mdb --output nodir/out.txt words.txt" << 1
        << QByteArray() << QByteArray("nodir/out.txt");
    QTest::newRow("full standard output")
        << "$LEXIGROVE --lookup --database words.mdb words.txt > /dev/full" << 1 << QByteArray()
        << QByteArray("No space left on device");
    QTest::newRow("unknown option") << "$LEXIGROVE --lookp words.txt" << 2 << QByteArray()
                                    << QByteArray("Unknown option 'lookp'");
    QTest::newRow("unknown format")
        << "$LEXIGROVE --lookup --format xml words.txt" << 2 << QByteArray()
        << QByteArray("unknown format 'xml'");
    QTest::newRow("no word file") << "$LEXIGROVE --lookup" << 2 << QByteArray()
                                  << QByteArray("Usage: lexigrove");
    QTest::newRow("output without lookup") << "$LEXIGROVE --output x words.txt" << 2
                                           << QByteArray() << QByteArray("--output goes with");
}

void TestCli::runs() {
    QFETCH(QString, command);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    // Beside the program lies the build's own words.mdb, which holds none of /dev/null.
    const Run run = shell(command, dir_.path());
    QVERIFY2(run.status == status, run.err.constData());
    if (out.startsWith('*'))
        QVERIFY2(run.out.contains(out.mid(1)), run.out.constData());
    else
        QCOMPARE(run.out, out);
    if (err.isEmpty())
        QCOMPARE(run.err, QByteArray());
    else
        QVERIFY2(run.err.contains(err), run.err.constData());
}

void TestCli::closedPipeEndsQuietly() {
    // Enough rows to fill the pipe many times over once head has gone.
    const Run run = shell("for i in $(seq 20000); do echo look; done > many.txt; "
                          "$LEXIGROVE --lookup --database words.mdb many.txt | head -c1; "
                          "echo \" ${PIPESTATUS[0]}\"",
                          dir_.path());
    QCOMPARE(run.out, QByteArray("L 141\n")); // 128 + SIGPIPE, as any filter ends
    QCOMPARE(run.err, QByteArray());
}

void TestCli::failureKeepsTheOldFile_data() {
    QTest::addColumn<QString>("arguments");
    QTest::newRow("unreadable word file") << "--database words.mdb words.txt nosuch.txt";
    QTest::newRow("bad word") << "--database words.mdb words.txt nul.txt";
    QTest::newRow("bad database") << "--database words.txt words.txt";
}

void TestCli::failureKeepsTheOldFile() {
    QFETCH(QString, arguments);
    QTemporaryDir out;
    writeBytes(out.filePath("old.txt"), "old content\n");
    writeBytes(dir_.filePath("nul.txt"), QByteArray("a\0b\n", 4));
    const Run run = shell("$LEXIGROVE --lookup --output '" + out.filePath("old.txt") + "' " +
                              arguments + "; $LEXIGROVE --lookup --output '" +
                              out.filePath("new.txt") + "' " + arguments,
                          dir_.path());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(fileBytes(out.filePath("old.txt")), QByteArray("old content\n"));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.txt"});
}

QTEST_MAIN(TestCli)
#include "test_cli.moc"
