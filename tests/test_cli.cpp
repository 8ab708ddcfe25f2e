// SPDX-License-Identifier: GPL-3.0-or-later
// The command line as users run it, against what only the libraries can give:
// the window's own exports, and a database built with a limit on its forms.
#include "FixtureDatabase.h"
#include "FormFixtures.h"
#include "Form1.h"
#include "ListView.h"
#include "ScriptedDesktop.h"

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
Run shell(const QString& command, const QString& folder) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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
    void formThroughAMarkedPrefix();

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

// The importer takes no limit on forms, so the database comes from the library.
void TestCli::formThroughAMarkedPrefix() {
    BuildElisionDatabase(dir_.path());
    const Run run = shell("printf \"l'Amici\\nl'casa\\n\" | $LEXIGROVE --lookup --database xx.mdb -",
                          dir_.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("L'AMICI - compagno\nL'AMICI - socio\n"
                                 "L'CASA - this word not found in the database.\n"));
}

QTEST_MAIN(TestCli)
#include "test_cli.moc"
