// SPDX-License-Identifier: GPL-3.0-or-later
#include "DatabaseBuild.h"
#include "FixtureDatabase.h"
#include "Form1.h"
#include "ListView.h"
#include "ProgressBar.h"
#include "ScriptedDesktop.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {
const QString kResources = QStringLiteral(LEXIGROVE_RESOURCES);

struct Place {
    const char* name;
    int left, top, width, height;
};
// The layout in twips, as the window must draw it at 15 twips to the pixel.
const Place kLayout[] = {
    {"PushButton7", 120, 120, 7800, 405},   {"ListView1", 120, 630, 7800, 2535},
    {"PushButton6", 120, 3250, 3840, 405},  {"PushButton3", 4080, 3250, 3840, 405},
    {"PushButton1", 120, 3760, 3840, 405},  {"PushButton8", 4080, 3760, 3840, 405},
    {"PushButton17", 120, 4270, 7800, 405}, {"ListView2", 120, 4800, 7800, 2535},
    {"PushButton4", 120, 7420, 3840, 405},  {"PushButton9", 4080, 7420, 3840, 405},
    {"PushButton2", 120, 7930, 3840, 405},  {"PushButton5", 4080, 7930, 3840, 405},
    {"ProgressBar1", 120, 8450, 7800, 405}, {"ThesaurusLabel", 120, 8960, 1200, 405},
    {"Thesaurus", 1320, 8960, 6600, 405},
};

int px(int twips) {
    return qRound(twips / 15.0);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void missingDatabaseEndsStartUp();
    void layout();
    void plainStartUp();
    void skinAndPointerFiles();
    void damagedFilesAreReportedAndStartUpGoesOn();
    void damagedSkinIsReported_data();
    void damagedSkinIsReported();
    void runThroughTheButton();
    void stopWithASecondClick();
    void closeDuringRun();
    void queryWithoutEnd();
    void loadDuringRunKeepsTheListInPlace();
    void clicksDuringUnloadDoNothing();
    void hoverModes();
    void helpCallsTheShellEachTime();
    void buttonsReachTheirHandlers();
    void progressBarDrawsAtScreenRate();
    void closeDuringExport();
    void resultsClearedDuringCommaExport();
    void commaExportDuringRunSaysWhatItHolds();
    void resultsClearedDuringAlignedExport_data();
    void resultsClearedDuringAlignedExport();
    void chosenThesaurusIsBuiltUsedAndRemembered();
    void unusableThesaurusIsReported_data();
    void unusableThesaurusIsReported();
    void givenDatabaseIsShown();
    void choosingAnotherDropsTheBuild();
    void databaseNeverChangesUnderARun();
    void languageGivenAtStart_data();
    void languageGivenAtStart();
    void wordFilesGivenAtStartAreLoaded();
    void closeDuringBuildEndsAtOnce();
    void meaningsOfTheResults();
    void unreadableWordFilesGivenAtStart_data();
    void unreadableWordFilesGivenAtStart();
    void accessibleNames();

  private:
    Form1& load(bool expectWindow = true);
    template <class T = QWidget> T* child(const char* name) {
        return form_->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void move(QWidget* over) {
        QMouseEvent moved(QEvent::MouseMove, QPointF(5, 5), over->mapToGlobal(QPointF(5, 5)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(over, &moved);
    }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ScriptedDesktop> desktop_;
    std::unique_ptr<Form1> form_;
};

namespace {
// The chooser's entry for the small Icelandic thesaurus (Debian's mythes-is).
int IcelandicIndex(QComboBox* chooser) {
    return chooser->findText(QStringLiteral("Íslenska"));
}

QStringList Rows(ListView* list) {
    QStringList rows;
    for (int position = 1; position <= list->count(); ++position)
        rows << list->text(position);
    return rows;
}

QSettings Settings() {
    return QSettings(QSettings::UserScope, "lexigrove", "lexigrove");
}
} // namespace

void TestForm1::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    BuildFixtureDatabase(folder_->path());
    desktop_ = std::make_unique<ScriptedDesktop>();
    // Nothing remembered and nothing built: the settings and the cache are the test's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_->filePath("config"));
    qputenv("XDG_CACHE_HOME", folder_->filePath("cache").toUtf8());
    qputenv("XDG_DATA_HOME", folder_->filePath("data").toUtf8());
    // An English desktop, whatever this machine's.
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "en_US.UTF-8");
}

void TestForm1::cleanup() {
    form_.reset();
    desktop_.reset();
    folder_.reset();
}

Form1& TestForm1::load(bool expectWindow) {
    form_ = std::make_unique<Form1>(*desktop_, folder_->path());
    const bool loaded = form_->Form_Load();
    if (loaded)
        form_->show();
    [&] { QCOMPARE(loaded, expectWindow); }();
    return *form_;
}

void TestForm1::missingDatabaseEndsStartUp() {
    QVERIFY(QFile::remove(folder_->filePath("words.mdb")));
    QVERIFY(QDir(folder_->path()).mkpath("x"));
    writeFile(folder_->filePath("x/o.cjs"), "QWidget { color: red; }");
    QVERIFY(QFile::copy(kResources + "/HAND-M.CUR", folder_->filePath("HAND-M.CUR")));

    Form1& form = load(false);
    QCOMPARE(desktop_->boxes.size(), 1);
    QCOMPARE(desktop_->boxes[0].text, folder_->path() + "/words.mdb not found");
    QCOMPARE(desktop_->boxes[0].style, 0);
    QCOMPARE(desktop_->boxes[0].title, "Lexigrove");
    QVERIFY(!form.isVisible());
    QVERIFY(form.styleSheet().isEmpty()); // nothing else of start-up ran
    QVERIFY(form.windowTitle().isEmpty());

    // A folder by that name is no database either.
    QVERIFY(QDir(folder_->path()).mkdir("words.mdb"));
    desktop_->boxes.clear();
    load(false);
    QCOMPARE(desktop_->boxTexts(), QStringList({folder_->path() + "/words.mdb not found"}));
}

void TestForm1::layout() {
    Form1& form = load();
    QCOMPARE(form.size(), QSize(536, 631));
    QCOMPARE(form.minimumSize(), form.maximumSize()); // fixed size
    for (const Place& place : kLayout) {
        QWidget* control = child(place.name);
        QVERIFY2(control, place.name);
        QCOMPARE(control->geometry(),
                 QRect(px(place.left), px(place.top), px(place.width), px(place.height)));
    }
    QCOMPARE(child<QPushButton>("PushButton7")->text(), "Help");
    QCOMPARE(child<QPushButton>("PushButton8")->text(), "Load Sample/Example Words");
    QCOMPARE(child<QPushButton>("PushButton17")->text(), "Start Looking Up Synonyms");
    QCOMPARE(child<QPushButton>("PushButton5")->text(), "Copy Results To Clipboard");
    QCOMPARE(child<QPushButton>("PushButton4")->font().pointSizeF(), 11.25);
    QVERIFY(child<QPushButton>("PushButton4")->font().bold());
    QCOMPARE(child("ListView1")->font().family(), "Arial");
    QCOMPARE(child("ListView1")->font().pointSizeF(), 9.0);
    QCOMPARE(child("ListView2")->toolTip(),
             "Move | line to right and out of window to reveal full names.");
    QCOMPARE(form.findChildren<QPushButton*>().size(), 10);
    for (QWidget* w : form.findChildren<QWidget*>())
        if (w->objectName() != "ListView2")
            QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));

    // Keyboard order, among the named controls that take the focus (the
    // progress bar never does).
    const QStringList expected = {"ListView1",   "ListView2",    "PushButton6", "PushButton3",
                                  "PushButton1", "PushButton17", "PushButton4", "PushButton2",
                                  "PushButton5", "PushButton7",  "PushButton8", "PushButton9",
                                  "Thesaurus"};
    QStringList order;
    QWidget* w = child("ListView1");
    do {
        if (expected.contains(w->objectName()) && !order.contains(w->objectName()))
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != child("ListView1"));
    QCOMPARE(order, expected);
    QCOMPARE(form.focusWidget(), child("ListView1"));
    // In too small a room (twice the scale on 1280x1024) the window takes the room, and Tab
    // still reaches each control, scrolled into view.
    form.fitWithin(QSize(640, 490));
    QCOMPARE(form.size(), QSize(536, 490));
    QVERIFY(QTest::qWaitForWindowActive(&form));
    for (const QString& name : expected.mid(1)) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QWidget* control = QApplication::focusWidget();
        QCOMPARE(control->objectName(), name);
        QVERIFY(form.rect().contains(control->mapTo(&form, control->rect().bottomRight())));
    }
}

void TestForm1::plainStartUp() {
    Form1& form = load();
    QVERIFY(desktop_->boxes.isEmpty());
    QCOMPARE(form.windowTitle(), "Lexigrove");
    QCOMPARE(desktop_->appTitle(), "Lexigrove");
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(form.styleSheet().isEmpty());
    auto* words = child<ListView>("ListView1");
    auto* results = child<ListView>("ListView2");
    QCOMPARE(words->columnCount(), 1);
    QCOMPARE(words->columnHeader(1), " Word(s)");
    QCOMPARE(results->columnCount(), 1);
    QCOMPARE(results->columnHeader(1), "Results");
    QCOMPARE(words->columnWidth(0), 467);
    QCOMPARE(results->columnWidth(0), 467);
    QCOMPARE(words->count(), 0);
    QCOMPARE(form.connection().State(), 1);
    QCOMPARE(child<ProgressBar>("ProgressBar1")->text(), "Progress Bar");
    QCOMPARE(child<ProgressBar>("ProgressBar1")->value(), 0);

    // Without a pointer file the hand mode shows the plain pointer.
    move(child("PushButton6"));
    QCOMPARE(form.MousePointer(), 99);
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
}

void TestForm1::skinAndPointerFiles() {
    const QByteArray sheet = "QPushButton { color: #123456; }";
    QVERIFY(QDir(folder_->path()).mkpath("x"));
    writeFile(folder_->filePath("x/o.cjs"), sheet);
    QVERIFY(QFile::copy(kResources + "/HAND-M.CUR", folder_->filePath("HAND-M.CUR")));

    Form1& form = load();
    QVERIFY(desktop_->boxes.isEmpty());
    QCOMPARE(form.styleSheet(), QString::fromUtf8(sheet));
    QCOMPARE(form.palette().color(QPalette::Window), form.palette().color(QPalette::Button));
    move(child("PushButton17"));
    QCOMPARE(form.MousePointer(), 99);
    QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(form.cursor().hotSpot(), QPoint(6, 0));
}

void TestForm1::damagedFilesAreReportedAndStartUpGoesOn() {
    writeFile(folder_->filePath("HAND-M.CUR"), "not a cursor at all, just some text");
    writeFile(folder_->filePath("words.mdb"), QByteArray(4096, 'j'));
    Form1& form = load();
    QCOMPARE(desktop_->boxes.size(), 2);
    QVERIFY(desktop_->boxes[0].text.contains("is not a valid cursor file.\r\n"
                                             "in Lexigrove2021/08/31.Form1.Form_Load at line 114"));
    QVERIFY(desktop_->boxes[1].text.contains("is not a synonym database Lexigrove can read"));
    QVERIFY(desktop_->boxes[1].text.contains("Form1.Form_Load at line 146\r\r"));
    QCOMPARE(desktop_->boxes[1].title, "Application Error");
    QCOMPARE(form.windowTitle(), "Lexigrove");
    QCOMPARE(child<ListView>("ListView2")->columnHeader(1), "Results");
    QCOMPARE(form.connection().State(), 0);

    // Every query then fails in the run, each reported once.
    child<ListView>("ListView1")->append("look");
    desktop_->boxes.clear();
    click("PushButton17");
    QCOMPARE(desktop_->boxes.size(), 2);
    QVERIFY(desktop_->boxes[0].text.contains("PushButton17_Click at line 130"));
    QCOMPARE(desktop_->boxes[1].text, "Done.");
}

void TestForm1::damagedSkinIsReported_data() {
    QTest::addColumn<QByteArray>("sheet");
    QTest::newRow("unclosed rule") << QByteArray("QPushButton { color: #123456; ");
    QTest::newRow("stray brace") << QByteArray("QPushButton { color: #123456; } }");
    QTest::newRow("broken selector") << QByteArray("QWidget [[[ color");
    QTest::newRow("broken url") << QByteArray("QWidget { background: url(; }");
}

void TestForm1::damagedSkinIsReported() {
    QFETCH(QByteArray, sheet);
    QVERIFY(QDir(folder_->path()).mkpath("x"));
    writeFile(folder_->filePath("x/o.cjs"), sheet);

    Form1& form = load();
    QCOMPARE(desktop_->boxes.size(), 1);
    QCOMPARE(desktop_->boxes[0].text,
             "The skin " + folder_->filePath("x/o.cjs") +
                 " is damaged: Qt cannot read it as a style sheet.\r\n"
                 "in Lexigrove2021/08/31.Form1.Form_Load at line 106\r\r"
                 "Please email screenshot of this message to support@lexigrove.org");
    QCOMPARE(desktop_->boxes[0].style, 48);
    QCOMPARE(desktop_->boxes[0].title, "Application Error");
    // Unskinned, and the rest of start-up ran.
    QVERIFY(form.styleSheet().isEmpty());
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), "Lexigrove");
    QCOMPARE(form.connection().State(), 1);
}

void TestForm1::runThroughTheButton() {
    Form1& form = load();
    auto* words = child<ListView>("ListView1");
    auto* results = child<ListView>("ListView2");
    for (const char* word : {"random", "look", "advantage", "response"})
        words->append(word);
    results->append("from before");
    click("PushButton17");

    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
    QCOMPARE(results->count(), 11);
    QCOMPARE(results->text(1), "RANDOM - ergodic");
    QCOMPARE(results->text(11), "RESPONSE - answer");
    for (int r = 1; r <= results->count(); ++r)
        QVERIFY(!results->checked(r));
    QCOMPARE(child<QPushButton>("PushButton17")->text(), "Start Looking Up Synonyms");
    QCOMPARE(child<ProgressBar>("ProgressBar1")->currentText(), "Progress Bar");
    QCOMPARE(form.MousePointer(), 0);

    click("PushButton2");
    QCOMPARE(results->count(), 0);
    QCOMPARE(words->count(), 4);
    QCOMPARE(desktop_->boxes.size(), 1);
}

void TestForm1::stopWithASecondClick() {
    load();
    auto* words = child<ListView>("ListView1");
    for (const char* word : {"random", "look", "advantage", "response"})
        words->append(word);
    QStringList seenDuringRun;
    desktop_->onYield[2] = [&] {
        seenDuringRun << child<QPushButton>("PushButton17")->text()
                      << child<ProgressBar>("ProgressBar1")->currentText()
                      << QString::number(child<ProgressBar>("ProgressBar1")->exactValue())
                      << QString::number(form_->MousePointer());
    };
    desktop_->onYield[3] = [&] { click("PushButton17"); };
    click("PushButton17");
    QCOMPARE(seenDuringRun, QStringList({"Stop", "Processing: random", "25", "11"}));
    QCOMPARE(child<ListView>("ListView2")->count(), 2);
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
    QCOMPARE(child<QPushButton>("PushButton17")->text(), "Start Looking Up Synonyms");
}

void TestForm1::closeDuringRun() {
    Form1& form = load();
    auto* words = child<ListView>("ListView1");
    for (const char* word : {"random", "look", "advantage", "response"})
        words->append(word);
    desktop_->onYield[3] = [&] { form.close(); };
    click("PushButton17");

    QVERIFY(desktop_->isClosing());
    QVERIFY(!form.isVisible());
    QVERIFY(desktop_->boxes.isEmpty()); // no "Done.", nothing else
    QCOMPARE(form.connection().State(), 0);
    QCOMPARE(child<ListView>("ListView2")->count(), 2);
    // Events still queued behind the close do nothing.
    click("PushButton17");
    QVERIFY(desktop_->boxes.isEmpty());
}

// A view that never ends, in a database of the user's own: a stop click, then closing, ends it.
void TestForm1::queryWithoutEnd() {
    QProcess::execute("sqlite3", {folder_->filePath("words.mdb"),
                                  "drop view qrySynonyms; create view qrySynonyms as with recursive "
                                  "n(i) as (select 1 union all select i + 1 from n) select "
                                  "'random' as word, '' as synonym from n where i = 0"});
    for (const bool close : {false, true}) {
        Form1& form = load();
        child<ListView>("ListView1")->append("random");
        desktop_->onYield[desktop_->yields + 4] = [&] {
            close ? void(form.close()) : click("PushButton17");
        };
        click("PushButton17");
        QCOMPARE(desktop_->isClosing(), close);
    }
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
}

// A file loaded from inside a run leaves the pointer busy, so a "Clear List"
// queued behind it cannot pull the words out from under the run.
void TestForm1::loadDuringRunKeepsTheListInPlace() {
    Form1& form = load();
    auto* words = child<ListView>("ListView1");
    for (const char* word : {"random", "look", "advantage", "response"})
        words->append(word);
    QTemporaryDir dir;
    const QString file = dir.filePath("more.txt");
    writeFile(file, "look\r\n");
    desktop_->openAnswers = {{file}};
    desktop_->onYield[3] = [&] {
        click("PushButton3");
        click("PushButton1");
    };
    click("PushButton17");
    QCOMPARE(words->count(), 5);
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
    QCOMPARE(child<ListView>("ListView2")->text(child<ListView>("ListView2")->count()),
             "RESPONSE - answer");
    QCOMPARE(form.MousePointer(), 0);
}

// Unloading lets events run after the database has closed: a click queued
// behind the close must not start a run of failing lookups, one report a word.
void TestForm1::clicksDuringUnloadDoNothing() {
    Form1& form = load();
    auto* words = child<ListView>("ListView1");
    for (const char* word : {"random", "look", "advantage"})
        words->append(word);
    desktop_->onYield[1] = [&] {
        QCOMPARE(form.connection().State(), 0);
        for (const char* button : {"PushButton17", "PushButton6", "PushButton4"})
            click(button);
    };
    form.close();
    QCOMPARE(desktop_->yields, 2);
    QVERIFY(desktop_->boxes.isEmpty());
    QVERIFY(desktop_->inputs.isEmpty() && desktop_->dialogs.isEmpty());
    QCOMPARE(child<ListView>("ListView2")->count(), 0);
    QCOMPARE(words->count(), 3);
}

void TestForm1::hoverModes() {
    QVERIFY(QFile::copy(kResources + "/HAND-M.CUR", folder_->filePath("HAND-M.CUR")));
    Form1& form = load();
    move(child("PushButton5"));
    QCOMPARE(form.MousePointer(), 99);
    move(child("ProgressBar1")); // no routine of its own: the hand stays
    QCOMPARE(form.MousePointer(), 99);
    move(child<ListView>("ListView1")->viewport());
    QCOMPARE(form.MousePointer(), 0);
    move(child("PushButton7"));
    QCOMPARE(form.MousePointer(), 99);
    move(&form);
    QCOMPARE(form.MousePointer(), 0);

    form.setMousePointer(11);
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    for (QWidget* over : {child("PushButton1"), child<ListView>("ListView2")->viewport(),
                          static_cast<QWidget*>(&form)}) {
        move(over);
        QCOMPARE(form.MousePointer(), 11);
    }
    form.setMousePointer(0);
    move(child("PushButton1"));
    QCOMPARE(form.MousePointer(), 99);
}

void TestForm1::helpCallsTheShellEachTime() {
    load();
    click("PushButton7");
    click("PushButton7");
    QCOMPARE(desktop_->shellCalls.size(), 2);
    for (const auto& call : desktop_->shellCalls) {
        QCOMPARE(call.file, '"' + folder_->path() + "/help.html\"");
        QCOMPARE(call.showCommand, 5);
        QVERIFY(call.operation.isEmpty());
        QVERIFY(call.parameters.isEmpty());
    }
    QVERIFY(desktop_->boxes.isEmpty());
}

void TestForm1::buttonsReachTheirHandlers() {
    Form1& form = load();
    auto* words = child<ListView>("ListView1");
    auto* results = child<ListView>("ListView2");
    click("PushButton8");
    desktop_->typed << "zzyzx";
    click("PushButton6");
    QCOMPARE(words->count(), 5);
    QCOMPARE(words->text(5), "zzyzx");

    click("PushButton17");
    QCOMPARE(results->count(), 12);
    QCOMPARE(results->text(12), "ZZYZX - this word not found in the database.");
    results->setChecked(12, true);
    click("PushButton5");
    QCOMPARE(desktop_->clipboard, "ZZYZX - this word not found in the database.\r\n");

    const QString csv = folder_->filePath("all.csv");
    desktop_->saveAnswers << csv;
    click("PushButton9");
    QFile written(csv);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().startsWith("RANDOM - ergodic,RANDOM - haphazard,"));

    // The Delete key waits while the pointer is busy, then removes the selection.
    QCoreApplication::processEvents(); // the view learns of the appended rows
    words->setCurrentIndex(words->model()->index(0, 0));
    form.setMousePointer(11);
    QTest::keyClick(words, Qt::Key_Delete);
    QCOMPARE(words->count(), 5);
    form.setMousePointer(0);
    QTest::keyClick(words, Qt::Key_Delete);
    QCOMPARE(words->count(), 4);
    QCOMPARE(words->text(1), "look");
    click("PushButton1");
    QCOMPARE(words->count(), 0);
    QCOMPARE(desktop_->boxTexts().first(), "Done.");
    QCOMPARE(desktop_->boxes.size(), 2); // and the clipboard note, nothing else
}

void TestForm1::progressBarDrawsAtScreenRate() {
    ProgressBar bar;
    bar.setText("Writing file: 100%p.txt");
    bar.setExactValue(250.5);
    QCOMPARE(bar.text(), "Writing file: 100%p.txt"); // hidden: shown at once, codes literal
    QCOMPARE(bar.value(), 100);
    bar.show();
    for (int i = 1; i <= 1000; ++i) {
        bar.setExactValue(i / 10.0);
        bar.setText(QString::number(i));
    }
    // The program's values are exact at once; the drawing catches up.
    QCOMPARE(bar.exactValue(), 100.0);
    QCOMPARE(bar.currentText(), "1000");
    QTRY_COMPARE(bar.text(), "1000");
    QCOMPARE(bar.value(), 100);
    bar.setExactValue(std::nan(""));
    QTRY_COMPARE(bar.value(), 0);
}

void TestForm1::closeDuringExport() {
    Form1& form = load();
    click("PushButton8");
    click("PushButton17");
    child<ListView>("ListView2")->setAllChecked(true);
    const QString target = folder_->filePath("kept.txt");
    writeFile(target, "old contents");
    desktop_->saveAnswers << target;
    desktop_->answers << Desktop::Yes;
    desktop_->boxes.clear();
    const int yieldsSoFar = desktop_->yields;
    desktop_->onYield[yieldsSoFar + 2] = [&] { form.close(); };
    click("PushButton4");

    QVERIFY(desktop_->isClosing());
    QCOMPARE(desktop_->boxes.size(), 1); // the question before replacing, nothing after
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old contents"));
    QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestForm1::resultsClearedDuringCommaExport() {
    load();
    click("PushButton8");
    click("PushButton17");
    QCOMPARE(child<ListView>("ListView2")->count(), 11);
    const QString target = folder_->filePath("rows.csv");
    desktop_->saveAnswers << target;
    desktop_->boxes.clear();
    desktop_->onYield[desktop_->yields + 3] = [&] { click("PushButton2"); };
    click("PushButton9");

    QCOMPARE(desktop_->boxes.size(), 1);
    QVERIFY(desktop_->boxes[0].text.contains("Form1.PushButton9_Click at line 136\r\r"));
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("RANDOM - ergodic,RANDOM - haphazard,\r\n"));
}

// The run goes on after the export it let in: the file holds the rows so far, and says so.
void TestForm1::commaExportDuringRunSaysWhatItHolds() {
    load();
    for (const char* word : {"random", "look"})
        child<ListView>("ListView1")->append(word);
    desktop_->saveAnswers << folder_->filePath("rows.csv");
    desktop_->onYield[3] = [&] { click("PushButton9"); };
    click("PushButton17");
    QCOMPARE(desktop_->boxTexts(),
             QStringList({"The lookup is still running: " + folder_->filePath("rows.csv") +
                              " holds the 2 rows found so far. Save again when it is done for "
                              "all of them.",
                          "Done."}));
}

void TestForm1::resultsClearedDuringAlignedExport_data() {
    QTest::addColumn<int>("yield");
    QTest::addColumn<int>("line");
    QTest::addColumn<QByteArray>("written");
    // Yields: two before measuring, one before each of the 11 rows measured,
    // two before writing, one before the header cell, then per row one before
    // it, one before its cell and two around the bar.
    // Cleared before the third row is measured: the first two set the width.
    QTest::newRow("while measuring") << 5 << 126 << QByteArray("Results           \t\r\n");
    QTest::newRow("while writing")
        << 2 + 11 + 2 + 1 + 4 + 1 << 188
        << QByteArray("Results            \t\r\nRANDOM - ergodic   \t\r\n");
}

void TestForm1::resultsClearedDuringAlignedExport() {
    QFETCH(int, yield);
    QFETCH(int, line);
    QFETCH(QByteArray, written);
    load();
    click("PushButton8");
    click("PushButton17");
    child<ListView>("ListView2")->setAllChecked(true);
    const QString target = folder_->filePath("rows.txt");
    desktop_->saveAnswers << target;
    desktop_->boxes.clear();
    desktop_->onYield[desktop_->yields + yield] = [&] { click("PushButton2"); };
    click("PushButton4");

    QCOMPARE(desktop_->boxes.size(), 1);
    QVERIFY2(desktop_->boxes[0].text.contains(
                 QStringLiteral("Main.SaveListviewProperlySpaced at line %1\r\r").arg(line)),
             qPrintable(desktop_->boxes[0].text));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written);
}

void TestForm1::accessibleNames() {
    load();
    QCOMPARE(QAccessible::queryAccessibleInterface(form_.get())->role(), QAccessible::Window);
    // What screen readers read as each control's name, and as its value.
    const auto read = [&](const char* control, QAccessible::Text text) {
        return QAccessible::queryAccessibleInterface(child(control))->text(text);
    };
    QCOMPARE(read("ListView1", QAccessible::Name), "Word(s)");
    QCOMPARE(read("ListView2", QAccessible::Name), "Results");
    QCOMPARE(read("ProgressBar1", QAccessible::Name), "Progress");
    QCOMPARE(read("ProgressBar1", QAccessible::Value), "Progress Bar");
    QCOMPARE(read("Thesaurus", QAccessible::Name), "Thesaurus");
    QCOMPARE(read("Thesaurus", QAccessible::Value), "English (United States)");
}

QTEST_MAIN(TestForm1)
#include "test_window.moc"

void TestForm1::chosenThesaurusIsBuiltUsedAndRemembered() {
    load();
    auto* chooser = child<QComboBox>("Thesaurus");
    QCOMPARE(chooser->accessibleName(), "Thesaurus");
    // One English: the database beside the program, its file in the tool-tip.
    QCOMPARE(chooser->itemText(0), "English (United States)");
    const QAbstractItemModel* entries = chooser->model();
    const QModelIndexList english = entries->match(entries->index(0, 0), Qt::DisplayRole,
                                                   chooser->itemText(0), -1, Qt::MatchExactly);
    QCOMPARE(english.size(), 1);
    QCOMPARE(chooser->itemData(0, Qt::ToolTipRole), folder_->filePath("words.mdb"));
    QCOMPARE(chooser->currentIndex(), 0);
    const int icelandic = IcelandicIndex(chooser);
    QVERIFY2(icelandic > 0, "mythes-is is not installed");
    auto* progress = child<ProgressBar>("ProgressBar1");
    auto* words = child<ListView>("ListView1");
    auto* results = child<ListView>("ListView2");
    words->append("Bandaríkin");

    chooser->setCurrentIndex(icelandic);
    QVERIFY(progress->currentText().startsWith("Preparing Íslenska: "));
    // The build's end arrives through the event loop, so it cannot have arrived yet.
    click("PushButton17");
    QCOMPARE(desktop_->boxTexts().size(), 1);
    QVERIFY(desktop_->boxTexts()[0].startsWith("The thesaurus Íslenska is still being prepared ("));
    QCOMPARE(results->count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(progress->currentText(), "Íslenska is ready.", 60000);
    QVERIFY(QFile::exists(folder_->filePath("cache/lexigrove/is.mdb")));

    const QStringList expected = {"BANDARÍKIN - Ameríka", "BANDARÍKIN - Bandaríki Norður-Ameríku"};
    click("PushButton17");
    QCOMPARE(Rows(results), expected);

    // Started again, it opens the built database at once.
    form_.reset();
    desktop_->boxes.clear();
    load();
    QVERIFY(desktop_->boxes.isEmpty());
    QCOMPARE(child<QComboBox>("Thesaurus")->currentText(), "Íslenska");
    QCOMPARE(child<ProgressBar>("ProgressBar1")->currentText(), "Progress Bar");
    child<ListView>("ListView1")->append("Bandaríkin");
    click("PushButton17");
    QCOMPARE(Rows(child<ListView>("ListView2")), expected);
    const QString meaning = child<ListView>("ListView2")->description(1);
    QVERIFY(meaning.contains("meaning 1"));

    // Back to the database beside the program, remembered over the desktop's language; the
    // rows listed still tell what they mean from the one they came from.
    child<QComboBox>("Thesaurus")->setCurrentIndex(0);
    QCOMPARE(child<ListView>("ListView2")->description(1), meaning);
    qputenv("LANG", "is_IS.UTF-8");
    form_.reset();
    load();
    QCOMPARE(child<QComboBox>("Thesaurus")->currentIndex(), 0);
}

void TestForm1::unusableThesaurusIsReported_data() {
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QString>("message");
    // Not even root can make a folder inside a file.
    QTest::newRow("build fails") << ""
                                 << "The thesaurus Íslenska cannot be used:\r\n%1/cache/lexigrove/"
                                    "is.mdb: cannot create the folder %1/cache/lexigrove: Not a "
                                    "directory\r\nThe database beside the program stays in use.";
    QTest::newRow("remembered one gone")
        << "qq"
        << "The thesaurus Qq chosen last time is no longer installed.\r\n"
           "The database beside the program is used instead.";
}

void TestForm1::unusableThesaurusIsReported() {
    QFETCH(QString, remembered);
    QFETCH(QString, message);
    writeFile(folder_->filePath("cache"), "a file where the cache folder would be");
    if (!remembered.isEmpty()) {
        Settings().setValue("thesaurus/key", remembered);
        Settings().setValue("thesaurus/name", "Qq");
    }
    load();
    auto* chooser = child<QComboBox>("Thesaurus");
    if (remembered.isEmpty())
        chooser->setCurrentIndex(IcelandicIndex(chooser));
    QTRY_COMPARE_WITH_TIMEOUT(desktop_->boxTexts(),
                              QStringList{message.replace("%1", folder_->path())}, 60000);
    QCOMPARE(chooser->currentIndex(), 0);
    child<ListView>("ListView1")->append("look");
    click("PushButton17");
    QVERIFY(child<ListView>("ListView2")->count() > 1); // the fixture's synonyms
}

void TestForm1::givenDatabaseIsShown() {
    form_ = std::make_unique<Form1>(*desktop_, folder_->filePath("elsewhere"));
    form_->setDatabasePath(folder_->filePath("words.mdb"));
    QVERIFY(form_->Form_Load());
    auto* chooser = child<QComboBox>("Thesaurus");
    QCOMPARE(chooser->currentIndex(), 1);
    QCOMPARE(chooser->currentText(), folder_->filePath("words.mdb"));
    QCOMPARE(form_->connection().State(), 1);
}

void TestForm1::wordFilesGivenAtStartAreLoaded() {
    // Windows-1252, as a list saved by a Windows editor: read by the word-file rules.
    writeFile(folder_->filePath("one.txt"), "look\r\ncaf\xe9\r\n");
    writeFile(folder_->filePath("two.txt"), "random");
    load();
    QDir::setCurrent(folder_->path());
    form_->loadWordFiles({"one.txt", folder_->filePath("two.txt")});
    QCOMPARE(Rows(child<ListView>("ListView1")), QStringList({"look", "café", "random"}));
}

void TestForm1::meaningsOfTheResults() {
    load();
    child<ListView>("ListView1")->append("random");
    child<ListView>("ListView1")->append("zzyzx");
    click("PushButton17");
    auto* results = child<ListView>("ListView2");
    QTRY_COMPARE(results->model()->rowCount(), 3);
    QCOMPARE(results->description(1), "adj · meaning 1 · similar term");
    QCOMPARE(results->description(2), results->description(1));
    QCOMPARE(results->description(3), "This word is not in the database.");
    // The rows and what leaves the window keep their texts alone.
    QCOMPARE(Rows(results), QStringList({"RANDOM - ergodic", "RANDOM - haphazard",
                                         "ZZYZX - this word not found in the database."}));
    results->setAllChecked(true);
    click("PushButton5");
    QVERIFY(desktop_->clipboard.contains("RANDOM - haphazard"));
    QVERIFY(!desktop_->clipboard.contains("meaning") && !desktop_->clipboard.contains("is not in"));
}

void TestForm1::unreadableWordFilesGivenAtStart_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QString("missing.txt") << "No such file or directory";
    QTest::newRow("folder") << QString("folder") << "Is a directory";
    QTest::newRow("pipe, which must not hang the window")
        << QString("fifo") << "not a text file but a pipe or a device; nothing was loaded";
}

void TestForm1::unreadableWordFilesGivenAtStart() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QVERIFY(QDir(folder_->path()).mkdir("folder"));
    QCOMPARE(::mkfifo(QFile::encodeName(folder_->filePath("fifo")).constData(), 0600), 0);
    writeFile(folder_->filePath("good.txt"), "look");
    load();
    const QString bad = folder_->filePath(name);
    form_->loadWordFiles({bad, folder_->filePath("good.txt")});
    QCOMPARE(desktop_->boxTexts(), QStringList({QString("Cannot open %1: %2").arg(bad, reason)}));
    // The readable file still loads.
    QCOMPARE(Rows(child<ListView>("ListView1")), QStringList({"look"}));
}

void TestForm1::choosingAnotherDropsTheBuild() {
    load();
    auto* chooser = child<QComboBox>("Thesaurus");
    auto* progress = child<ProgressBar>("ProgressBar1");
    const int icelandic = IcelandicIndex(chooser);
    QVERIFY(icelandic > 0);
    chooser->setCurrentIndex(icelandic);
    chooser->setCurrentIndex(0);
    QCOMPARE(progress->currentText(), "Progress Bar");
    child<ListView>("ListView1")->append("look");
    click("PushButton17");
    QCOMPARE(child<ListView>("ListView2")->text(1), "LOOK - expression");

    // Chosen again at once, while the dropped build may still be writing the same file.
    // The dropped build may have finished first, and then its database serves at once.
    chooser->setCurrentIndex(icelandic);
    QTRY_VERIFY_WITH_TIMEOUT(!progress->currentText().startsWith("Preparing"), 60000);
    QVERIFY(progress->currentText() == "Íslenska is ready." ||
            progress->currentText() == "Progress Bar");
    QCOMPARE(desktop_->boxTexts(), QStringList{"Done."});
    child<ListView>("ListView1")->append("Bandaríkin");
    click("PushButton17");
    QCOMPARE(Rows(child<ListView>("ListView2")).last(), "BANDARÍKIN - Bandaríki Norður-Ameríku");
}

void TestForm1::languageGivenAtStart_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("desktop"); // its LANG
    QTest::newRow("installed") << "is-IS"
                               << "Íslenska" << QStringList() << QString("fr_FR");
    QTest::newRow("the language of the database beside the program")
        << "en"
        << "English (United States)" << QStringList() << QString();
    QTest::newRow("not installed")
        << "qq"
        << "English (United States)"
        << QStringList{"No thesaurus for 'qq' is installed.\r\nThe database beside the program "
                       "is used instead."}
        << QString();
    QTest::newRow("desktop's") << QString() << "Íslenska" << QStringList()
                               << QString("is_IS.UTF-8");
    QTest::newRow("English desktop")
        << QString() << "English (United States)" << QStringList() << QString("en_GB");
}

void TestForm1::languageGivenAtStart() {
    QFETCH(QString, code);
    QFETCH(QString, chosen);
    QFETCH(QStringList, boxes);
    QFETCH(QString, desktop);
    qputenv("LANG", desktop.toUtf8());
    form_ = std::make_unique<Form1>(*desktop_, folder_->path());
    form_->setLanguage(code);
    QVERIFY(form_->Form_Load());
    QCOMPARE(child<QComboBox>("Thesaurus")->currentText(), chosen);
    QCOMPARE(desktop_->boxTexts(), boxes);
    // Asked for this once, not chosen for the next start.
    QVERIFY(!Settings().contains("thesaurus/key"));
}

void TestForm1::databaseNeverChangesUnderARun() {
    load();
    auto* chooser = child<QComboBox>("Thesaurus");
    QSignalSpy built(form_->findChild<DatabaseBuild*>(), &DatabaseBuild::finished);
    for (const char* word : {"look", "Bandaríkin"})
        child<ListView>("ListView1")->append(word);
    // Chosen during the run's first yield, and built before the run goes on.
    desktop_->onYield[1] = [&] {
        chooser->setCurrentIndex(IcelandicIndex(chooser));
        QTRY_COMPARE_WITH_TIMEOUT(built.count(), 1, 60000);
    };
    click("PushButton17");
    QCOMPARE(built.count(), 1);
    const QStringList rows = Rows(child<ListView>("ListView2"));
    QCOMPARE(rows.first(), "LOOK - expression");
    QCOMPARE(rows.last(), "BANDARÍKIN - this word not found in the database.");
    // The run kept the progress display to itself, and left it at rest.
    QCOMPARE(child<ProgressBar>("ProgressBar1")->currentText(), "Progress Bar");

    click("PushButton17");
    QCOMPARE(Rows(child<ListView>("ListView2")),
             QStringList({"LOOK - this word not found in the database.", "BANDARÍKIN - Ameríka",
                          "BANDARÍKIN - Bandaríki Norður-Ameríku"}));
}

// The window closed while a language is built ends at once, wherever the build is: here
// reading a dictionary's .aff, long enough to take seconds.
void TestForm1::closeDuringBuildEndsAtOnce() {
    for (const char* data : {"data/mythes", "data/hunspell"})
        QVERIFY(QDir(folder_->path()).mkpath(data));
    writeFile(folder_->filePath("data/mythes/th_eo.dat"), "UTF-8\nglad|1\n(adj)|happy\n");
    QByteArray aff("SET UTF-8\nFLAG num\n");
    for (int flag = 1; flag < 400000; ++flag)
        aff += QString("SFX %1 Y 1\nSFX %1 0 s%1 .\n").arg(flag).toLatin1();
    writeFile(folder_->filePath("data/hunspell/eo.aff"), aff);
    writeFile(folder_->filePath("data/hunspell/eo.dic"), "1\nglad/1\n");
    form_ = std::make_unique<Form1>(*desktop_, folder_->path());
    form_->setLanguage("eo");
    QVERIFY(form_->Form_Load());
    form_->show();
    // The thesaurus is read; the dictionary's reading has begun.
    QTRY_COMPARE_WITH_TIMEOUT(child<ProgressBar>("ProgressBar1")->currentText(),
                              "Preparing Esperanto: 35%", 60000);
    QElapsedTimer closing;
    closing.start();
    form_->close();
    form_.reset();
    // Stopped, not given up on after the longest wait.
    QVERIFY2(closing.elapsed() < DatabaseBuild::kStopWaitMs,
             qPrintable(QString::number(closing.elapsed())));
    QCOMPARE(QDir(folder_->filePath("cache/lexigrove")).entryList(QDir::Files | QDir::Hidden),
             QStringList());
}
