// SPDX-License-Identifier: GPL-3.0-or-later
// The command line as users run it: the real executable, on a database built
// from the fixture thesaurus, against the window's own exports.
#include "FixtureDatabase.h"
#include "FormFixtures.h"
#include "Form1.h"
#include "ListView.h"
#include "ProgramInfo.h"
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
Run shell(const QString& command, const QString& folder, const QStringList& unset = {},
          int timeoutMs = 60000) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset)
        env.remove(name);
    env.insert("LEXIGROVE", kProgram);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start("/bin/bash", {"-c", command});
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs))
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
    void outputAlreadyOpen_data();
    void outputAlreadyOpen() { runs(); }
    void outputThatIsAnInput_data();
    void outputThatIsAnInput() { runs(); }
    void oldContentStays_data();
    void oldContentStays() { runs(); }
    void noRoomLeavesTheFileAlone();
    void streams_data();
    void streams() { runs(); }
    void namesAreBytes_data();
    void namesAreBytes() { runs(); }
    void errorsNameTheCause_data();
    void errorsNameTheCause() { runs(); }
    void qtOptions_data();
    void qtOptions() { runs(); }
    void readBackByStandardReaders_data();
    void readBackByStandardReaders();
    void closedPipeEndsQuietly();
    void labelledThesaurus_data();
    void labelledThesaurus();
    void formThroughAMarkedPrefix();
    void failureKeepsTheOldFile_data();
    void failureKeepsTheOldFile();
    void workbookHoldsTheTableRecords_data();
    void workbookHoldsTheTableRecords();
    void workbookCellLimit_data();
    void workbookCellLimit();
    void workbookContinuesOnNewSheets();
    void checkedBeforeAnyBuild_data();
    void checkedBeforeAnyBuild() { runs(); }

  private:
    QTemporaryDir dir_;
};

void TestCli::initTestCase() {
    QVERIFY(dir_.isValid());
    BuildFixtureDatabase(dir_.path());
    writeBytes(dir_.filePath("words.txt"), kWords);
    writeBytes(dir_.filePath("look.txt"), "look\n");
    writeBytes(dir_.filePath("long.txt"), "look\n" + QByteArray(1024 * 1024 + 1, 'a'));
}

namespace {
const QByteArray kLookRows =
    "LOOK - expression\nLOOK - aspect\nLOOK - face\nLOOK - appear\nLOOK - seem\n";
// A cap on the program's memory that an unbounded read would hit. AddressSanitizer reserves
// terabytes of address space at start, so under it the rows run without the cap.
#ifdef LEXIGROVE_SANITIZED
const QString kMemoryCap;
#else
const QString kMemoryCap = "ulimit -v 1500000; ";
#endif
// What --version prints, in GNU's form.
const QByteArray kVersionText =
    QByteArray("lexigrove " LEXIGROVE_VERSION "\n") + program_info::kCopyrightLines;
// The lookup of look.txt, and the shell's own ways to hand it a file.
const QString kLook = "$LEXIGROVE --lookup --database words.mdb ";

void addRunColumns() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out"); // exact, or "*" followed by a part
    QTest::addColumn<QByteArray>("err"); // a part of standard error; empty: none at all
}
} // namespace

void TestCli::outputAlreadyOpen_data() {
    addRunColumns();
    const QString grouped = "{ echo header; " + kLook +
                            "--output %1 look.txt; echo footer; } > "
                            "report.txt; s=$?; cat report.txt; exit $s";
    for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"})
        QTest::addRow("%s in a group keeps its place", name)
            << grouped.arg(name) << 0 << "header\n" + kLookRows + "footer\n"
            << QByteArray();
    QTest::newRow(">> appends") << "echo earlier > report.txt; " + kLook +
                                       "--output /dev/stdout look.txt >> report.txt; cat report.txt"
                                << 0 << "earlier\n" + kLookRows << QByteArray();
    QTest::newRow("another descriptor")
        << "echo earlier > report.txt; " + kLook +
               "--output /dev/fd/3 look.txt 3>> report.txt; cat report.txt"
        << 0 << "earlier\n" + kLookRows << QByteArray();
}

void TestCli::outputThatIsAnInput_data() {
    addRunColumns();
    // Whatever happens, the inputs are shown as they were.
    const QString after = "; s=$?; cat same.txt; cmp -s words.mdb own.mdb && echo same; exit $s";
    const QString setUp = "echo look > same.txt; ln -f same.txt hard.txt; ln -sf same.txt "
                          "soft.txt; cp words.mdb own.mdb; ";
    const auto row = [&](const char* name, const QString& arguments, const char* err) {
        QTest::newRow(name) << setUp + "$LEXIGROVE --lookup " + arguments + after << 1
                            << QByteArray("look\nsame\n") << QByteArray(err);
    };
    row("itself", "--database own.mdb --output same.txt same.txt",
        "Cannot write the results to same.txt: it is the word file same.txt itself");
    row("a symbolic link", "--database own.mdb --output soft.txt look.txt same.txt",
        "soft.txt: it is the word file same.txt");
    row("a hard link", "--database own.mdb --output hard.txt same.txt",
        "hard.txt: it is the word file same.txt");
    row("standard input", "--database own.mdb --output same.txt - < same.txt",
        "same.txt: it is the word file standard input");
    row("standard output appended to", "--database own.mdb look.txt same.txt >> same.txt",
        "standard output: it is the word file same.txt");
    row("the database", "--database own.mdb --output ./own.mdb same.txt",
        "./own.mdb: it is the synonym database own.mdb itself");
}

// A file with a second name is written in place; neither name may ever hold
// a half-written file.
void TestCli::oldContentStays_data() {
    addRunColumns();
    const QString setUp = "echo old > kept.txt; ln -f kept.txt other.txt; ";
    const QString after = "; s=$?; cat kept.txt other.txt; ls .lexigrove-* 2>/dev/null; exit $s";
    QTest::newRow("a complete run replaces both names")
        << setUp + kLook + "--output kept.txt look.txt" + after << 0 << kLookRows + kLookRows
        << QByteArray();
    QTest::newRow("a failure keeps both")
        << setUp + kLook + "--output kept.txt look.txt long.txt" + after << 1
        << QByteArray("old\nold\n") << QByteArray("line 2 is longer than 1048576 bytes");
    for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}, {"HUP", 129}}) {
        QTest::addRow("SIG%s before the end keeps both", signal)
            << "set -m; exec 2>/dev/null; " + setUp + "(echo look; sleep 5) | " + kLook +
                   "--output kept.txt - & sleep 1; kill -" + signal +
                   " $!; wait $!; s=$?; cat kept.txt other.txt; exit $((s > 128))"
            << 1 << QByteArray("old\nold\n") << QByteArray();
        // A workbook's temporary folder is there while it is made, and gone after the signal.
        QTest::addRow("SIG%s leaves no workbook folder", signal)
            << "set -m; exec 2>/dev/null; mkdir -p wtmp; (echo look; sleep 5) | TMPDIR=$PWD/wtmp " +
                   kLook + "--format xlsx --output int.xlsx - & sleep 1; ls wtmp | wc -l; kill -" +
                   signal + " $!; wait $!; echo $?; ls -A wtmp"
            << 0 << "1\n" + QByteArray::number(status) + '\n'
            << QByteArray();
    }
    QTest::newRow("a file with one name: no copy left behind")
        << "set -m; exec 2>/dev/null; echo old > one.txt; (echo look; sleep 5) | " + kLook +
               "--output one.txt - & sleep 1; kill -INT $!; wait $!; cat one.txt; ls -A | grep "
               "lexigrove-; exit 0"
        << 0 << QByteArray("old\n") << QByteArray();
}

// A file that must keep its identity, on a file system without a free
// inode and with no temporary folder: nothing can be prepared, so nothing
// is touched.
void TestCli::noRoomLeavesTheFileAlone() {
    if (shell("unshare -rm true", dir_.path()).status != 0)
        QSKIP("unshare -rm cannot make a private mount namespace here");
    const Run run = shell(
        "unshare -rm sh -c 'mkdir -p m && mount -t tmpfs -o size=64k,nr_inodes=8 none m && cd m "
        "&& echo old > a && ln a b && i=0; while touch f$i 2>/dev/null; do i=$((i+1)); done; "
        "TMPDIR=/nonexistent \"$LEXIGROVE\" --lookup --database ../words.mdb --output a "
        "../look.txt; s=$?; cat a b; exit $s'",
        dir_.path());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray("old\nold\n"));
    QVERIFY2(run.err.contains("Cannot save a: there is no room to prepare its new content, "
                              "neither beside it nor in /nonexistent"),
             run.err.constData());
}

void TestCli::streams_data() {
    addRunColumns();
    QTest::newRow("rows leave while the input is still open")
        << "(echo look; sleep 4; echo xqz) | " + kLook +
               "- | { IFS= read -r row; echo \"$row, soon: $((SECONDS < 3))\"; cat >/dev/null; }"
        << 0 << QByteArray("LOOK - expression, soon: 1\n") << QByteArray();
    QTest::newRow("tables stream too")
        << "(echo look; sleep 4) | " + kLook +
               "--format jsonl - | { IFS= read -r row; echo \"${row:0:16} $((SECONDS < 3))\"; }"
        << 0 << QByteArray("{\"word\": \"look\", 1\n") << QByteArray();
    // A writer that does not wait for its lock would fail at once.
    QTest::newRow("no lock while waiting")
        << "cp words.mdb locked.mdb; (echo look; sleep 3; echo look) | $LEXIGROVE --lookup "
           "--database locked.mdb - > /dev/null & sleep 1.5; python3 -c \"import sqlite3; "
           "c = sqlite3.connect('locked.mdb', timeout=0); c.execute('begin exclusive'); "
           "c.commit(); print('written')\"; wait"
        << 0 << QByteArray("written\n") << QByteArray();
    QTest::newRow("an endless line ends with an error, not out of memory")
        << kMemoryCap + "$LEXIGROVE --lookup --database words.mdb /dev/zero" << 1 << QByteArray()
        << QByteArray("Cannot read /dev/zero: line 1 is longer than 1048576");
    QTest::newRow("endless words in bounded memory")
        << kMemoryCap + "yes | $LEXIGROVE --lookup --database words.mdb - | head -n 2" << 0
        << QByteArray("Y - this word not found in the database.\n"
                      "Y - this word not found in the database.\n")
        << QByteArray();
    QTest::newRow("process substitution")
        << kLook + "<(echo look) <(sleep 1; printf 'xqz\\r')" << 0
        << kLookRows + "XQZ - this word not found in the database.\n"
        << QByteArray();
    QTest::newRow("a named pipe is waited for, as cat waits")
        << "rm -f fifo; mkfifo fifo; " + kLook + "fifo & sleep 1; echo look > fifo; wait $!" << 0
        << kLookRows << QByteArray();
    QTest::newRow("every file is checked before the first word")
        << "echo look | " + kLook + "- nosuch.txt" << 1 << QByteArray()
        << QByteArray("nosuch.txt: No such file or directory");
    QTest::newRow("a pipe's lines are decided one by one")
        << "printf 'caf\\xe9\\ncafé\\n' | " + kLook + "--format jsonl - | cut -c1-18 | uniq" << 0
        << QByteArray("{\"word\": \"café\", \n") << QByteArray();
}

void TestCli::namesAreBytes_data() {
    addRunColumns();
    QTest::newRow("not UTF-8")
        << "printf 'look\\n' > $'w\\xff.txt'; cp words.mdb $'d\\xfe.mdb'; rm -f $'o\\xfd.txt'; "
           "$LEXIGROVE --lookup --database $'d\\xfe.mdb' --output $'o\\xfd.txt' $'w\\xff.txt' "
           "&& cat $'o\\xfd.txt'; s=$?; rm $'w\\xff.txt' $'d\\xfe.mdb' $'o\\xfd.txt'; exit $s"
        << 0 << kLookRows << QByteArray();
    QTest::newRow("not UTF-8, told as it is")
        << "$LEXIGROVE --lookup --database words.mdb $'n\\xff.txt'" << 1 << QByteArray()
        << QByteArray("Cannot read n\xff.txt: No such file");
    QTest::newRow("a colon first is a file, not a resource")
        << "cp look.txt :w.txt; cp words.mdb :d.mdb; " +
               QString("$LEXIGROVE --lookup --database :d.mdb --output :o.txt :w.txt && cat :o.txt")
        << 0 << kLookRows << QByteArray();
}

void TestCli::errorsNameTheCause_data() {
    addRunColumns();
    const QString makeDatabase =
        "python3 -c \"import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); "
        "c.execute(sys.argv[2]); c.commit()\" ";
    QTest::newRow("no qrySynonyms")
        << "rm -f other.mdb; " + makeDatabase + "other.mdb 'create table t(x)'; " +
               "$LEXIGROVE --lookup --database other.mdb look.txt"
        << 1 << QByteArray() << QByteArray("other.mdb: it is not a synonym database");
    QTest::newRow("a field missing")
        << "rm -f other.mdb; " + makeDatabase +
               "other.mdb \"create view qrySynonyms as select 'a' word, 'b' synonym\"; " +
               "$LEXIGROVE --lookup --database other.mdb look.txt"
        << 1 << QByteArray() << QByteArray("no such column: pos");
    QTest::newRow("replaced mid-run")
        << "rm -f other.mdb; " + makeDatabase + "other.mdb 'create table t(x)'; " +
               "cp words.mdb moving.mdb; (echo look; sleep 2; echo look) | $LEXIGROVE --lookup "
               "--database moving.mdb - > /dev/null & sleep 1; cp other.mdb moving.mdb; wait $!"
        << 1 << QByteArray() << QByteArray("Cannot look up words in moving.mdb: ");
    QTest::newRow("closed standard output")
        << kLook + "look.txt >&-" << 1 << QByteArray()
        << QByteArray("Cannot write standard output: Bad file descriptor");
    QTest::newRow("closed standard input")
        << kLook + "- <&-" << 1 << QByteArray()
        << QByteArray("Cannot read standard input: Bad file descriptor");
    QTest::newRow("closed standard output, given by name")
        << kLook + "--output /dev/stdout look.txt >&-" << 1 << QByteArray()
        << QByteArray("Cannot write standard output: Bad file descriptor");
}

void TestCli::qtOptions_data() {
    addRunColumns();
    QTest::newRow("taken by the window's QApplication")
        << "XDG_RUNTIME_DIR=$(mktemp -d -p .) $LEXIGROVE -platform offscreen -reverse "
           "--style=fusion --version"
        << 0 << kVersionText << QByteArray();
    QTest::newRow("not with --lookup")
        << kLook + "-platform offscreen look.txt" << 2 << QByteArray()
        << QByteArray("Try 'lexigrove --help' for more information.\n");
    QTest::newRow("a mistake is told as one, without a display")
        << "unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM; $LEXIGROVE --bogus" << 2 << QByteArray()
        << QByteArray("unknown option '--bogus'\nTry 'lexigrove --help' for more information.\n");
    QTest::newRow("the help tells of them")
        << "$LEXIGROVE --help" << 0 << QByteArray("*Qt's own options (-platform NAME")
        << QByteArray();
    QTest::newRow("a format that is a file name")
        << "$LEXIGROVE --lookup --format look.txt" << 2 << QByteArray()
        << QByteArray("unknown format 'look.txt'");
    QTest::newRow("help on a full disk")
        << "$LEXIGROVE --help > /dev/full" << 1 << QByteArray()
        << QByteArray("Cannot write standard output: No space left on device");
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
    addRunColumns();

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
        << QByteArray("word,synonym,pos,relation,sense,note\r\nLook,expression,noun,synonym,1,\r\n"
                      "Look,aspect,noun,synonym,1,\r\nLook,face,noun,similar term,1,\r\n"
                      "Look,appear,verb,synonym,2,\r\nLook,seem,verb,synonym,2,\r\n"
                      "\"x,y\",,,,,\r\n\"say \"\"hi\"\"\",greet,verb,synonym,1,\r\n")
        << QByteArray();
    QTest::newRow("jsonl: an object per pair, null for none")
        << "printf 'Advantage\\nxqz\\n' | $LEXIGROVE --database words.mdb --lookup --format "
           "jsonl -"
        << 0
        << QByteArray("{\"word\": \"Advantage\", \"synonym\": \"vantage\", \"pos\": \"noun\", "
                      "\"relation\": \"synonym\", \"sense\": 1, \"note\": \"\"}\n{\"word\": "
                      "\"Advantage\", \"synonym\": \"benefit\", \"pos\": \"noun\", \"relation\": "
                      "\"related term\", \"sense\": 1, \"note\": \"\"}\n"
                      "{\"word\": \"xqz\", \"synonym\": null, \"pos\": null, \"relation\": "
                      "null, \"sense\": null, \"note\": null}\n")
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
        << QByteArray("holds no part of speech 'adjective'; it holds: noun, adj, verb\n");
    QTest::newRow("unknown relation")
        << "$LEXIGROVE --lookup --database words.mdb --relation opposite words.txt" << 2
        << QByteArray()
        << QByteArray("it holds: synonym, similar term, related term, antonym, generic term\n");
    QTest::newRow("a synonym found through any of its meanings")
        << "printf 'rock\\nhappy\\n' | $LEXIGROVE --lookup --pos verb --relation synonym -" << 0
        << QByteArray("ROCK - sway\nROCK - shake\nHAPPY - this word not found in the database.\n")
        << QByteArray();
    QTest::newRow("synonyms of later meanings, in thesaurus order")
        << "printf 'happy\\n' | $LEXIGROVE --lookup --relation synonym -" << 0
        << QByteArray("HAPPY - felicitous\nHAPPY - glad\nHAPPY - well-chosen\n") << QByteArray();
    QTest::newRow("antonyms only when asked for")
        << "printf 'bare\\nadvantage\\n' | $LEXIGROVE --database words.mdb --lookup - && "
           "printf 'bare\\n' | $LEXIGROVE --database words.mdb --lookup --relation antonym -"
        << 0
        << QByteArray("BARE - this word not found in the database.\nADVANTAGE - vantage\n"
                      "ADVANTAGE - benefit\nBARE - nude\n")
        << QByteArray();
    QTest::newRow("every meaning of every relation in table")
        << "printf 'random\\n' | $LEXIGROVE --database words.mdb --lookup --format table "
           "--relation 'similar term,antonym,generic term' -"
        << 0
        << QByteArray("word,synonym,pos,relation,sense,note\r\nrandom,ergodic,adj,similar term,1,"
                      "\r\nrandom,haphazard,adj,similar term,1,\r\nrandom,nonrandom,adj,antonym,1,"
                      "\r\nrandom,chance,adj,generic term,1,\r\n")
        << QByteArray();
    QTest::newRow("decomposed input finds its composed word, and is shown as typed")
        << "printf 'cafe\\xcc\\x81\\n' | $LEXIGROVE --database words.mdb --lookup -" << 0
        << QByteArray("CAFE\xcc\x81 - coffeehouse\nCAFE\xcc\x81 - bistro\n") << QByteArray();
    QTest::newRow("pos without lookup")
        << "$LEXIGROVE --pos noun" << 2 << QByteArray() << QByteArray("--pos goes with");
    QTest::newRow("help") << "$LEXIGROVE --help" << 0 << QByteArray("*--lookup") << QByteArray();
    QTest::newRow("help in 80 columns, with its footer")
        << "$LEXIGROVE --help > help.txt && [ $(LC_ALL=C.UTF-8 wc -L < help.txt) -le 80 ] && "
           "tail -c " +
               QString::number(sizeof program_info::kHelpFooter - 1) + " help.txt"
        << 0 << QByteArray(program_info::kHelpFooter) << QByteArray();
    QTest::newRow("version") << "$LEXIGROVE -v" << 0 << kVersionText << QByteArray();
    QTest::newRow("missing word file")
        << "$LEXIGROVE --lookup --database words.mdb nosuch.txt" << 1 << QByteArray()
        << QByteArray("nosuch.txt: No such file or directory");
    QTest::newRow("word file is a folder")
        << "mkdir -p folder; $LEXIGROVE --lookup --database words.mdb folder" << 1 << QByteArray()
        << QByteArray("folder");
    QTest::newRow("NUL in a word: not found, as in the window")
        << "printf 'lo\\0ok\\nbare\\n' | $LEXIGROVE --lookup --database words.mdb -" << 0
        << QByteArray("LO\0OK - this word not found in the database.\n"
                      "BARE - this word not found in the database.\n",
                      89)
        << QByteArray();
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
                                    << QByteArray("unknown option '--lookp'");
    QTest::newRow("unknown format") << "$LEXIGROVE --lookup --format xml words.txt" << 2
                                    << QByteArray() << QByteArray("unknown format 'xml'");
    QTest::newRow("no word file") << "$LEXIGROVE --lookup" << 2 << QByteArray()
                                  << QByteArray("file (- for standard input)\nTry 'lexigrove "
                                                "--help' for more information.\n");
    QTest::newRow("output without lookup") << "$LEXIGROVE --output x words.txt" << 2 << QByteArray()
                                           << QByteArray("--output goes with");
    // script(1) gives the program a terminal as its standard output.
    QTest::newRow("xlsx refused on a terminal")
        << "script -qec '$LEXIGROVE --lookup --format xlsx --database words.mdb words.txt' "
           "/dev/null"
        << 2 << QByteArray("*--format xlsx writes a workbook, not text for a terminal")
        << QByteArray();
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
    // Usage mistakes end with the way to the help.
    const QByteArray tryHelp = "\nTry 'lexigrove --help' for more information.\n";
    const QByteArray xqz = "XQZ - this word not found in the database.\n";
    QTest::newRow("a list to a full disk")
        << "$LEXIGROVE --languages > /dev/full" << 1 << QByteArray()
        << QByteArray("lexigrove: Cannot write standard output: No space left on device\n");
    QTest::newRow("--quiet silences the first-use build")
        << "export XDG_CACHE_HOME=$PWD/quiet; script -qec '$LEXIGROVE --language is --quiet "
           "--lookup - < /dev/null' /dev/null"
        << 0 << QByteArray() << QByteArray();
    QTest::newRow("an unknown option named whole, with the way to a file")
        << kLook + "-dash.txt" << 2 << QByteArray()
        << "lexigrove: unknown option '-dash.txt'; a file whose name starts with a dash goes after "
           "--, as in: -- -dash.txt" +
               tryHelp;
    QTest::newRow("unknown options, each as given")
        << kLook + "--nosuch=1 -xyz look.txt" << 2 << QByteArray()
        << "lexigrove: unknown options '--nosuch', '-xyz'" + tryHelp;
    QTest::newRow("--lookup=FILE takes a dash, in its place among the files")
        << "cp look.txt ./-dash.txt; echo xqz > x.txt; $LEXIGROVE --database words.mdb x.txt "
           "--lookup=-dash.txt x.txt"
        << 0 << xqz + kLookRows + xqz << QByteArray();
    QTest::newRow("a dash after --") << kLook + "-- -dash.txt" << 0 << kLookRows << QByteArray();
    QTest::newRow("--languages with --lookup")
        << "$LEXIGROVE --languages --lookup look.txt" << 2 << QByteArray()
        << "lexigrove: --languages cannot go with --lookup" + tryHelp;
    QTest::newRow("--languages with a file")
        << "$LEXIGROVE --languages look.txt" << 2 << QByteArray()
        << "lexigrove: --languages takes no file" + tryHelp;
    QTest::newRow("a language not installed, with the hint")
        << "$LEXIGROVE --language qq --lookup look.txt" << 2 << QByteArray() << tryHelp.mid(1);
    QTest::newRow("xlsx refused on a terminal named by --output")
        << "script -qec '$LEXIGROVE --lookup --format xlsx --database words.mdb --output "
           "/dev/tty look.txt; echo \" $?\"' /dev/null | tr -d '\\r'"
        << 0
        << QByteArray("lexigrove: --format xlsx writes a workbook, not text for a terminal: give "
                      "--output FILE or redirect standard output\n 2\n")
        << QByteArray();
    // The library's own "[ERROR][packager.c:...]" lines, on a temporary folder with no room.
    QTest::newRow("the workbook library's messages folded into one")
        << "seq -f w%.0f 20000 > rows.txt; unshare -rm sh -c 'mkdir -p small && mount -t tmpfs "
           "-o size=64k none small && TMPDIR=$PWD/small $LEXIGROVE --lookup --database words.mdb "
           "--format xlsx --output full.xlsx rows.txt 2> err.txt; s=$?; ls -A small; grep -c "
           "\"^lexigrove: Cannot write the workbook in .*: No space left on device "
           "(libxlsxwriter: \" err.txt; wc -l < err.txt; exit $s'"
        << 1 << QByteArray("1\n1\n") << QByteArray();
    QTest::newRow("more word files than open files, as find -exec + gives them")
        << "mkdir -p many && for i in $(seq 1100); do echo xqz > many/$i.txt; done; ulimit -n 64; "
           "find many -name '*.txt' -exec $LEXIGROVE --lookup --database words.mdb {} + | uniq -c"
        << 0 << "   1100 " + xqz << QByteArray();
    QTest::newRow("the soft open-file limit raised to the hard one")
        << "ulimit -Sn 64; hard=$(ulimit -Hn); sleep 2 | $LEXIGROVE --lookup --database "
           "words.mdb - & sleep 1; awk '/Max open files/ { print $4 }' /proc/$!/limits | "
           "grep -qx \"$hard\" && echo raised; wait"
        << 0 << QByteArray("raised\n") << QByteArray();
    QTest::newRow("a NUL in a workbook spelled as other control characters are")
        << "printf 'nul\\0x\\n' | $LEXIGROVE --lookup --database words.mdb --format xlsx - > "
           "nul.xlsx && unzip -p nul.xlsx xl/worksheets/sheet1.xml | grep -o '<c "
           "r=\"A2\"[^<]*<is><t>[^<]*'"
        << 0 << QByteArray("<c r=\"A2\" t=\"inlineStr\"><is><t>nul_x0000_x\n") << QByteArray();
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
                              "assert records.pop(0) == ['word', 'synonym', 'pos', 'relation', "
                              "'sense', 'note']\n"
                              "print(json.dumps(records))\n";
    const QString jsonReader =
        "import json, sys\n"
        "records = []\n"
        "for line in open(0, encoding='utf-8', newline=''):\n"
        "    assert line.endswith('}\\n')\n"
        "    o = json.loads(line)\n"
        "    assert list(o) == ['word', 'synonym', 'pos', 'relation', "
        "'sense', 'note']\n"
        "    records.append(['' if v is None else str(v) for v in o.values()])\n"
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
                       "select synonym, pos, relation, sense, note from qryRelations where "
                       "word = ?1 and (?2 = '' or instr(',' || ?2 || ',', ',' || pos || ',')) and "
                       "(?3 = '' and relation in ('synonym', 'similar term', 'related term') or "
                       "relation = ?3)",
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
            for (int c = 0; c < 5; ++c)
                record.append(QString::fromUtf8((const char*)sqlite3_column_text(query, c)));
            expected.append(record);
        }
        if (expected.size() == before)
            expected.append(QJsonArray{text, "", "", "", "", ""});
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

// A French thesaurus with a combined part of speech and thirty labels no table knows.
void TestCli::labelledThesaurus_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("a combined part of speech matches each of its parts")
        << "--pos noun" << 0 << QByteArray("MOT - terme\n") << QByteArray();
    QTest::newRow("and is one field in table")
        << "--format table --pos adj" << 0
        << QByteArray("word,synonym,pos,relation,sense,note\r\nmot,terme,adj noun,synonym,1,\r\n")
        << QByteArray();
    QTest::newRow("a long list of values is cut short")
        << "--pos nosuch" << 2 << QByteArray()
        << QByteArray("it holds: noun, adj, labaa, labab, labac, labad, labae, labaf, labag, "
                      "labah, labai, labaj, labba, labbb, labbc, labbd, labbe, labbf, labbg, "
                      "labbh and 12 more\nTry 'lexigrove --help' for more information.\n");
}

void TestCli::labelledThesaurus() {
    QFETCH(QString, options);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QByteArray thesaurus = "UTF-8\nmot|31\n(Adjectif Nom)|terme\n";
    for (char i = 0; i < 30; ++i)
        thesaurus += QByteArray("(lab") + char('a' + i / 10) + char('a' + i % 10) + ")|x\n";
    writeBytes(dir_.filePath("th_fr_test.dat"), thesaurus);
    ImportThesaurus(dir_.filePath("th_fr_test.dat"), dir_.filePath("fr.mdb"));
    const Run run = shell(
        "printf 'mot\\n' | $LEXIGROVE --lookup --database fr.mdb " + options + " -", dir_.path());
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, out);
    QVERIFY2(run.err.endsWith(err), run.err.constData());
}

void TestCli::formThroughAMarkedPrefix() {
    BuildElisionDatabase(dir_.path());
    const Run run = shell("printf \"l'Amici\\nl'casa\\n\" | $LEXIGROVE --lookup --database xx.mdb -",
                          dir_.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("L'AMICI - compagno\nL'AMICI - socio\n"
                                 "L'CASA - this word not found in the database.\n"));
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
    QTest::newRow("overlong line") << "--database words.mdb words.txt long.txt";
    QTest::newRow("bad database") << "--database words.txt words.txt";
}

void TestCli::failureKeepsTheOldFile() {
    QFETCH(QString, arguments);
    QTemporaryDir out;
    writeBytes(out.filePath("old.txt"), "old content\n");

    const Run run =
        shell("$LEXIGROVE --lookup --output '" + out.filePath("old.txt") + "' " + arguments +
                  "; $LEXIGROVE --lookup --output '" + out.filePath("new.txt") + "' " + arguments,
              dir_.path());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(fileBytes(out.filePath("old.txt")), QByteArray("old content\n"));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.txt"});
}

void TestCli::workbookHoldsTheTableRecords_data() {
    QTest::addColumn<QString>("database"); // empty: words.mdb beside the program
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("target");
    const QString fixture = "--database sheet/words.mdb";
    QTest::newRow("spreadsheet-like words, to standard output") << fixture << ""
                                                                << "> book.xlsx";
    QTest::newRow("filtered, through --output")
        << fixture << "--pos noun,adj --relation synonym,'similar term'"
        << "--output book.xlsx";
    QTest::newRow("the build's English database") << ""
                                                  << ""
                                                  << "> book.xlsx";
}

void TestCli::workbookHoldsTheTableRecords() {
    QFETCH(QString, database);
    QFETCH(QString, options);
    QFETCH(QString, target);
    // What spreadsheets turn into formulas, numbers, dates and booleans, text
    // that is not ASCII, control characters and what looks like their XML
    // spelling, blanks at the ends, empty lines (the last one too).
    writeBytes(dir_.filePath("sheetwords.txt"),
               "007\n=10*10\n=HYPERLINK(\"x\")\n1/2\nJune 23\nfalse\nTRUE\nété\nкот\n夏天\n"
               "x_x0041_y\n_x005F_\ntab\there\nbell\x07 esc\x1b[0m\n\x01\x1f\x7f\n  spaced  \n\n"
               "happy\nlook\nxqz\n\n");
    QVERIFY(QDir(dir_.path()).mkpath("sheet"));
    if (!QFile::exists(dir_.filePath("sheet/words.mdb")))
        BuildFixtureDatabase(dir_.filePath("sheet"), "spreadsheet.dat");
    const QString lookup = "$LEXIGROVE --lookup " + database + ' ' + options;
    const Run run =
        shell(lookup + " --format table sheetwords.txt > table.csv && rm -f book.xlsx && " +
                  lookup + " --format xlsx sheetwords.txt " + target +
                  " && /usr/bin/python3 " LEXIGROVE_TEST_DATA "/../support/workbook_vs_table.py "
                  "table.csv book.xlsx",
              dir_.path());
    QVERIFY2(run.status == 0, run.err.constData());
    QVERIFY2(run.out.endsWith(" records\n"), run.out.constData());
    QVERIFY2(run.out.split(' ').first().toInt() >= 20, run.out.constData());
}

void TestCli::workbookCellLimit_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QByteArray>("err");        // empty: written
    const QByteArray grin = "\xF0\x9F\x98\x80"; // two UTF-16 code units
    QTest::newRow("32767 characters fit") << QByteArray(32767, 'a') << QByteArray();
    QTest::newRow("32768 do not")
        << QByteArray(32768, 'a')
        << QByteArray("Cannot write line 2 of long.txt to the workbook: its word is 32768 "
                      "characters long, more than a spreadsheet cell holds (32767).\n");
    QTest::newRow("beyond the BMP, 32767 code units fit")
        << grin.repeated(16383) + 'a' << QByteArray();
    QTest::newRow("beyond the BMP, each character counts twice")
        << grin.repeated(16384) << QByteArray("its word is 32768 characters long");
}

void TestCli::workbookCellLimit() {
    QFETCH(QByteArray, word);
    QFETCH(QByteArray, err);
    QTemporaryDir out;
    writeBytes(out.filePath("book.xlsx"), "old content\n");
    writeBytes(dir_.filePath("long.txt"), "look\n" + word + "\nhappy\n");
    const Run run = shell("$LEXIGROVE --lookup --database words.mdb --format xlsx --output '" +
                              out.filePath("book.xlsx") + "' long.txt",
                          dir_.path());
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"book.xlsx"});
    if (err.isEmpty()) {
        QVERIFY2(run.status == 0, run.err.constData());
        QVERIFY(fileBytes(out.filePath("book.xlsx")).startsWith("PK\x03\x04"));
        return;
    }
    // Never cut short: nothing is written, and the old file stays.
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(err), run.err.constData());
    QCOMPARE(fileBytes(out.filePath("book.xlsx")), QByteArray("old content\n"));
}

void TestCli::workbookContinuesOnNewSheets() {
    // One more record than the first sheet holds, and two beyond: the real
    // limit, since a smaller one for tests would leave that path untried.
    // The sheets' XML is read straight from the file; openpyxl would take
    // minutes over a million rows.
    const QString check = R"py(
import re, zipfile
book = zipfile.ZipFile('big.xlsx')
assert re.findall(r'<sheet name="([^"]*)"', book.read('xl/workbook.xml').decode()) == \
    ['Synonyms', 'Synonyms 2']
def rows(sheet, first, last):
    xml = book.read(f'xl/worksheets/sheet{sheet}.xml').decode()
    assert f'<autoFilter ref="A1:F{last - first + 2}"/>' in xml
    assert '<pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/>' in xml
    found = re.finditer(r'<row r="(\d+)"[^>]*><c r="A\1"[^>]*><is><t>([^<]*)</t>', xml)
    expected = enumerate(['word'] + [f'w{n}' for n in range(first, last + 1)], 1)
    for match, (number, word) in zip(found, expected, strict=True):
        assert match.groups() == (str(number), word), (match.groups(), number, word)
rows(1, 1, 1048575)
rows(2, 1048576, 1048578)
print('ok')
)py";
    writeBytes(dir_.filePath("sheets.py"), check.toUtf8());
    const Run run = shell("seq -f w%.0f 1048578 > many.txt && $LEXIGROVE --lookup --database "
                          "words.mdb --quiet --format xlsx many.txt > big.xlsx && "
                          "/usr/bin/python3 sheets.py; rm -f big.xlsx many.txt",
                          dir_.path(), {}, 600000);
    QVERIFY2(run.status == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("ok\n"));
}

// A private language whose thesaurus and dictionary a test may try to overwrite.
void TestCli::checkedBeforeAnyBuild_data() {
    addRunColumns();
    const auto early = [](const char* name, const QString& arguments, const char* err) {
        QTest::newRow(name) << QString("export XDG_CACHE_HOME=$PWD/order; $LEXIGROVE --language is "
                                       "--lookup %1; s=$?; ls -A order/lexigrove; exit $s")
                                   .arg(arguments)
                            << 1 << QByteArray() << QByteArray(err);
    };
    early("a missing word file", "missing.txt",
          "lexigrove: Cannot read missing.txt: No such file or directory\n");
    early("an output that is a word file", "--output look.txt look.txt",
          "it is the word file look.txt itself");
    early("an output that cannot be written", "--output nodir/out.txt look.txt",
          "nodir/out.txt: No such file or directory\n");
    const QString language =
        "mkdir -p data/mythes data/hunspell eo; printf 'UTF-8\\nlook|1\\n(noun)|face\\n' > "
        "data/mythes/th_eo_v2.dat; echo index > data/mythes/th_eo_v2.idx; echo 1 > "
        "data/hunspell/eo.dic; echo 'SET UTF-8' > data/hunspell/eo.aff; md5sum data/*/* > sums; ";
    const QString run = "XDG_DATA_HOME=$PWD/data XDG_CACHE_HOME=$PWD/eo $LEXIGROVE --language "
                        "eo --lookup look.txt --output ";
    const QString unchanged = "; s=$?; md5sum --quiet -c sums && ls -A eo; exit $s";
    const QString folder = dir_.path() + "/data/";
    const auto row = [&](const char* name, const QString& target, const QString& kind) {
        QTest::newRow(name) << language + "ln -sf " + folder + target + " link; " + run + "link" +
                                   unchanged
                            << 1 << QByteArray()
                            << ("Cannot write the results to link: it is the " + kind + ' ' +
                                folder + target + " itself; nothing was written.")
                                   .toUtf8();
    };
    row("the thesaurus, through a link", "mythes/th_eo_v2.dat", "thesaurus");
    row("its index", "mythes/th_eo_v2.idx", "thesaurus");
    row("the dictionary", "hunspell/eo.dic", "dictionary");
    row("its affixes", "hunspell/eo.aff", "dictionary");
}

QTEST_MAIN(TestCli)
#include "test_cli.moc"
