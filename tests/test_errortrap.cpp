// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorTrap.h"
#include "ScriptedDesktop.h"

#include <QTest>
#include <stdexcept>

namespace {
const QString kSupport =
    QStringLiteral("Please email screenshot of this message to support@lexigrove.org");

void fail(const QString& why) {
    throw AppError(why);
}
} // namespace

class TestErrorTrap : public QObject {
    Q_OBJECT
  private slots:
    void reportTextExact();
    void emptyDescriptionStartsWithLineBreak();
    void continuesAfterEachFailure();
    void failedTestRunsItsBody();
    void foreignExceptionsAreReported();
    void closingPassesThrough();
};

void TestErrorTrap::reportTextExact() {
    ScriptedDesktop desktop;
    ErrorTrap trap(desktop, "Form1", "Form_Load");
    QCOMPARE(trap.locationText(), "in Lexigrove2021/08/31.Form1.Form_Load ");
    trap.line(146, [] { fail("Unrecognized database format."); });

    QCOMPARE(desktop.boxes.size(), 1);
    QCOMPARE(desktop.boxes[0].title, "Application Error");
    QCOMPARE(desktop.boxes[0].style, 48);
    QCOMPARE(desktop.boxes[0].text, "Unrecognized database format.\r\n"
                                    "in Lexigrove2021/08/31.Form1.Form_Load at line 146\r\r" +
                                        kSupport);
    ErrorTrap main(desktop, "Main", "SaveListviewProperlySpaced");
    QCOMPARE(main.locationText(), "in Lexigrove2021/08/31.Main.SaveListviewProperlySpaced ");
}

void TestErrorTrap::emptyDescriptionStartsWithLineBreak() {
    ScriptedDesktop desktop;
    ErrorTrap trap(desktop, "Form1", "PushButton2_Click");
    trap.line(100, [] { fail(QString()); });
    QCOMPARE(desktop.boxes.size(), 1);
    QVERIFY(desktop.boxes[0].text.startsWith("\r\nin Lexigrove2021/08/31.Form1.PushButton2_Click "
                                             "at line 100\r\r"));
}

void TestErrorTrap::continuesAfterEachFailure() {
    ScriptedDesktop desktop;
    ErrorTrap trap(desktop, "Form1", "PushButton4_Click");
    QStringList ran;
    QVERIFY(!trap.line(100, [&] {
        ran << "100";
        fail("first");
        ran << "never";
    }));
    QVERIFY(trap.line(102, [&] { ran << "102"; }));
    QVERIFY(!trap.line(104, [&] { fail("second"); }));
    QVERIFY(!trap.line(110, [&] { fail("third"); }));
    QVERIFY(trap.line(112, [&] { ran << "112"; }));

    QCOMPARE(ran, QStringList({"100", "102", "112"}));
    QCOMPARE(desktop.boxes.size(), 3);
    QVERIFY(desktop.boxes[0].text.startsWith("first\r\n"));
    QVERIFY(desktop.boxes[0].text.contains("at line 100\r\r"));
    QVERIFY(desktop.boxes[1].text.contains("at line 104\r\r"));
    QVERIFY(desktop.boxes[2].text.contains("at line 110\r\r"));
}

void TestErrorTrap::failedTestRunsItsBody() {
    ScriptedDesktop desktop;
    ErrorTrap trap(desktop, "Form1", "Form_Load");
    QVERIFY(trap.test(112, [&]() -> bool {
        fail("Device not ready");
        return false;
    }));
    QVERIFY(!trap.test(112, [] { return false; }));
    QVERIFY(trap.test(112, [] { return true; }));
    QCOMPARE(desktop.boxes.size(), 1);
    QVERIFY(desktop.boxes[0].text.contains("at line 112"));
}

void TestErrorTrap::foreignExceptionsAreReported() {
    ScriptedDesktop desktop;
    ErrorTrap trap(desktop, "Form1", "PushButton17_Click");
    trap.line(118, [] { throw std::out_of_range("index out of range"); });
    trap.line(120, [] { throw std::bad_alloc(); });
    QCOMPARE(desktop.boxes.size(), 2);
    QVERIFY(desktop.boxes[0].text.startsWith("index out of range\r\n"));
    QVERIFY(desktop.boxes[1].text.startsWith("Out of memory\r\n"));
    QVERIFY(desktop.boxes[1].text.contains("at line 120"));
}

void TestErrorTrap::closingPassesThrough() {
    ScriptedDesktop desktop;
    desktop.onYield[1] = [&] { desktop.markClosing(); };
    ErrorTrap trap(desktop, "Form1", "PushButton17_Click");
    bool unwound = false;
    try {
        trap.line(124, [&] { desktop.letEventsRun(); });
    } catch (const ClosingSignal&) {
        unwound = true;
    }
    QVERIFY(unwound);
    QVERIFY(desktop.boxes.isEmpty());
}

QTEST_GUILESS_MAIN(TestErrorTrap)
#include "test_errortrap.moc"
