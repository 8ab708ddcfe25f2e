// SPDX-License-Identifier: GPL-3.0-or-later
#include "Paths.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <pwd.h>
#include <unistd.h>

class TestPaths : public QObject {
    Q_OBJECT
  private slots:
    void fileExists();
    void collapseSlashes_data();
    void collapseSlashes();
    void fileNameFromPath_data();
    void fileNameFromPath();
    void xdgFolder_data();
    void xdgFolder();
    void xdgDataFolders_data();
    void xdgDataFolders();
};

namespace {
// Sets or, for "-", unsets a variable; every row sets each one the function under test reads.
void Set(const char* name, const QString& value) {
    value == "-" ? qunsetenv(name) : qputenv(name, value.toUtf8());
}
} // namespace

void TestPaths::fileExists() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("list.txt");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    QVERIFY(FileExists(file));
    QVERIFY(!FileExists(QString()));
    QVERIFY(!FileExists(dir.filePath("missing.txt")));
    QVERIFY(!FileExists(dir.filePath("no-such-folder/list.txt")));
    // Folders have a modification time too; nothing else is checked.
    QVERIFY(FileExists(dir.path()));
    // A NUL must not cut the name back to an existing one.
    QVERIFY(!FileExists(file + QChar(0) + "tail"));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
    QVERIFY(!FileExists(dir.filePath("dangling")));
    QVERIFY(!FileExists(QString(5000, u'a')));

    // Whatever the file's date: the epoch itself, before it, far after it.
    for (const qint64 seconds : {qint64(0), qint64(-86400) * 365 * 10, qint64(16725225600)}) {
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC),
                              QFileDevice::FileModificationTime));
        f.close();
        QVERIFY2(FileExists(file), qPrintable(QString::number(seconds)));
    }
}

void TestPaths::collapseSlashes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("doubled inside") << "/home//words.txt"
                                    << "/home/words.txt";
    QTest::newRow("plain path unchanged") << "/home/lists/words.txt"
                                          << "/home/lists/words.txt";
    QTest::newRow("run of three") << "/a///b"
                                  << "/a//b";
    QTest::newRow("leading pair becomes one") << "//srv/share//a.txt"
                                              << "/srv/share/a.txt";
    QTest::newRow("three leading") << "///srv/share"
                                   << "/srv/share";
    QTest::newRow("one leading") << "/x//y"
                                 << "/x/y";
    QTest::newRow("lone separator") << "/"
                                    << "/";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("relative") << "lists//a.txt"
                              << "lists/a.txt";
    QTest::newRow("backslash is ordinary") << R"(/a\\b)"
                                           << R"(/a\\b)";
}

void TestPaths::collapseSlashes() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(CollapseSlashes(path), expected);
}

void TestPaths::fileNameFromPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("path") << "/home/me/words.txt"
                          << "words.txt";
    QTest::newRow("no separator") << "words.txt"
                                  << "words.txt";
    QTest::newRow("trailing separator") << "/home/"
                                        << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("backslash is ordinary") << R"(and\or)"
                                           << R"(and\or)";
}

void TestPaths::fileNameFromPath() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(FileNameFromPath(path), expected);
}

void TestPaths::xdgFolder_data() {
    QTest::addColumn<QStringList>("variables"); // HOME and XDG_CACHE_HOME; "-": unset
    QTest::addColumn<QString>("expected");      // "~/": the password database's home
    QTest::newRow("home, no XDG value") << QStringList{"/h", "-"} << "/h/.cache";
    QTest::newRow("absolute XDG value") << QStringList{"/h", "/x/c"} << "/x/c";
    QTest::newRow("relative XDG value ignored") << QStringList{"/h/", "x/c"} << "/h/.cache";
    QTest::newRow("HOME not absolute, XDG value empty") << QStringList{"h", ""} << "~/.cache";
}

void TestPaths::xdgFolder() {
    QFETCH(QStringList, variables);
    QFETCH(QString, expected);
    Set("HOME", variables[0]);
    Set("XDG_CACHE_HOME", variables[1]);
    const passwd* entry = getpwuid(getuid());
    QVERIFY(entry);
    const QString passwd = QString::fromLocal8Bit(entry->pw_dir);
    expected.replace("~/", passwd.endsWith('/') ? passwd : passwd + '/');
    QCOMPARE(XdgFolder("XDG_CACHE_HOME", ".cache"), expected);
}

void TestPaths::xdgDataFolders_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("absolute ones in order, once") << "/b:rel:/a::/b:./x" << QStringList{"/b", "/a"};
    QTest::newRow("no absolute one") << "rel" << QStringList{"/usr/local/share", "/usr/share"};
}

void TestPaths::xdgDataFolders() {
    QFETCH(QString, value);
    QFETCH(QStringList, expected);
    Set("XDG_DATA_DIRS", value);
    QCOMPARE(XdgDataFolders(), expected);
}

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
