#include "AppError.h"
#include "ExportFile.h"
#include "FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
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

int main(int argc, char* argv[]) {
    if (argc > 2 && std::strcmp(argv[1], "child") == 0)
        return runChild(argc - 1, argv + 1);
    QCoreApplication app(argc, argv);
    TestExportFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_exportfile.moc"
