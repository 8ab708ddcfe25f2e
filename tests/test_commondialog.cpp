// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommonDialog.h"
#include "ScriptedDesktop.h"

#include <QTest>

namespace {
// FileName after choosing several files: folder, then the names, NUL-separated,
// with separators as the platform writes them.
QString folderAndNames(const QString& folder, const QStringList& names) {
    QStringList parts{folder};
    for (const QString& name : names)
        parts << name;
    return parts.join(QChar(0));
}
} // namespace

class TestCommonDialog : public QObject {
    Q_OBJECT
  private slots:
    void nameFilters_data();
    void nameFilters();
    void openOneFile();
    void openSeveralFiles_data();
    void openSeveralFiles();
    void cancelKeepsFileName_data();
    void cancelKeepsFileName();
    void request_data();
    void request();
    void save();
};

void TestCommonDialog::nameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("text and all files") << "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"
                                        << "Text Files (*.txt);;All Files (*)";
    QTest::newRow("no trailing bar") << "Text Files (*.txt)|*.txt|All Files (*.*)|*.*"
                                     << "Text Files (*.txt);;All Files (*)";
    QTest::newRow("several patterns") << "Word lists (*.txt;*.lst)|*.txt;*.lst|"
                                      << "Word lists (*.txt *.lst)";
    QTest::newRow("all files among others") << "Everything|*.txt;*.*|"
                                            << "Everything (*.txt *)";
    QTest::newRow("blanks around patterns") << "Text| *.txt ; *.text |"
                                            << "Text (*.txt *.text)";
    QTest::newRow("description without patterns") << "Text Files|*.txt|"
                                                  << "Text Files (*.txt)";
    QTest::newRow("description names other patterns") << "Text (*.doc)|*.txt|"
                                                      << "Text (*.txt)";
    QTest::newRow("parentheses that are no patterns") << "Notes (old)|*.not|"
                                                      << "Notes (old) (*.not)";
    QTest::newRow("pattern without wildcard") << "Makefile (Makefile)|Makefile|"
                                              << "Makefile (Makefile)";
    QTest::newRow("blank before the bar") << "Text (*.txt) |*.txt|"
                                          << "Text (*.txt)";
    QTest::newRow("no description") << "|*.txt|"
                                    << "*.txt";
    QTest::newRow("pair without pattern left out") << "Nothing||Text|*.txt|"
                                                   << "Text (*.txt)";
    QTest::newRow("odd count") << "Text Files (*.txt)|*.txt|All Files"
                               << "Text Files (*.txt)";
    QTest::newRow("description only") << "All Files"
                                      << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommonDialog::nameFilters() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(CommonDialog::QtNameFilters(filter), expected);
}

void TestCommonDialog::openOneFile() {
    ScriptedDesktop desktop;
    desktop.openAnswers << QStringList{"/home/ann/lists/my words.txt"};
    CommonDialog dialog(desktop);
    dialog.Flags = CommonDialog::OFN_ALLOWMULTISELECT | CommonDialog::OFN_EXPLORER;
    dialog.ShowOpen();
    QCOMPARE(dialog.FileName, "/home/ann/lists/my words.txt");
    QVERIFY(!dialog.FileName.contains(QChar(0)));
}

void TestCommonDialog::openSeveralFiles_data() {
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("one folder") << QStringList{"/home/ann/a.txt", "/home/ann/b.txt",
                                               "/home/ann/c d.txt"}
                                << "/home/ann" << QStringList{"a.txt", "b.txt", "c d.txt"};
    QTest::newRow("order as chosen") << QStringList{"/w/z.txt", "/w/a.txt", "/w/m.txt"} << "/w"
                                     << QStringList{"z.txt", "a.txt", "m.txt"};
    QTest::newRow("root folder") << QStringList{"/a.txt", "/b.txt"} << "/"
                                 << QStringList{"a.txt", "b.txt"};
    QTest::newRow("different folders")
        << QStringList{"/w/x/a.txt", "/w/y/b.txt"} << "/w" << QStringList{"x/a.txt", "y/b.txt"};
    QTest::newRow("folder names sharing a start") << QStringList{"/w/ab/a.txt", "/w/abc/b.txt"}
                                                  << "/w" << QStringList{"ab/a.txt", "abc/b.txt"};
    QTest::newRow("only the root in common")
        << QStringList{"/x/a.txt", "/y/b.txt"} << "/" << QStringList{"x/a.txt", "y/b.txt"};
}

void TestCommonDialog::openSeveralFiles() {
    QFETCH(QStringList, chosen);
    QFETCH(QString, folder);
    QFETCH(QStringList, names);

    ScriptedDesktop desktop;
    desktop.openAnswers << chosen;
    CommonDialog dialog(desktop);
    dialog.Flags = CommonDialog::OFN_ALLOWMULTISELECT | CommonDialog::OFN_EXPLORER |
                   CommonDialog::OFN_LONGNAMES;
    dialog.FileName = QString();
    dialog.ShowOpen();
    QCOMPARE(dialog.FileName, folderAndNames(folder, names));
    QCOMPARE(dialog.FileName.count(QChar(0)), chosen.size());
}

void TestCommonDialog::cancelKeepsFileName_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("preset");

    QTest::newRow("open, empty") << false << "";
    QTest::newRow("open, earlier choice") << false << "/home/ann/old.txt";
    QTest::newRow("save, empty") << true << "";
    QTest::newRow("save, earlier choice") << true << "/home/ann/old.txt";
}

void TestCommonDialog::cancelKeepsFileName() {
    QFETCH(bool, save);
    QFETCH(QString, preset);

    ScriptedDesktop desktop; // no answers queued: every dialog is cancelled
    CommonDialog dialog(desktop);
    dialog.Flags = CommonDialog::OFN_ALLOWMULTISELECT;
    dialog.FileName = preset;
    if (save)
        dialog.ShowSave();
    else
        dialog.ShowOpen();
    QCOMPARE(desktop.dialogs.size(), 1);
    QCOMPARE(dialog.FileName, preset);
}

void TestCommonDialog::request_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("multiSelect");

    const int multi = CommonDialog::OFN_ALLOWMULTISELECT;
    const int others =
        CommonDialog::OFN_EXPLORER | CommonDialog::OFN_LONGNAMES | CommonDialog::OFN_READONLY;
    QTest::newRow("open, no flags") << false << 0 << false;
    QTest::newRow("open, other flags") << false << others << false;
    QTest::newRow("open, several files") << false << multi << true;
    QTest::newRow("open, several files and others") << false << (multi | others) << true;
    QTest::newRow("save, no flags") << true << 0 << false;
    QTest::newRow("save, several files asked") << true << (multi | others) << false;
}

void TestCommonDialog::request() {
    QFETCH(bool, save);
    QFETCH(int, flags);
    QFETCH(bool, multiSelect);

    ScriptedDesktop desktop;
    CommonDialog dialog(desktop);
    dialog.Flags = flags;
    dialog.DialogTitle = QStringLiteral("Load Word List");
    dialog.Filter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
    if (save)
        dialog.ShowSave();
    else
        dialog.ShowOpen();

    QCOMPARE(desktop.dialogs.size(), 1);
    const FileDialogRequest& asked = desktop.dialogs.first();
    QCOMPARE(asked.title, dialog.DialogTitle);
    QCOMPARE(asked.nameFilters, CommonDialog::QtNameFilters(dialog.Filter));
    QCOMPARE(asked.multiSelect, multiSelect);
    // The members the program set are left as they were.
    QCOMPARE(dialog.Flags, flags);
    QCOMPARE(dialog.Filter, QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
}

void TestCommonDialog::save() {
    ScriptedDesktop desktop;
    desktop.saveAnswers << QStringLiteral("/home/ann/results/synonyms.txt");
    CommonDialog dialog(desktop);
    dialog.FileName = QStringLiteral("/home/ann/old.txt");
    dialog.ShowSave();
    QCOMPARE(dialog.FileName, "/home/ann/results/synonyms.txt");
    QCOMPARE(desktop.dialogs.size(), 1);
}

QTEST_GUILESS_MAIN(TestCommonDialog)
#include "test_commondialog.moc"
