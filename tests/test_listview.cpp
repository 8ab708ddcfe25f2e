// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "ListModel.h"
#include "ListView.h"
#include "RowEnds.h"
#include "Utf8Text.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QToolTip>
#include <bit>
#include <functional>
#include <map>
#include <memory>

namespace {
// The text of the AppError that call throws; empty when it throws none.
QString failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AppError& error) {
        return error.description();
    }
    return QString();
}

std::unique_ptr<QAbstractItemModelTester> testerFor(ListView& view) {
    return std::make_unique<QAbstractItemModelTester>(
        &view.listModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

QStringList allTexts(const ListView& view) {
    QStringList texts;
    for (int position = 1; position <= view.count(); ++position)
        texts << view.text(position);
    return texts;
}

// The texts a view would draw: what the model gives for each row it announced.
QStringList shownTexts(const ListView& view) {
    const ListModel& model = view.listModel();
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.data(model.index(row, 0)).toString();
    return texts;
}

// Rows announced so far by rowsInserted, less those removed by rowsRemoved.
int announcedBySignals(const QSignalSpy& inserted, const QSignalSpy& removed) {
    int rows = 0;
    for (const QList<QVariant>& signal : inserted)
        rows += signal.at(2).toInt() - signal.at(1).toInt() + 1;
    for (const QList<QVariant>& signal : removed)
        rows -= signal.at(2).toInt() - signal.at(1).toInt() + 1;
    return rows;
}

// Appended rows reach the views within a fraction of a second.
// Rows described as "key:text".
void describeByKeyAndText(ListView& view) {
    view.setDescriber([](QByteArrayView key, QByteArrayView row) {
        return WordFromUtf8(key) + u':' + WordFromUtf8(row);
    });
}

void announceAll(const ListView& view) {
    QTRY_COMPARE(view.listModel().rowCount(), view.count());
}

QPoint rowCentre(const ListView& view, int position) {
    return view.visualRect(view.listModel().index(position - 1, 0)).center();
}

void showWithRows(ListView& view, int rows) {
    view.addColumn(QStringLiteral(" Word(s)"));
    view.addColumn(QStringLiteral("Synonym"));
    for (int i = 1; i <= rows; ++i)
        view.append(QStringLiteral("word %1").arg(i));
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
}
} // namespace

class TestListView : public QObject {
    Q_OBJECT
  private slots:
    void operations_data();
    void operations();
    void badPositions_data();
    void badPositions();
    void badColumns_data();
    void badColumns();
    void onlyFirstColumnHasTexts();
    void oddTexts_data();
    void oddTexts();
    void appendsAreAnnouncedInBatches();
    void rowEndsPastTheirWidth();
    void millionRows();
    void ticking_data();
    void ticking();
    void clickOnCheckBox_data();
    void clickOnCheckBox();
    void marksStayWithTheirRows();
    void tickAllIsOneChange();
    void keyDown_data();
    void keyDown();
    void keysStillMoveTheSelection();
    void doubleClick_data();
    void doubleClick();
    void mouseMoveWithoutButton();
    void toolTipOverRows();
    void descriptions_data();
    void descriptions();
    void descriptionShownOverItsRow();
    void descriptionsCostNoBytesPerRow();
    void headers();
    void columnWidths_data();
    void columnWidths();
    void checkBoxesShowUnderAnyPalette_data();
    void checkBoxesShowUnderAnyPalette();
};

// Each step: "+text" appends, "-N" removes position N, "clear" clears, and
// "~" lets the event loop run, which announces pending rows.
void TestListView::operations_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("append keeps order")
        << QStringList{"+a", "+b", "+c"} << QStringList{"a", "b", "c"};
    QTest::newRow("remove first") << QStringList{"+a", "+b", "+c", "~", "-1"}
                                  << QStringList{"b", "c"};
    QTest::newRow("remove middle")
        << QStringList{"+a", "+b", "+c", "+d", "~", "-2"} << QStringList{"a", "c", "d"};
    QTest::newRow("remove last") << QStringList{"+a", "+b", "+c", "~", "-3"}
                                 << QStringList{"a", "b"};
    QTest::newRow("remove only") << QStringList{"+a", "~", "-1"} << QStringList{};
    QTest::newRow("remove before announced")
        << QStringList{"+a", "+bb", "+ccc", "-2", "+d"} << QStringList{"a", "ccc", "d"};
    QTest::newRow("remove partly announced")
        << QStringList{"+a", "+b", "~", "+c", "+d", "-3", "-1"} << QStringList{"b", "d"};
    QTest::newRow("remove repeatedly")
        << QStringList{"+a", "+b", "+c", "+d", "+e", "-2", "-2", "~", "-3", "-1"}
        << QStringList{"d"};
    QTest::newRow("clear") << QStringList{"+a", "+b", "~", "clear"} << QStringList{};
    QTest::newRow("clear pending") << QStringList{"+a", "~", "+b", "clear"} << QStringList{};
    QTest::newRow("append after clear")
        << QStringList{"+a", "+b", "clear", "+c", "~", "+d"} << QStringList{"c", "d"};
    QTest::newRow("clear empty") << QStringList{"clear", "clear"} << QStringList{};
}

void TestListView::operations() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    ListView view(true);
    view.addColumn(QStringLiteral(" Word(s)"));
    const auto tester = testerFor(view);
    for (const QString& step : steps) {
        if (step == QLatin1String("~"))
            announceAll(view);
        else if (step == QLatin1String("clear"))
            view.clear();
        else if (step.startsWith(u'+'))
            view.append(step.mid(1));
        else
            view.remove(step.mid(1).toInt());
    }
    QCOMPARE(view.count(), expected.size());
    QCOMPARE(allTexts(view), expected);
    announceAll(view);
    QCOMPARE(shownTexts(view), expected);
    for (int position = 1; position <= view.count(); ++position)
        QVERIFY(!view.checked(position));
}

void TestListView::badPositions_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("position");

    const QStringList calls = {"text", "subItemText", "checked", "setChecked", "remove"};
    for (const QString& call : calls) {
        for (const int rows : {0, 3}) {
            for (const int position : {-1, 0, rows + 1}) {
                QTest::addRow("%s(%d) of %d", qPrintable(call), position, rows)
                    << call << rows << position;
            }
        }
    }
}

void TestListView::badPositions() {
    QFETCH(QString, call);
    QFETCH(int, rows);
    QFETCH(int, position);

    ListView view(true);
    view.addColumn(QStringLiteral("Word"));
    for (int i = 1; i <= rows; ++i)
        view.append(QString::number(i));

    const std::map<QString, std::function<void()>> calls = {
        {"text", [&] { view.text(position); }},
        {"subItemText", [&] { view.subItemText(position, 1); }},
        {"checked", [&] { view.checked(position); }},
        {"setChecked", [&] { view.setChecked(position, true); }},
        {"remove", [&] { view.remove(position); }},
    };
    QCOMPARE(failureOf(calls.at(call)), QStringLiteral("Index out of bounds"));
    QCOMPARE(view.count(), rows);
    for (int i = 1; i <= rows; ++i) {
        QCOMPARE(view.text(i), QString::number(i));
        QVERIFY(!view.checked(i));
    }
}

void TestListView::badColumns_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("column");

    const QStringList calls = {"columnHeader", "setColumnWidthTwips", "subItemText"};
    for (const QString& call : calls) {
        for (const int column : {-1, 0, 3})
            QTest::addRow("%s(%d)", qPrintable(call), column) << call << column;
    }
}

void TestListView::badColumns() {
    QFETCH(QString, call);
    QFETCH(int, column);

    ListView view(false);
    view.addColumn(QStringLiteral("Word"));
    view.addColumn(QStringLiteral("Synonym"));
    view.append(QStringLiteral("happy"));

    const std::map<QString, std::function<void()>> calls = {
        {"columnHeader", [&] { view.columnHeader(column); }},
        {"setColumnWidthTwips", [&] { view.setColumnWidthTwips(column, 1500); }},
        {"subItemText", [&] { view.subItemText(1, column); }},
    };
    QCOMPARE(failureOf(calls.at(call)), QStringLiteral("Index out of bounds"));
}

void TestListView::onlyFirstColumnHasTexts() {
    ListView view(false);
    for (const char* header : {"A", "B", "C"})
        view.addColumn(QString::fromLatin1(header));
    view.append(QStringLiteral("first"));
    view.append(QStringLiteral("second"));
    QCoreApplication::processEvents();

    const ListModel& model = view.listModel();
    for (int position = 1; position <= 2; ++position) {
        QCOMPARE(view.subItemText(position, 1), view.text(position));
        QCOMPARE(model.data(model.index(position - 1, 0)).toString(), view.text(position));
        for (int column = 2; column <= 3; ++column) {
            QCOMPARE(view.subItemText(position, column), QString());
            QVERIFY(model.data(model.index(position - 1, column - 1)).toString().isEmpty());
        }
    }
}

void TestListView::oddTexts_data() {
    QTest::addColumn<QString>("text");

    const char16_t highSurrogate = 0xD83D;
    const char16_t lowSurrogate = 0xDE00;
    QString megabyte;
    megabyte.reserve(1 << 20);
    while (megabyte.size() < (1 << 20))
        megabyte += QStringLiteral("synonym ") + QChar(u'é') + QChar(0) + u'\n';

    QTest::newRow("empty") << QString();
    QTest::newRow("one blank") << QStringLiteral(" ");
    QTest::newRow("blanks around") << QStringLiteral("  happy  ");
    QTest::newRow("NUL alone") << QString(QChar(0));
    QTest::newRow("NUL inside") << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    QTest::newRow("CR LF") << QStringLiteral("\r\n");
    QTest::newRow("lines") << QStringLiteral("line 1\r\nline 2\rline 3\nend");
    QTest::newRow("tab and control") << QStringLiteral("\t\x01\x1f\x7f");
    QTest::newRow("byte-order mark first") << QStringLiteral("\uFEFFword");
    QTest::newRow("accents") << QStringLiteral("naïve café — Zürich");
    QTest::newRow("outside the BMP") << QStringLiteral("smile 😀 ok");
    QTest::newRow("lone high surrogate") << QStringLiteral("a") + QChar(highSurrogate) + u'b';
    QTest::newRow("lone low surrogate") << QString(QChar(lowSurrogate));
    QTest::newRow("swapped pair") << QString(QChar(lowSurrogate)) + QChar(highSurrogate);
    QTest::newRow("one megabyte") << megabyte;
}

void TestListView::oddTexts() {
    QFETCH(QString, text);

    ListView view(true);
    view.addColumn(QStringLiteral("Word"));
    const auto tester = testerFor(view);
    // Neighbours on both sides show a text spilling into the next row's bytes.
    view.append(QStringLiteral("before"));
    view.append(text);
    // A word file's UTF-8 pieces are stored without a round trip through QString.
    if (QStringView(text).isValidUtf16())
        view.appendValidUtf8(text.toUtf8());
    else
        view.append(text);
    view.append(QStringLiteral("after"));
    QCOMPARE(view.text(2), text);
    QCOMPARE(view.text(3), text);
    // Exports gather rows without a text each; in UTF-8 the bytes must be
    // what encoding the text on its own gives.
    QByteArray gathered = "x";
    view.appendUtf8To(gathered, 2);
    view.appendUtf8To(gathered, 3);
    const QByteArray encoded =
        QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless)(text);
    QCOMPARE(gathered, "x" + encoded + encoded);
    QString gatheredText = QStringLiteral("x");
    view.appendTextTo(gatheredText, 2);
    view.appendTextTo(gatheredText, 3);
    QCOMPARE(gatheredText, QStringLiteral("x") + text + text);
    QCOMPARE(view.textLength(2), int(text.toUcs4().size()));
    QCoreApplication::processEvents();
    // A very long row shows its start only; its text stays whole.
    const QString shown = text.size() > 2048 ? shownTexts(view).at(1) : text;
    if (shown != text) {
        QVERIFY(text.startsWith(shown.chopped(1)));
        QVERIFY(shown.endsWith(QChar(0x2026)) && shown.size() <= 4097);
    }
    QCOMPARE(shownTexts(view), QStringList({"before", shown, shown, "after"}));

    view.remove(1);
    QCOMPARE(allTexts(view), QStringList({text, text, "after"}));
    view.remove(2);
    QCOMPARE(allTexts(view), QStringList({text, "after"}));
    QCOMPARE(view.subItemText(1, 1), text);
    QCOMPARE(shownTexts(view), QStringList({shown, "after"}));
}

// Row ends keep only their low bits; with 4 of them instead of 32, a few rows
// pass the width many times over, and every end must still read back whole
// through appends and removals anywhere.
void TestListView::rowEndsPastTheirWidth() {
    QRandomGenerator random(7);
    RowEnds<4> ends;
    std::vector<std::uint64_t> expected;
    for (int step = 0; step < 3000; ++step) {
        if (expected.empty() || random.bounded(3) != 0) {
            // Mostly short rows, sometimes one that spans several widths.
            const std::uint64_t length =
                random.bounded(10) == 0 ? random.bounded(100) : random.bounded(20);
            expected.push_back((expected.empty() ? 0 : expected.back()) + length);
            ends.push_back(expected.back());
        } else {
            const std::size_t row = random.bounded(int(expected.size()));
            const std::uint64_t length = expected[row] - (row == 0 ? 0 : expected[row - 1]);
            expected.erase(expected.begin() + std::ptrdiff_t(row));
            for (std::size_t later = row; later < expected.size(); ++later)
                expected[later] -= length;
            ends.erase(row, length);
        }
        QCOMPARE(ends.size(), expected.size());
        for (std::size_t row = 0; row < expected.size(); ++row)
            QCOMPARE(ends[row], expected[row]);
    }
    QVERIFY(expected.back() > 16 * 50); // the width was passed many times
}

void TestListView::appendsAreAnnouncedInBatches() {
    ListView view(true);
    view.addColumn(QStringLiteral("Word"));
    ListModel& model = view.listModel();
    const auto tester = testerFor(view);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    const int rows = 10000;
    for (int i = 1; i <= rows; ++i)
        view.append(QStringLiteral("row %1").arg(i));
    // The program sees every row at once, before any view has been told.
    QCOMPARE(view.count(), rows);
    QCOMPARE(view.text(rows), QStringLiteral("row %1").arg(rows));
    QCOMPARE(model.rowCount(), announcedBySignals(inserted, removed));

    QCoreApplication::processEvents();
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(announcedBySignals(inserted, removed), rows);
    QVERIFY2(inserted.count() >= 1 && inserted.count() <= 10,
             qPrintable(QStringLiteral("%1 announcements").arg(inserted.count())));

    // A second batch, then a removal before the event loop runs: the view
    // must hear of the new rows before it hears one is gone.
    for (int i = 1; i <= 500; ++i)
        view.append(QStringLiteral("more %1").arg(i));
    view.remove(rows + 1);
    QCOMPARE(model.rowCount(), announcedBySignals(inserted, removed));
    QCOMPARE(model.rowCount(), rows + 499);
    QCOMPARE(view.text(rows + 1), QStringLiteral("more 2"));
    QCoreApplication::processEvents();
    QCOMPARE(model.rowCount(), view.count());
    QCOMPARE(announcedBySignals(inserted, removed), view.count());
}

void TestListView::millionRows() {
    ListView view(true);
    view.addColumn(QStringLiteral(" Word(s)"));
    const int rows = 1000000;
    std::size_t utf8Bytes = 0;
    for (int i = 1; i <= rows; ++i) {
        const QString text = QStringLiteral("w%1").arg(i);
        utf8Bytes += std::size_t(text.toUtf8().size());
        view.append(text);
    }
    QCOMPARE(view.count(), rows);
    QCOMPARE(view.text(1), QStringLiteral("w1"));
    QCOMPARE(view.text(500000), QStringLiteral("w500000"));
    QCOMPARE(view.text(rows), QStringLiteral("w1000000"));
    QVERIFY(!view.checked(rows));

    const std::size_t bytes = view.listModel().storageBytes();
    qInfo("%zu bytes of storage for %d rows of %zu bytes of text: %.1f bytes per row", bytes, rows,
          utf8Bytes, double(bytes) / rows);
    QVERIFY2(bytes <= utf8Bytes * 5 / 2 + std::size_t(16) * rows,
             qPrintable(QStringLiteral("%1 bytes").arg(bytes)));

    QCoreApplication::processEvents();
    QCOMPARE(view.listModel().rowCount(), rows);
    view.remove(500000);
    QCOMPARE(view.text(500000), QStringLiteral("w500001"));
    QCOMPARE(view.text(rows - 1), QStringLiteral("w1000000"));
}

void TestListView::ticking_data() {
    QTest::addColumn<bool>("checkBoxes");
    QTest::addColumn<QVariant>("tick");

    QTest::newRow("check boxes, CheckState") << true << QVariant::fromValue(Qt::Checked);
    QTest::newRow("check boxes, int") << true << QVariant(int(Qt::Checked));
    QTest::newRow("no check boxes, CheckState") << false << QVariant::fromValue(Qt::Checked);
    QTest::newRow("no check boxes, int") << false << QVariant(int(Qt::Checked));
}

void TestListView::ticking() {
    QFETCH(bool, checkBoxes);
    QFETCH(QVariant, tick);

    ListView view(checkBoxes);
    view.addColumn(QStringLiteral("Word"));
    view.addColumn(QStringLiteral("Synonym"));
    for (const char* word : {"glad", "happy", "merry"})
        view.append(QString::fromLatin1(word));
    QCoreApplication::processEvents();
    ListModel& model = view.listModel();
    const auto tester = testerFor(view);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    const QModelIndex second = model.index(1, 0);
    QCOMPARE(bool(model.flags(second) & Qt::ItemIsUserCheckable), checkBoxes);
    QCOMPARE(model.data(second, Qt::CheckStateRole).isValid(), checkBoxes);

    QCOMPARE(model.setData(second, tick, Qt::CheckStateRole), checkBoxes);
    QCOMPARE(view.checked(2), checkBoxes);
    QVERIFY(!view.checked(1));
    QVERIFY(!view.checked(3));
    QCOMPARE(changed.count(), checkBoxes ? 1 : 0);
    if (checkBoxes)
        QCOMPARE(model.data(second, Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // Only the mark can be set; the text and the other columns stay as they are.
    QVERIFY(!model.setData(second, QStringLiteral("sad"), Qt::EditRole));
    QVERIFY(!model.setData(model.index(1, 1), tick, Qt::CheckStateRole));
    QCOMPARE(view.text(2), QStringLiteral("happy"));

    QCOMPARE(model.setData(second, int(Qt::Unchecked), Qt::CheckStateRole), checkBoxes);
    QVERIFY(!view.checked(2));

    view.setChecked(3, true);
    QCOMPARE(view.checked(3), checkBoxes);
}

void TestListView::clickOnCheckBox_data() {
    QTest::addColumn<bool>("checkBoxes");
    QTest::newRow("check boxes") << true;
    QTest::newRow("no check boxes") << false;
}

void TestListView::clickOnCheckBox() {
    QFETCH(bool, checkBoxes);

    ListView view(checkBoxes);
    showWithRows(view, 4);
    const auto tester = testerFor(view);

    const QModelIndex third = view.listModel().index(2, 0);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(third);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QPoint box = view.style()
                           ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view)
                           .center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, box);
    QCOMPARE(view.checked(3), checkBoxes);
    QVERIFY(!view.checked(2));

    // Space on the selected row is the keyboard's way to the same box.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCentre(view, 3));
    QCOMPARE(view.selectedPosition(), 3);
    QTest::keyClick(&view, Qt::Key_Space);
    QVERIFY(!view.checked(3));
    QTest::keyClick(&view, Qt::Key_Space);
    QCOMPARE(view.checked(3), checkBoxes);
}

void TestListView::marksStayWithTheirRows() {
    ListView view(true);
    view.addColumn(QStringLiteral("Word"));
    const auto tester = testerFor(view);
    for (int i = 1; i <= 6; ++i)
        view.append(QStringLiteral("word %1").arg(i));
    view.setChecked(2, true);
    view.setChecked(5, true); // not yet announced to any view
    QCoreApplication::processEvents();
    view.remove(3);
    view.remove(1);
    QCOMPARE(allTexts(view), QStringList({"word 2", "word 4", "word 5", "word 6"}));
    QList<bool> marks;
    for (int position = 1; position <= view.count(); ++position)
        marks << view.checked(position);
    QCOMPARE(marks, QList<bool>({true, false, true, false}));
    view.append(QStringLiteral("word 7"));
    QVERIFY(!view.checked(5));
}

void TestListView::tickAllIsOneChange() {
    ListView view(true);
    view.addColumn(QStringLiteral("Word"));
    view.addColumn(QStringLiteral("Synonym"));
    ListModel& model = view.listModel();
    const auto tester = testerFor(view);
    for (int i = 1; i <= 100; ++i)
        view.append(QStringLiteral("word %1").arg(i));
    QCoreApplication::processEvents();
    view.append(QStringLiteral("pending")); // stored, not yet announced
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    view.setAllChecked(true);
    for (int position = 1; position <= view.count(); ++position)
        QVERIFY(view.checked(position));
    QCOMPARE(changed.count(), 1);
    const QModelIndex first = changed.at(0).at(0).value<QModelIndex>();
    const QModelIndex last = changed.at(0).at(1).value<QModelIndex>();
    QCOMPARE(first.row(), 0);
    QCOMPARE(last.row(), model.rowCount() - 1);

    announceAll(view);
    QCOMPARE(model.data(model.index(100, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    view.setAllChecked(false);
    for (int position = 1; position <= view.count(); ++position)
        QVERIFY(!view.checked(position));
    QCOMPARE(changed.count(), 2);

    ListView plain(false);
    plain.addColumn(QStringLiteral("Word"));
    plain.append(QStringLiteral("word"));
    plain.setAllChecked(true);
    QVERIFY(!plain.checked(1));
}

void TestListView::keyDown_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("shift");

    const Qt::KeyboardModifiers none;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << 46 << 0;
    QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                  << 46 << 1;
    QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete)
                                 << Qt::KeyboardModifiers(Qt::ControlModifier) << 46 << 2;
    QTest::newRow("Alt+Delete") << int(Qt::Key_Delete) << Qt::KeyboardModifiers(Qt::AltModifier)
                                << 46 << 4;
    QTest::newRow("Ctrl+Shift+A") << int(Qt::Key_A) << (Qt::ControlModifier | Qt::ShiftModifier)
                                  << 65 << 3;
    QTest::newRow("Z") << int(Qt::Key_Z) << none << 90 << 0;
    QTest::newRow("0") << int(Qt::Key_0) << none << 48 << 0;
    QTest::newRow("9") << int(Qt::Key_9) << none << 57 << 0;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << 8 << 0;
    QTest::newRow("Return") << int(Qt::Key_Return) << none << 13 << 0;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << none << 13 << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << 27 << 0;
    QTest::newRow("Space") << int(Qt::Key_Space) << none << 32 << 0;
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << none << 33 << 0;
    QTest::newRow("PageDown") << int(Qt::Key_PageDown) << none << 34 << 0;
    QTest::newRow("End") << int(Qt::Key_End) << none << 35 << 0;
    QTest::newRow("Home") << int(Qt::Key_Home) << none << 36 << 0;
    QTest::newRow("Left") << int(Qt::Key_Left) << none << 37 << 0;
    QTest::newRow("Up") << int(Qt::Key_Up) << none << 38 << 0;
    QTest::newRow("Right") << int(Qt::Key_Right) << none << 39 << 0;
    QTest::newRow("Down") << int(Qt::Key_Down) << none << 40 << 0;
    QTest::newRow("Insert") << int(Qt::Key_Insert) << none << 45 << 0;
    QTest::newRow("F1") << int(Qt::Key_F1) << none << 112 << 0;
    QTest::newRow("F12") << int(Qt::Key_F12) << none << 123 << 0;
    QTest::newRow("unmapped") << int(Qt::Key_Print) << none << 0 << 0;
}

void TestListView::keyDown() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, keyCode);
    QFETCH(int, shift);

    ListView view(false);
    showWithRows(view, 3);
    QSignalSpy keys(&view, &ListView::keyDown);
    QTest::keyClick(&view, Qt::Key(key), modifiers);

    // As on Windows, each modifier held arrives first as a key of its own.
    QCOMPARE(keys.count(), 1 + std::popcount(uint(modifiers.toInt())));
    for (int i = 0; i + 1 < keys.count(); ++i)
        QVERIFY(QList<int>({16, 17, 18}).contains(keys.at(i).at(0).toInt()));
    QCOMPARE(keys.last().at(0).toInt(), keyCode);
    QCOMPARE(keys.last().at(1).toInt(), shift);
}

void TestListView::keysStillMoveTheSelection() {
    ListView view(false);
    showWithRows(view, 5);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCentre(view, 2));
    QCOMPARE(view.selectedPosition(), 2);

    QSignalSpy keys(&view, &ListView::keyDown);
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(keys.count(), 1);
    QCOMPARE(view.selectedPosition(), 3);
    QTest::keyClick(&view, Qt::Key_End);
    QCOMPARE(view.selectedPosition(), 5);

    // The program deletes the selected word in its handler; the list then
    // carries on with the rows that remain.
    connect(&view, &ListView::keyDown, &view, [&view](int keyCode, int) {
        if (keyCode == 46 && view.selectedPosition() > 0)
            view.remove(view.selectedPosition());
    });
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(allTexts(view), QStringList({"word 1", "word 2", "word 3", "word 4"}));
}

void TestListView::doubleClick_data() {
    QTest::addColumn<bool>("pressFirst");
    // A full double click presses first, which already selects the row.
    QTest::newRow("press, release, double click") << true;
    // The double-click event alone: only the base class can select the row
    // before the program hears of it.
    QTest::newRow("double click alone") << false;
}

void TestListView::doubleClick() {
    QFETCH(bool, pressFirst);

    ListView view(true);
    showWithRows(view, 5);
    QCOMPARE(view.selectedPosition(), 0);
    QList<int> selectedWhenSignalled;
    connect(&view, &ListView::dblClick, &view,
            [&] { selectedWhenSignalled << view.selectedPosition(); });

    const QPoint at = rowCentre(view, 3);
    if (pressFirst) {
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
    } else {
        const QPointF global = view.viewport()->mapToGlobal(QPointF(at));
        QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(at), global, Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }
    QCOMPARE(selectedWhenSignalled, QList<int>({3}));
    QCOMPARE(view.selectedPosition(), 3);
    QVERIFY(!view.checked(3));
}

void TestListView::mouseMoveWithoutButton() {
    ListView view(false);
    showWithRows(view, 3);
    QSignalSpy moves(&view, &ListView::mouseMove);
    // Delivered as the window system would: a move with no button held is
    // dropped on the way unless someone tracks the pointer.
    for (const int position : {1, 2}) {
        const QPointF at(rowCentre(view, position));
        QMouseEvent move(QEvent::MouseMove, at, view.viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &move);
    }
    QCOMPARE(moves.count(), 2);
}

void TestListView::toolTipOverRows() {
    ListView view(false);
    showWithRows(view, 3);
    view.setToolTip(QStringLiteral("Press Delete to remove the selected word"));

    const QPoint at = rowCentre(view, 2);
    QHelpEvent event(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
    QTRY_COMPARE(QToolTip::text(), view.toolTip());
    QToolTip::hideText();
}

// Each step: ">key" starts a run, "-N" removes position N, "clear" clears, anything else
// appends. expected: each remaining row as "text|description".
void TestListView::descriptions_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("runs share a key; rows before the first have none")
        << QStringList{"a", ">x", "b", "c", ">y", "d", ">", "e"}
        << QStringList{"a|", "b|x:b", "c|x:c", "d|y:d", "e|:e"};
    QTest::newRow("removal keeps rows in their runs, emptied runs included")
        << QStringList{">x", "a", "b", ">y", "c", ">z", "d", "-1", "-3", "e", "-2"}
        << QStringList{"b|x:b", "e|z:e"};
    QTest::newRow("clear forgets them, then only a later run")
        << QStringList{">x", "a", "clear", "b", ">y", "c"} << QStringList{"b|", "c|y:c"};
    const QString lone = QString(QChar(0xD800)); // not UTF-8 safe text: described as UTF-8 has it
    QTest::newRow("lone surrogate") << QStringList{">k", lone}
                                    << QStringList{lone + QStringLiteral("|k:\uFFFD")};
}

void TestListView::descriptions() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    ListView view(true);
    view.addColumn(QStringLiteral("Results"));
    describeByKeyAndText(view);
    auto tester = testerFor(view);
    for (const QString& step : steps) {
        if (step == "clear")
            view.clear();
        else if (step.startsWith(u'-'))
            view.remove(step.mid(1).toInt());
        else if (step.startsWith(u'>'))
            view.startRun(step.mid(1).toUtf8());
        else if (step.isValidUtf16())
            view.appendValidUtf8(step.toUtf8());
        else
            view.append(step);
    }
    announceAll(view);
    QStringList rows; // the texts never take the descriptions in
    for (int position = 1; position <= view.count(); ++position) {
        const QString description = view.description(position);
        QCOMPARE(
            view.listModel().index(position - 1, 0).data(Qt::AccessibleDescriptionRole).toString(),
            description);
        rows << view.text(position) + u'|' + description;
    }
    QCOMPARE(rows, expected);
}

void TestListView::descriptionShownOverItsRow() {
    ListView view(true);
    const QString tip = QStringLiteral("Move | line to reveal full names.");
    view.setToolTip(tip);
    showWithRows(view, 1);
    describeByKeyAndText(view);
    view.startRun("happy");
    view.appendValidUtf8("HAPPY - glad");
    announceAll(view);
    // The row under the pointer adds its meaning; a row without one, and below the rows, do not.
    const QList<std::pair<QPoint, QString>> shown = {
        {rowCentre(view, 2), tip + QStringLiteral("\nhappy:HAPPY - glad")},
        {rowCentre(view, 1), tip},
        {QPoint(10, view.viewport()->height() - 2), tip}};
    for (const auto& [at, text] : shown) {
        QHelpEvent event(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &event);
        QTRY_COMPARE(QToolTip::text(), text);
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
    }
}

void TestListView::descriptionsCostNoBytesPerRow() {
    // A run's key is kept once for all its rows: well under 4 bytes a row.
    const int rows = 200000;
    ListView plain(true), described(true);
    describeByKeyAndText(described);
    for (int i = 0; i < rows; ++i) {
        const QByteArray text = "WORD - synonym " + QByteArray::number(i);
        plain.appendValidUtf8(text);
        if (i % 10 == 0)
            described.startRun("k");
        described.appendValidUtf8(text);
    }
    const std::size_t extra =
        described.listModel().storageBytes() - plain.listModel().storageBytes();
    QVERIFY2(extra < std::size_t(rows) * 2, qPrintable(QString::number(extra)));
    QCOMPARE(described.description(rows), "k:WORD - synonym " + QString::number(rows - 1));
}

void TestListView::headers() {
    ListView view(true);
    const QStringList headers = {" Word(s)", "Synonym ", "", "(pos)"};
    for (const QString& header : headers)
        view.addColumn(header);

    QCOMPARE(view.columnCount(), headers.size());
    const QAbstractItemModel* shown = view.header()->model();
    for (int column = 1; column <= view.columnCount(); ++column) {
        QCOMPARE(view.columnHeader(column), headers[column - 1]);
        QCOMPARE(shown->headerData(column - 1, Qt::Horizontal).toString(), headers[column - 1]);
    }
}

void TestListView::columnWidths_data() {
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("word column") << 7000 << 467;
    QTest::newRow("one inch") << 1440 << 96;
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("rounds down") << 22 << 1;
    QTest::newRow("rounds up") << 23 << 2;
    QTest::newRow("nothing") << 0 << 0;
}

void TestListView::columnWidths() {
    QFETCH(int, twips);
    QFETCH(int, pixels);

    ListView view(false);
    view.addColumn(QStringLiteral("Word"));
    view.addColumn(QStringLiteral("Synonym"));
    view.append(QStringLiteral("happy"));
    view.resize(200, 200); // narrower than the widest column
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int other = view.columnWidth(0);

    view.setColumnWidthTwips(2, twips);
    QCoreApplication::processEvents();
    QCOMPARE(view.columnWidth(1), pixels);
    QCOMPARE(view.header()->sectionSize(1), pixels);
    QCOMPARE(view.columnWidth(0), other);
    if (view.header()->length() > view.viewport()->width())
        QVERIFY(view.horizontalScrollBar()->maximum() > 0);
}

void TestListView::checkBoxesShowUnderAnyPalette_data() {
    QTest::addColumn<QString>("skin");
    QTest::newRow("dark palette") << "";
    QTest::newRow("dark palette, light skin")
        << "QTreeView { background-color: #ffffff; color: #1d2b3a; }";
}

// An unticked box of an unselected row stands out from the list's background, in the colours of
// the palette or of the skin, never a mix of both.
void TestListView::checkBoxesShowUnderAnyPalette() {
    QFETCH(QString, skin);
    std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    ListView view(true);
    view.setStyle(fusion.get());
    QPalette palette = view.palette();
    palette.setColor(QPalette::Base, QColor(35, 35, 35));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Window, QColor(52, 52, 52));
    view.setPalette(palette);
    view.setStyleSheet(skin);
    view.addColumn("Results");
    view.append("one");
    view.show();
    QTRY_COMPARE(view.model()->rowCount(), 1);
    const QImage image = view.viewport()->grab().toImage();
    const QRect row = view.visualRect(view.model()->index(0, 0));
    const int background = qGray(image.pixel(row.right() - 2, image.height() - 3));
    int contrast = 0;
    for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x < row.left() + row.height(); ++x)
            contrast = qMax(contrast, qAbs(qGray(image.pixel(x, y)) - background));
    QVERIFY2(contrast > 80, qPrintable(QString::number(contrast)));
}

QTEST_MAIN(TestListView)
#include "test_listview.moc"
