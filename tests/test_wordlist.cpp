// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "CommonDialog.h"
#include "ListModel.h"
#include "ListView.h"
#include "PointerMode.h"
#include "ScriptedDesktop.h"
#include "WindowState.h"
#include "WordListActions.h"
#include "WordListFile.h"

#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
class FakePointer : public PointerControl {
  public:
    int pointerMode() const override { return mode; }
    void setPointerMode(int value) override {
        mode = value;
        history << value;
    }
    int mode = PointerMode::Plain;
    QList<int> history;
};

const QList<int> kBusyThenPlain = {PointerMode::Busy, PointerMode::Plain};

QString reportLine(const char* routine, int line) {
    return QStringLiteral("\r\nin Lexigrove2021/08/31.Form1.%1 at line %2\r\r")
        .arg(QLatin1String(routine))
        .arg(line);
}

QString dialogForm(const QStringList& parts) {
    return parts.join(QChar(0));
}
} // namespace

class TestWordList : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void addWord_data();
    void addWord();
    void sampleWordsAppend();
    void removal_data();
    void removal();
    void doubleClickRemovesTheClickedEntry();
    void oneFileThroughTheDialog();
    void severalFiles_data();
    void severalFiles();
    void cancelChangesNothing();
    void unreadableFiles();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void dropLoadsLikeTheDialog();
    void paste_data();
    void paste();
    void badInputLoads();

  private:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_->filePath(name);
        QFile file(path);
        [&] { QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()); }();
        return path;
    }
    QStringList entries() const {
        QStringList texts;
        for (int i = 1; i <= list_->count(); ++i)
            texts << list_->text(i);
        return texts;
    }
    void fill(const QStringList& words) {
        for (const QString& word : words)
            list_->append(word);
        list_->listModel().flush();
    }
    void select(int position) {
        list_->selectionModel()->select(list_->model()->index(position - 1, 0),
                                        QItemSelectionModel::ClearAndSelect);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDesktop> desktop_;
    std::unique_ptr<ListView> list_;
    std::unique_ptr<ListViewWords> words_;
    std::unique_ptr<CommonDialog> dialog_;
    std::unique_ptr<FakePointer> pointer_;
    std::unique_ptr<WordListActions> actions_;
};

void TestWordList::init() {
    actions_.reset(); // before the list it watches
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    desktop_ = std::make_unique<ScriptedDesktop>();
    desktop_->setAppTitle("Lexigrove test");
    list_ = std::make_unique<ListView>(false);
    list_->addColumn(" Word(s)");
    list_->show();
    words_ = std::make_unique<ListViewWords>(*list_);
    dialog_ = std::make_unique<CommonDialog>(*desktop_);
    pointer_ = std::make_unique<FakePointer>();
    actions_ = std::make_unique<WordListActions>(*list_, *dialog_, *desktop_, *pointer_);
    actions_->attach();
}

void TestWordList::addWord_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("cancel or empty") << QStringList{QString(), ""} << QStringList{"old"};
    QTest::newRow("blanks kept") << QStringList{"  cat  "} << QStringList{"old", "  cat  "};
    QTest::newRow("duplicate") << QStringList{"old", "Old"} << QStringList{"old", "old", "Old"};
}

void TestWordList::addWord() {
    QFETCH(QStringList, typed);
    QFETCH(QStringList, expected);
    fill({"old"});
    desktop_->typed = typed;
    pointer_->mode = PointerMode::Busy; // adding does not wait for a run
    for (qsizetype i = 0; i < typed.size(); ++i)
        actions_->PushButton6_Click();
    QCOMPARE(entries(), expected);
    QCOMPARE(desktop_->inputs.size(), typed.size());
    QCOMPARE(desktop_->inputs.first().prompt, "Enter word to add: ");
    QCOMPARE(desktop_->inputs.first().title, "Lexigrove test");
    QVERIFY(desktop_->boxes.isEmpty());
}

void TestWordList::sampleWordsAppend() {
    const QStringList samples = {"random", "look", "advantage", "response"};
    actions_->PushButton8_Click();
    QCOMPARE(entries(), samples);
    actions_->PushButton8_Click();
    QCOMPARE(entries(), samples + samples);
    QVERIFY(desktop_->boxes.isEmpty());
}

void TestWordList::removal_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("selected"); // 0: none
    QTest::addColumn<QStringList>("afterDelete");
    QTest::addColumn<QStringList>("afterClear");
    const QStringList all = {"a", "b", "c"};
    QTest::newRow("plain") << PointerMode::Plain << 2 << QStringList{"a", "c"} << QStringList{};
    QTest::newRow("hand") << PointerMode::Hand << 1 << QStringList{"b", "c"} << QStringList{};
    QTest::newRow("busy") << PointerMode::Busy << 2 << all << all;
    QTest::newRow("nothing selected") << PointerMode::Plain << 0 << all << QStringList{};
}

void TestWordList::removal() {
    QFETCH(int, mode);
    QFETCH(int, selected);
    QFETCH(QStringList, afterDelete);
    QFETCH(QStringList, afterClear);
    fill({"a", "b", "c"});
    pointer_->mode = mode;
    const auto reselect = [&] {
        if (selected)
            select(selected);
    };

    // Delete counts with any modifiers; no other key removes anything.
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::ControlModifier | Qt::AltModifier}) {
        list_->clear();
        fill({"a", "b", "c"});
        reselect();
        QTest::keyClick(list_.get(), Qt::Key_Backspace);
        QTest::keyClick(list_.get(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(entries().size(), 3);
        QTest::keyClick(list_.get(), Qt::Key_Delete, modifiers);
        QCOMPARE(entries(), afterDelete);
    }
    list_->clear();
    fill({"a", "b", "c"});
    reselect();
    emit list_->dblClick();
    QCOMPARE(entries(), afterDelete);

    actions_->PushButton1_Click();
    QCOMPARE(entries(), afterClear);
    QVERIFY(pointer_->history.isEmpty());

    // An empty list is left alone by all three.
    list_->clear();
    QTest::keyClick(list_.get(), Qt::Key_Delete);
    emit list_->dblClick();
    actions_->PushButton1_Click();
    QCOMPARE(entries(), QStringList{});
    QVERIFY(desktop_->boxes.isEmpty());
}

void TestWordList::doubleClickRemovesTheClickedEntry() {
    fill({"a", "b", "c"});
    select(1);
    const QRect row = list_->visualRect(list_->model()->index(2, 0));
    QTest::mouseDClick(list_->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(entries(), QStringList({"a", "b"}));
}

void TestWordList::oneFileThroughTheDialog() {
    const QString path = write("a.txt", "cat\r\ndog\r\n");
    desktop_->openAnswers = {{path}, {path}};
    actions_->PushButton3_Click();
    QCOMPARE(dialog_->Flags, 0x00280201);
    QCOMPARE(desktop_->dialogs.size(), 1);
    QCOMPARE(desktop_->dialogs[0].title, "Load List(s) - Hold Ctrl to select multiple list files");
    QCOMPARE(desktop_->dialogs[0].nameFilters, "Text Files (*.txt);;All Files (*)");
    QVERIFY(desktop_->dialogs[0].multiSelect);
    QCOMPARE(entries(), QStringList({"cat", "dog"}));
    QCOMPARE(pointer_->history, kBusyThenPlain);

    actions_->PushButton3_Click();
    QCOMPARE(entries(), QStringList({"cat", "dog", "cat", "dog"}));
    QVERIFY(desktop_->boxes.isEmpty());
}

void TestWordList::severalFiles_data() {
    QTest::addColumn<QString>("folder"); // after the test folder's path; "root" for "/"
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("notFound");
    QTest::newRow("in order") << "" << QStringList{"a.txt", "b.txt"}
                              << QStringList{"cat", "dog", "", "emu"} << 0;
    QTest::newRow("dialog's order")
        << "" << QStringList{"b.txt", "a.txt"} << QStringList{"", "emu", "cat", "dog"} << 0;
    QTest::newRow("missing one in between") << "" << QStringList{"a.txt", "gone.txt", "b.txt"}
                                            << QStringList{"cat", "dog", "", "emu"} << 1;
    QTest::newRow("folder with its separator")
        << "/" << QStringList{"a.txt", "b.txt"} << QStringList{"cat", "dog", "", "emu"} << 0;
    QTest::newRow("root folder") << "root" << QStringList{"a.txt", "b.txt"}
                                 << QStringList{"cat", "dog", "", "emu"} << 0;
}

void TestWordList::severalFiles() {
    QFETCH(QString, folder);
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    QFETCH(int, notFound);
    write("a.txt", "cat\r\ndog\r\n");
    write("b.txt", "\nemu");
    QStringList parts = {dir_->path() + folder};
    parts += names;
    if (folder == "root") {
        // From the root, each name is the whole path below it.
        parts = QStringList{"/"};
        for (const QString& name : names)
            parts << dir_->filePath(name).mid(1);
    }
    desktop_->openAnswers = {{dialogForm(parts)}};
    actions_->PushButton3_Click();
    QCOMPARE(entries(), expected);
    QCOMPARE(desktop_->boxTexts(), QStringList(notFound, "File not found"));
    for (const ScriptedDesktop::Box& box : desktop_->boxes)
        QVERIFY(box.style == 0 && box.title == "Lexigrove test");
    QCOMPARE(pointer_->history, kBusyThenPlain);
}

void TestWordList::cancelChangesNothing() {
    fill({"old"});
    dialog_->FileName = "stale"; // a cancel must not bring back the last answer
    actions_->PushButton3_Click();
    QCOMPARE(desktop_->dialogs.size(), 1);
    QCOMPARE(entries(), QStringList{"old"});
    QVERIFY(pointer_->history.isEmpty());
    QVERIFY(desktop_->boxes.isEmpty());
}

void TestWordList::unreadableFiles() {
    const QString a = write("a.txt", "cat\r\n");
    write("b.txt", "dog");
    QVERIFY(QDir(dir_->path()).mkdir("folder.txt"));
    const QString folder = dir_->filePath("folder.txt");
#ifdef Q_OS_LINUX
    const auto openFiles = [] {
        return QDir("/proc/self/fd")
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
            .size();
    };
    const qsizetype openBefore = openFiles();
#endif

    // The second time from the root folder, whose joined paths start "//".
    const QStringList fromRoot = {"/", a.mid(1), folder.mid(1), dir_->filePath("b.txt").mid(1)};
    desktop_->openAnswers = {{folder}, {dialogForm(fromRoot)}};
    actions_->PushButton3_Click();
    actions_->PushButton3_Click();
    QCOMPARE(entries(), QStringList({"cat", "dog"}));
    QCOMPARE(desktop_->boxes.size(), 2);
    for (const ScriptedDesktop::Box& box : desktop_->boxes) {
        QCOMPARE(box.title, "Application Error");
        QCOMPARE(box.style, 48);
        QVERIFY2(box.text.startsWith("Cannot open " + folder + ": "), qPrintable(box.text));
    }
    QVERIFY(desktop_->boxes[0].text.contains(reportLine("PushButton3_Click", 120)));
    QVERIFY(desktop_->boxes[1].text.contains(reportLine("PushButton3_Click", 134)));
    QCOMPARE(pointer_->history, kBusyThenPlain + kBusyThenPlain);

#ifdef Q_OS_LINUX
    // A file that opens but cannot be read, and one that may not be opened
    // (unless the tests run with the power to open anything).
    LoadListviewFromFile(*words_, a, *desktop_);
    QVERIFY_THROWS_EXCEPTION(AppError, LoadListviewFromFile(*words_, "/proc/self/mem", *desktop_));
    QVERIFY(QFile(a).setPermissions(QFileDevice::WriteOwner));
    if (geteuid() != 0)
        QVERIFY_THROWS_EXCEPTION(AppError, LoadListviewFromFile(*words_, a, *desktop_));
    QCOMPARE(entries(), QStringList({"cat", "dog", "cat"}));
    QCOMPARE(openFiles(), openBefore);
#endif
}

// A pipe with no writer would block the open, a device would never end.
void TestWordList::onlyRegularFilesAreRead_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("pipe without a writer") << "fifo";
    QTest::newRow("endless device") << "/dev/zero";
    QTest::newRow("terminal-like device") << "/dev/null";
}

void TestWordList::onlyRegularFilesAreRead() {
#ifndef Q_OS_LINUX
    QSKIP("pipes and devices as Linux has them");
#else
    QFETCH(QString, path);
    if (path == "fifo") {
        path = dir_->filePath("fifo");
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    fill({"old"});
    desktop_->openAnswers = {{path}};
    actions_->PushButton3_Click();
    QCOMPARE(entries(), QStringList{"old"});
    QCOMPARE(desktop_->boxes.size(), 1);
    QVERIFY2(desktop_->boxes[0].text.startsWith("Cannot open " + path +
                                                ": not a text file but a pipe or a device"),
             qPrintable(desktop_->boxes[0].text));
    QCOMPARE(pointer_->history, kBusyThenPlain);
#endif
}

void TestWordList::dropLoadsLikeTheDialog() {
    const QString a = write("a.txt", "cat\r\ndog\r\n");
    const QString b = write("b.txt", "emu");
    // As a drag arrives: it enters, moves over the list, and drops only where
    // its entry was accepted.
    const auto accepted = [&](QDropEvent&& event) {
        QCoreApplication::sendEvent(list_->viewport(), &event);
        QCoreApplication::processEvents();
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    };
    const auto enter = [&](QMimeData& data, Qt::DropActions offered) {
        return accepted(QDragEnterEvent(QPoint(5, 5), offered, &data, Qt::LeftButton, {})) &&
               accepted(QDragMoveEvent(QPoint(6, 6), offered, &data, Qt::LeftButton, {}));
    };
    const auto drop = [&](QMimeData& data) {
        return accepted(
            QDropEvent(QPointF(6, 6), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {}));
    };
    const Qt::DropActions copyOrMove = Qt::CopyAction | Qt::MoveAction;

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(b), QUrl::fromLocalFile(dir_->filePath("gone.txt")),
                   QUrl::fromLocalFile(a)});
    QVERIFY(!enter(files, Qt::MoveAction)); // the source would delete them
    QVERIFY(enter(files, copyOrMove));
    QVERIFY(entries().isEmpty());
    QVERIFY(drop(files));
    QCOMPARE(entries(), QStringList({"emu", "cat", "dog"}));
    QCOMPARE(desktop_->boxTexts(), QStringList{"File not found"});
    QCOMPARE(pointer_->history, kBusyThenPlain);

    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(dir_->path())});
    QVERIFY(enter(folder, copyOrMove));
    QVERIFY(drop(folder));
    QVERIFY(desktop_->boxes.last().text.contains(reportLine("ListView1_OLEDragDrop", 120)));

    QMimeData words;
    words.setText("cat");
    words.setUrls({QUrl("https://example.org/a.txt")});
    QVERIFY(!enter(words, copyOrMove));
    QVERIFY(!drop(words));
    QCOMPARE(entries(), QStringList({"emu", "cat", "dog"}));

    // The window closes at the "File not found" box of a drop: no further
    // file is read, and nothing escapes into the event loop.
    desktop_->boxes.clear();
    desktop_->onBox = [&](const ScriptedDesktop::Box&) { desktop_->markClosing(); };
    QVERIFY(enter(files, copyOrMove));
    QVERIFY(drop(files));
    QCOMPARE(entries(), QStringList({"emu", "cat", "dog", "emu"}));
    QCOMPARE(desktop_->boxTexts(), QStringList{"File not found"});
}

void TestWordList::paste_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("CR LF") << "cat\r\ndog\r\n" << QStringList{"old", "cat", "dog"};
    QTest::newRow("final LF") << " cat\ndog\n" << QStringList{"old", " cat", "dog"};
    QTest::newRow("empty lines") << "\r\ncat\n\n\r\ndog\r\n" << QStringList{"old", "cat", "dog"};
    QTest::newRow("empty") << "" << QStringList{"old"};
}

void TestWordList::paste() {
    QFETCH(QString, clipboard);
    QFETCH(QStringList, expected);
    fill({"old"});
    desktop_->clipboard = clipboard;
    pointer_->mode = PointerMode::Busy; // appending does not wait for a run
    QTest::keyClick(list_.get(), Qt::Key_V);
    QTest::keyClick(list_.get(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(list_.get(), Qt::Key_Insert);
    QCOMPARE(entries(), QStringList{"old"});
    QTest::keyClick(list_.get(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(entries(), expected);
    QTest::keyClick(list_.get(), Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(entries(), expected + expected.mid(1));
}

void TestWordList::badInputLoads() {
    // Hidden, and the long row gone before events run: a view sizes its rows
    // by laying out a row's whole text, which is not what is tested here.
    list_->hide();
    QByteArray binary;
    for (int i = 0; i < 512; ++i)
        binary += char(i);
    LoadListviewFromFile(*words_, write("binary.bin", binary), *desktop_);
    // CR and LF split it; the rest is read as Windows-1252, NULs included.
    QCOMPARE(list_->count(), 5);
    QCOMPARE(list_->text(1).size(), 10);
    QCOMPARE(list_->text(1).at(0), QChar(0));

    const qsizetype longLine = 50 * 1000 * 1000;
    LoadListviewFromFile(*words_, write("long.txt", QByteArray(longLine, 'x') + "\r\n"), *desktop_);
    QCOMPARE(list_->count(), 6);
    QCOMPARE(list_->text(6).size(), longLine);
    list_->clear();

    QByteArray lines;
    for (int i = 0; i < 1000000; ++i)
        lines += QByteArray::number(i) + "\r\n";
    LoadListviewFromFile(*words_, write("million.txt", lines), *desktop_);
    QCOMPARE(list_->count(), 1000000);
    QCOMPARE(list_->text(1000000), "999999");
    QVERIFY(desktop_->boxes.isEmpty());
}

QTEST_MAIN(TestWordList)
#include "test_wordlist.moc"
