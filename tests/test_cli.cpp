// The command line as users run it: the real executable, on a database built
// from the fixture thesaurus, against the window's own exports.
#include "FixtureDatabase.h"
#include "Form1.h"
#include "ListView.h"
#include "ScriptedDesktop.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

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
    void readBackByStandardReaders_data();
    void readBackByStandardReaders();
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
    QTest::newRow("aligned") << "aligned"
                             << "PushButton4";
    QTest::newRow("csv") << "csv"
                         << "PushButton9";
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
    const Run toOut =
        shell("$LEXIGROVE --database words.mdb --lookup --format=" + format + " - < words.txt",
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
        << "printf '\\377\\376x\\0q\\0z\\0\\n\\0' | $LEXIGROVE --database words.mdb --lookup -" << 0
        << QByteArray("XQZ - this word not found in the database.\n") << QByteArray();
    // No display and no platform: a QApplication could not even start here.
    QTest::newRow("no display")
        << "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $LEXIGROVE --lookup "
           "--database words.mdb --quiet - <<< advantage"
        << 0 << QByteArray("ADVANTAGE - vantage\nADVANTAGE - benefit\n") << QByteArray();
    QTest::newRow("words.mdb beside the program by default")
        << "$LEXIGROVE --lookup - < /dev/null" << 0 << QByteArray() << QByteArray();
    QTest::newRow("table: a header, a record per pair, quoted only where needed")
        << "printf 'Look\\nx,y\\nsay \"hi\"\\n' | $LEXIGROVE --database words.mdb --lookup "
           "--format table -"
        << 0
        << QByteArray("word,synonym,pos,relation\r\nLook,expression,noun,synonym\r\n"
                      "Look,aspect,noun,synonym\r\nLook,face,noun,similar term\r\n"
                      "Look,appear,verb,synonym\r\nLook,seem,verb,synonym\r\n\"x,y\",,,\r\n"
                      "\"say \"\"hi\"\"\",greet,verb,synonym\r\n")
        << QByteArray();
    QTest::newRow("jsonl: an object per pair, null for none")
        << "printf 'Advantage\\nxqz\\n' | $LEXIGROVE --database words.mdb --lookup --format "
           "jsonl -"
        << 0
        << QByteArray("{\"word\": \"Advantage\", \"synonym\": \"vantage\", \"pos\": \"noun\", "
                      "\"relation\": \"synonym\"}\n{\"word\": \"Advantage\", \"synonym\": "
                      "\"benefit\", \"pos\": \"noun\", \"relation\": \"related term\"}\n"
                      "{\"word\": \"xqz\", \"synonym\": null, \"pos\": null, \"relation\": "
                      "null}\n")
        << QByteArray();
    QTest::newRow("filters: a word with no pair left is not found")
        << "printf 'look\\nadvantage\\n' | $LEXIGROVE --database words.mdb --lookup --pos "
           "verb --relation synonym --pos adj -"
        << 0
        << QByteArray("LOOK - appear\nLOOK - seem\nADVANTAGE - this word not found in the "
                      "database.\n")
        << QByteArray();
    QTest::newRow("unknown part of speech: the database's are listed")
        << "$LEXIGROVE --lookup --database words.mdb --pos adjective words.txt" << 2 << QByteArray()
        << QByteArray("holds no part of speech 'adjective'; it holds: adj, noun, verb\n");
    QTest::newRow("unknown relation")
        << "$LEXIGROVE --lookup --database words.mdb --relation antonym words.txt" << 2
        << QByteArray() << QByteArray("it holds: related term, similar term, synonym\n");
    QTest::newRow("pos without lookup")
        << "$LEXIGROVE --pos noun" << 2 << QByteArray() << QByteArray("--pos goes with");
    QTest::newRow("help") << "$LEXIGROVE --help" << 0 << QByteArray("*--lookup") << QByteArray();
    QTest::newRow("version") << "$LEXIGROVE -v" << 0
                             << QByteArray("lexigrove " LEXIGROVE_VERSION "\n") << QByteArray();
    QTest::newRow("missing word file")
        << "$LEXIGROVE --lookup --database words.mdb nosuch.txt" << 1 << QByteArray()
        << QByteArray("nosuch.txt: No such file or directory");
    QTest::newRow("word file is a folder")
        << "mkdir -p folder; $LEXIGROVE --lookup --database words.mdb folder" << 1 << QByteArray()
        << QByteArray("folder");
    QTest::newRow("NUL in a word")
        << "printf 'look\\nlo\\0ok\\n' | $LEXIGROVE --lookup --database words.mdb -" << 1
        << QByteArray() << QByteArray("line 2 of standard input");
    QTest::newRow("missing database") << "$LEXIGROVE --lookup --database none.mdb words.txt" << 1
                                      << QByteArray() << QByteArray("none.mdb: not found");
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
    QTest::newRow("unknown format") << "$LEXIGROVE --lookup --format xml words.txt" << 2
                                    << QByteArray() << QByteArray("unknown format 'xml'");
    QTest::newRow("no word file") << "$LEXIGROVE --lookup" << 2 << QByteArray()
                                  << QByteArray("Usage: lexigrove");
    QTest::newRow("output without lookup") << "$LEXIGROVE --output x words.txt" << 2 << QByteArray()
                                           << QByteArray("--output goes with");
    // Debian's mythes-is; each row has a cache of its own.
    QTest::newRow("language: prepared on first use, quietly off a terminal")
        << "export XDG_CACHE_HOME=$PWD/first; $LEXIGROVE --language is-IS --lookup - <<< "
           "Bandaríkin"
        << 0 << QByteArray("BANDARÍKIN - Ameríka\nBANDARÍKIN - Bandaríki Norður-Ameríku\n")
        << QByteArray();
    QTest::newRow("language: progress at a terminal")
        << "export XDG_CACHE_HOME=$PWD/tty; script -qec '$LEXIGROVE --language is --lookup - "
           "< /dev/null' /dev/null"
        << 0 << QByteArray("*\rPreparing Íslenska: 100%\r\n") << QByteArray();
    QTest::newRow("languages: built or not, and the file")
        << "export XDG_CACHE_HOME=$PWD/list; $LEXIGROVE --languages | grep '^is'; "
           "$LEXIGROVE --language is --lookup - < /dev/null; $LEXIGROVE --languages | grep '^is'"
        << 0
        << QByteArray("is\tÍslenska\tnot built\t/usr/share/mythes/th_is_IS_v2.dat\n"
                      "is\tÍslenska\tbuilt\t/usr/share/mythes/th_is_IS_v2.dat\n")
        << QByteArray();
    QTest::newRow("language not installed: the installed ones listed")
        << "$LEXIGROVE --language qq --lookup words.txt" << 2 << QByteArray()
        << QByteArray("no thesaurus for 'qq'; installed: ");
    QTest::newRow("language cannot be prepared")
        << "touch file; XDG_CACHE_HOME=$PWD/file $LEXIGROVE --language is --lookup words.txt" << 1
        << QByteArray() << QByteArray("cannot prepare the thesaurus Íslenska: ");
    QTest::newRow("language on a full disk: nothing half-built left")
        << "mkdir -p small; unshare -rm sh -c 'mount -t tmpfs -o size=64k tmpfs small && "
           "XDG_CACHE_HOME=$PWD/small $LEXIGROVE --language is --lookup - < /dev/null; s=$?; "
           "ls -A small/lexigrove; exit $s'"
        << 1 << QByteArray() << QByteArray("is.mdb: database or disk is full");
    QTest::newRow("language and database")
        << "$LEXIGROVE --language fr --database words.mdb" << 2 << QByteArray()
        << QByteArray("--language and --database cannot go");
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

void TestCli::readBackByStandardReaders_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("reader"); // Python: the records of standard input as lists, in JSON
    QTest::addColumn<QString>("pos");
    QTest::addColumn<QString>("relation");
    const QString csvReader = "import csv, json, sys\n"
                              "records = list(csv.reader(open(0, encoding='utf-8', newline='')))\n"
                              "assert records.pop(0) == ['word', 'synonym', 'pos', 'relation']\n"
                              "print(json.dumps(records))\n";
    const QString jsonReader = "import json, sys\n"
                               "records = []\n"
                               "for line in open(0, encoding='utf-8', newline=''):\n"
                               "    assert line.endswith('}\\n')\n"
                               "    o = json.loads(line)\n"
                               "    assert list(o) == ['word', 'synonym', 'pos', 'relation']\n"
                               "    records.append([v or '' for v in o.values()])\n"
                               "print(json.dumps(records))\n";
    QTest::newRow("table") << "--format table" << csvReader << ""
                           << "";
    QTest::newRow("jsonl") << "--format jsonl" << jsonReader << ""
                           << "";
    QTest::newRow("table, filtered")
        << "--format table --pos adj,verb --relation synonym" << csvReader << "adj,verb"
        << "synonym";
    QTest::newRow("jsonl, filtered")
        << "--format jsonl --relation 'similar term'" << jsonReader << ""
        << "similar term";
}

void TestCli::readBackByStandardReaders() {
    QFETCH(QString, options);
    QFETCH(QString, reader);
    QFETCH(QString, pos);
    QFETCH(QString, relation);
    // Besides the shared words: control characters, which JSON must escape.
    const QByteArray words = kWords + "tab\there\r\nbell\x07\r\n";
    writeBytes(dir_.filePath("readback.txt"), words);
    writeBytes(dir_.filePath("reader.py"), reader.toUtf8());

    // What the records must say, straight from the database.
    QJsonArray expected;
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(dir_.filePath("words.mdb")).constData(), &db,
                             SQLITE_OPEN_READONLY, nullptr),
             SQLITE_OK);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db,
                       "select synonym, pos, relation from qrySynonyms where word = ?1 and "
                       "(?2 = '' or instr(',' || ?2 || ',', ',' || pos || ',')) and "
                       "(?3 = '' or relation = ?3)",
                       -1, &query, nullptr);
    const QByteArray posList = pos.toUtf8(), relationText = relation.toUtf8();
    QByteArrayList lines = words.split('\n');
    lines.removeLast(); // after the last CR LF
    for (const QByteArray& word : lines) {
        const QString text = QString::fromUtf8(word.chopped(1)); // without its CR
        sqlite3_bind_text(query, 1, word.constData(), int(word.size() - 1), SQLITE_STATIC);
        sqlite3_bind_text(query, 2, posList.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(query, 3, relationText.constData(), -1, SQLITE_STATIC);
        const qsizetype before = expected.size();
        while (sqlite3_step(query) == SQLITE_ROW) {
            QJsonArray record{text};
            for (int c = 0; c < 3; ++c)
                record.append(QString::fromUtf8((const char*)sqlite3_column_text(query, c)));
            expected.append(record);
        }
        if (expected.size() == before)
            expected.append(QJsonArray{text, "", "", ""});
        sqlite3_reset(query);
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    QVERIFY(expected.size() >= lines.size());

    const Run run = shell("$LEXIGROVE --lookup --database words.mdb " + options +
                              " readback.txt | python3 reader.py",
                          dir_.path());
    QVERIFY2(run.status == 0, run.err.constData());
    QCOMPARE(QJsonDocument::fromJson(run.out).toJson(), QJsonDocument(expected).toJson());
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
    const Run run =
        shell("$LEXIGROVE --lookup --output '" + out.filePath("old.txt") + "' " + arguments +
                  "; $LEXIGROVE --lookup --output '" + out.filePath("new.txt") + "' " + arguments,
              dir_.path());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(fileBytes(out.filePath("old.txt")), QByteArray("old content\n"));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.txt"});
}

QTEST_MAIN(TestCli)
#include "test_cli.moc"
