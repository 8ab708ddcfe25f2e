// SPDX-License-Identifier: GPL-3.0-or-later
// The real file dialog, answered as a user types into it.
#include "QtDesktop.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestFileDialog : public QObject {
    Q_OBJECT
  private slots:
    void typedNames_data();
    void typedNames();
};

void TestFileDialog::typedNames_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("typed"); // "@" stands for the dialog's folder
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("save, quoted part")
        << true << R"(synonyms of "words.txt")" << QStringList{R"(@/synonyms of "words.txt")"};
    QTest::newRow("save, quote in a full path")
        << true << R"(@/out/q"x.txt)" << QStringList{R"(@/out/q"x.txt)"};
    QTest::newRow("save, plain name") << true << "plain.txt" << QStringList{"@/plain.txt"};
    QTest::newRow("open, quote in a name")
        << false << R"(q"uote.txt)" << QStringList{R"(@/q"uote.txt)"};
    QTest::newRow("open, several chosen")
        << false << R"("words.txt" "x.txt")" << QStringList{"@/words.txt", "@/x.txt"};
}

void TestFileDialog::typedNames() {
    QFETCH(bool, save);
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("out"));
    for (const char* name : {"words.txt", R"(q"uote.txt)", R"(x.txt)", R"(out/x.txt)"}) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    typed.replace(u'@', dir.path());
    for (QString& path : expected)
        path.replace(u'@', dir.path());

    // Typed and confirmed with Return, once the dialog is up.
    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        typist.stop();
        dialog->setDirectory(dir.path());
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(edit);
        // With the focus in the name, as while typing: otherwise the dialog
        // writes its own selection over the text.
        QApplication::setActiveWindow(dialog);
        edit->setFocus();
        QVERIFY(edit->hasFocus());
        edit->setText(typed);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    typist.start(10);

    QtDesktop desktop;
    const FileDialogRequest request{"Save", "Text Files (*.txt);;All Files (*)", !save};
    const QStringList chosen =
        save ? QStringList{desktop.saveFileDialog(request)} : desktop.openFileDialog(request);
    QCOMPARE(chosen, expected);
}

QTEST_MAIN(TestFileDialog)
#include "test_filedialog.moc"
