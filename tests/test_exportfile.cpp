// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "ExportFile.h"
#include "FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
const QString kProgram = QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

struct Run {
    int status = -1;
    QByteArray err;
};

// The command line saving the lookup of one word over output.
Run lookUpInto(const QString& output, const QString& folder) {
    writeFile(folder + "/look.txt", "look\n");
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(kProgram, {"--lookup", "--database", LEXIGROVE_BIN_DIR "/words.mdb", "--output",
                             output, "look.txt"});
    process.waitForFinished(60000);
    QByteArray err = process.readAllStandardError().trimmed();
    if (err.startsWith("lexigrove: "))
        err.remove(0, 11);
    return {process.exitCode(), err};
}

QStringList listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                  QDir::System, QDir::Name);
}

// This program again, as a process of its own that a test may kill.
struct Child {
    QProcess process;
    explicit Child(const QStringList& arguments) {
        process.start(QCoreApplication::applicationFilePath(), QStringList{"child"} + arguments);
        process.waitForStarted();
    }
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    QByteArray line() {
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        return process.readLine().trimmed();
    }
};

// What a child does: "hold FILE" leaves a named temporary for FILE open and
// says its name; "copy FILE BYTES" saves BYTES bytes over FILE.
int runChild(int argc, char* argv[]) {
    const QString target = QString::fromLocal8Bit(argv[2]);
    try {
        ExportFile file(target);
        if (std::strcmp(argv[1], "hold") == 0) {
            std::printf("%s\n", file.openByName().constData());
            std::fflush(stdout);
            ::pause();
            return 0;
        }
        if (std::strcmp(argv[1], "copy") == 0 && argc > 3) {
            file.open();
            const QByteArray piece(1 << 20, 'n');
            for (long long left = QByteArray(argv[3]).toLongLong(); left > 0; left -= piece.size())
                file.writeBytes(piece.left(int(std::min<long long>(left, piece.size()))));
            file.commit();
            return 0;
        }
    } catch (const AppError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    return 2;
}
} // namespace

class TestExportFile : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void abandonedTemporariesAreRemoved();
    void killedWhileWrittenInPlace();
    void symbolicLinks_data();
    void symbolicLinks();
    void mountedFiles_data();
    void mountedFiles();
    void noRoomMidCopy();

  private:
    QString path(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestExportFile::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

// A temporary whose creator was killed goes, with what SQLite added to it; a
// live one and other files stay.
void TestExportFile::abandonedTemporariesAreRemoved() {
    Child dead({"hold", path("a.mdb")});
    const QString deadName = QFile::decodeName(dead.line());
    QVERIFY2(QFileInfo(deadName).fileName().startsWith(".lexigrove-"), qPrintable(deadName));
    dead.process.kill();
    QVERIFY(dead.process.waitForFinished());
    writeFile(deadName + "-journal", "j");
    Child live({"hold", path("b.mdb")});
    const QString liveName = QFile::decodeName(live.line());
    writeFile(liveName + "-journal", "j");
    writeFile(path(".lexigrove-orphan-wal"), "w");
    writeFile(path("other.txt"), "o");
    writeFile(path(".lexigrove"), "not one of ours");
    QVERIFY(QDir().mkdir(path(".lexigrove-folder")));

    QCOMPARE(RemoveAbandonedTemporaries(dir_->path()), 3);
    QStringList expected{".lexigrove", ".lexigrove-folder", "other.txt",
                         QFileInfo(liveName).fileName(),
                         QFileInfo(liveName).fileName() + "-journal"};
    expected.sort();
    QCOMPARE(listing(dir_->path()), expected);
    QCOMPARE(RemoveAbandonedTemporaries(path("missing")), 0);
}

// SIGKILL once a file with two names starts to change: the old content is
// still there, under its own name or the backup's, and the next save names
// the backup instead of writing.
void TestExportFile::killedWhileWrittenInPlace() {
    qputenv("XDG_STATE_HOME", path("state").toUtf8());
    const QString file = path("a.txt");
    writeFile(file, "old\r\n");
    QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(path("b.txt")).constData()), 0);
    Child child({"copy", file, QString::number(256 << 20)});
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo(file).size() == 5 && waited.elapsed() < 60000 &&
           child.process.state() != QProcess::NotRunning)
        QFileInfo(file).refresh();
    child.process.kill();
    QVERIFY(child.process.waitForFinished());
    QVERIFY2(QFileInfo(file).size() != 5, "the file never started to change");

    const QDir backups(path("state/lexigrove/backups"));
    const QString backup = backups.filePath(backups.entryList(QDir::Files).value(0));
    QVERIFY2(readAll(file) == "old\r\n" || readAll(backup) == "old\r\n",
             qPrintable(listing(dir_->path()).join(' ')));
    const Run again = lookUpInto(file, dir_->path());
    QCOMPARE(again.status, 1);
    QCOMPARE(again.err, QStringLiteral("Cannot save %1: an earlier save of it was cut short, and "
                                       "its old content is kept in %2. Once %1 is as it should "
                                       "be, remove %2 and save again.")
                            .arg(file, backup)
                            .toUtf8());
}

// A link to nothing yet is written through, creating what it points at, as
// a shell's '>' does; a loop of links is reported and left alone.
void TestExportFile::symbolicLinks_data() {
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QString>("created");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("to nothing yet") << QStringList{"out.txt->made.txt"} << "made.txt" << QByteArray();
    QTest::newRow("a chain, into a folder")
        << QStringList{"out.txt->first", "first->sub/made.txt"} << "sub/made.txt" << QByteArray();
    QTest::newRow("into a missing folder")
        << QStringList{"out.txt->missing/made.txt"} << QString()
        << QByteArray("Cannot create out.txt: No such file or directory");
    QTest::newRow("a loop") << QStringList{"out.txt->other", "other->out.txt"} << QString()
                            << QByteArray("Cannot create out.txt: Too many levels of symbolic links");
}

void TestExportFile::symbolicLinks() {
    QFETCH(QStringList, links);
    QFETCH(QString, created);
    QFETCH(QByteArray, error);
    QVERIFY(QDir().mkdir(path("sub")));
    for (const QString& link : links)
        QVERIFY(QFile::link(link.section("->", 1), path(link.section("->", 0, 0))));
    const Run run = lookUpInto("out.txt", dir_->path());
    QCOMPARE(run.err, error);
    QCOMPARE(run.status, error.isEmpty() ? 0 : 1);
    QVERIFY(QFileInfo(path("out.txt")).isSymLink());
    if (!created.isEmpty())
        QVERIFY(readAll(path(created)).startsWith("LOOK - "));
    QCOMPARE(RemoveAbandonedTemporaries(dir_->path()), 0);
}

// A file on a read-only file system cannot be written ("Cannot create" is for a file that is not
// there yet); a file mounted over its name cannot be renamed over, so it is written in place, as
// sort -o does. Neither leaves a temporary beside it.
void TestExportFile::mountedFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("error");
    const QString readOnly = qEnvironmentVariable("LEXIGROVE_READONLY_DIR");
    QTest::newRow("read-only") << (readOnly.isEmpty() ? QString() : readOnly + "/r.txt")
                               << QByteArray("Cannot write %1: Read-only file system");
    QTest::newRow("bind-mounted") << qEnvironmentVariable("LEXIGROVE_BOUND_FILE") << QByteArray();
}

void TestExportFile::mountedFiles() {
    QFETCH(QString, file);
    QFETCH(QByteArray, error);
    if (file.isEmpty())
        QSKIP(qPrintable("needs tests/exportfile_mounts.sh: " +
                         qEnvironmentVariable("LEXIGROVE_MOUNTS_SKIP")));
    const Run run = lookUpInto(file, dir_->path());
    QCOMPARE(run.err, error.replace("%1", file.toUtf8()));
    QCOMPARE(run.status, error.isEmpty() ? 0 : 1);
    QVERIFY(error.isEmpty() ? readAll(file).startsWith("LOOK - ") : readAll(file) == "old\r\n");
    QCOMPARE(listing(QFileInfo(file).path()), QStringList{QFileInfo(file).fileName()});
}

// On a file system that sets no room aside, the save goes ahead; when the
// room runs out in the middle, the message says so and where the old content is.
void TestExportFile::noRoomMidCopy() {
    const QString folder = qEnvironmentVariable("LEXIGROVE_EXT2_DIR");
    if (folder.isEmpty())
        QSKIP("needs tests/exportfile_mounts.sh run as root with loop devices");
    Child child({"copy", folder + "/a", QString::number(400000)});
    QVERIFY(child.process.waitForFinished());
    QCOMPARE(child.process.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(child.process.readAllStandardError().trimmed());
    const QString prefix = "Cannot write " + folder +
                           "/a: No space left on device. It may be incomplete now; its old "
                           "content is kept in ";
    QVERIFY2(error.startsWith(prefix), qPrintable(error));
    const QString backup = error.mid(prefix.size()).chopped(1);
    QCOMPARE(QFileInfo(backup).path(), qEnvironmentVariable("XDG_STATE_HOME") + "/lexigrove/backups");
    QCOMPARE(readAll(backup), "old\r\n");
    QVERIFY(QFileInfo(folder + "/b").size() > 5);
}

int main(int argc, char* argv[]) {
    if (argc > 2 && std::strcmp(argv[1], "child") == 0)
        return runChild(argc - 1, argv + 1);
    QCoreApplication app(argc, argv);
    TestExportFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_exportfile.moc"
