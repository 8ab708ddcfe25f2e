// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtDesktop.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {
// What the label of a real box showed while it was open.
struct Shown {
    bool found = false;
    Qt::TextFormat format = Qt::AutoText;
    QString text;
};

// Reads the label of the next modal box from inside its own event loop, then
// closes the box. Gives up after about two seconds, so that a box that never
// opens fails the test instead of hanging it.
void readAndClose(Shown& shown, const QString& labelName, int triesLeft = 200) {
    QTimer::singleShot(10, [&shown, labelName, triesLeft] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box) {
            if (triesLeft > 0)
                readAndClose(shown, labelName, triesLeft - 1);
            return;
        }
        if (const auto* label = box->findChild<QLabel*>(labelName)) {
            shown = {true, label->textFormat(), label->text()};
        }
        box->reject();
    });
}
} // namespace

class TestQtDesktop : public QObject {
    Q_OBJECT
  private slots:
    void boxesShowTextNotMarkup_data();
    void boxesShowTextNotMarkup();
};

void TestQtDesktop::boxesShowTextNotMarkup_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shownText");

    QTest::newRow("error report")
        << "message"
        << "Cannot read /tmp/<i>lexi</i>/words.txt: No such file\r\n"
           "in Lexigrove2021/08/31.Form1.PushButton3_Click at line 118\r\r"
           "Please email screenshot of this message to x@y.org"
        << "Cannot read /tmp/<i>lexi</i>/words.txt: No such file\n"
           "in Lexigrove2021/08/31.Form1.PushButton3_Click at line 118\n\n"
           "Please email screenshot of this message to x@y.org";
    QTest::newRow("message that looks like a page") << "message"
                                                    << "<b>bold</b> &amp; <br>not a break"
                                                    << "<b>bold</b> &amp; <br>not a break";
    QTest::newRow("input box prompt") << "input"
                                      << "Word for <i>lexi</i>:\r\n<b>typed</b> &lt;"
                                      << "Word for <i>lexi</i>:\n<b>typed</b> &lt;";
}

void TestQtDesktop::boxesShowTextNotMarkup() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, shownText);

    QtDesktop desktop;
    Shown shown;
    if (box == "message") {
        readAndClose(shown, QStringLiteral("qt_msgbox_label"));
        desktop.messageBox(text, Desktop::Exclamation, QStringLiteral("Application Error"));
    } else {
        // The prompt is the dialog's only label.
        readAndClose(shown, QString());
        QCOMPARE(desktop.inputBox(text, QStringLiteral("Lexigrove")), QString());
    }
    QVERIFY(shown.found);
    QCOMPARE(shown.format, Qt::PlainText);
    QCOMPARE(shown.text, shownText);
}

QTEST_MAIN(TestQtDesktop)
#include "test_qtdesktop.moc"
