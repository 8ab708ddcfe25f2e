// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultsActions.h"

#include "ColumnList.h"
#include "CommaDelimitedWriter.h"
#include "CommonDialog.h"
#include "Desktop.h"
#include "ErrorTrap.h"
#include "ExportFile.h"
#include "ListModel.h"
#include "ListView.h"
#include "Paths.h"
#include "PointerMode.h"
#include "ResultsExport.h"
#include "WindowState.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <algorithm>
#include <vector>

namespace {
constexpr int kDialogFlags = CommonDialog::OFN_READONLY | CommonDialog::OFN_ALLOWMULTISELECT |
                             CommonDialog::OFN_EXPLORER | CommonDialog::OFN_LONGNAMES;
const QString kSaveTitle = QStringLiteral("Save");
const QString kTextFilter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
const QString kCopiedMessage =
    QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where you "
                   "normally type and press Ctrl+V to paste the clipboard.");
} // namespace

ResultsActions::ResultsActions(ListView& ListView2, CommonDialog& CommonDialog1, Desktop& desktop,
                               PointerControl& pointer, ProgressDisplay& progress,
                               std::function<bool()> lookupRunning, QObject* parent)
    : QObject(parent), list_(ListView2), dialog_(CommonDialog1), desktop_(desktop),
      pointer_(pointer), progress_(progress), lookupRunning_(std::move(lookupRunning)) {}

bool ResultsActions::overwriteAgreed(ErrorTrap& trap, const QString& name,
                                     const QuestionLines& lines) {
    int answer = Desktop::Yes;
    if (trap.test(lines.exists, [&] { return FileExists(name); }))
        trap.line(lines.ask, [&] {
            answer = desktop_.messageBox(QStringLiteral("Are you sure you wish to overwrite ") +
                                             name + QStringLiteral(" ?"),
                                         Desktop::YesNo, desktop_.appTitle());
        });
    return !trap.test(lines.answer, [&] { return answer != Desktop::Yes; });
}

void ResultsActions::PushButton4_Click() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
    trap.line(106, [&] {
        dialog_.Flags = kDialogFlags;
        dialog_.FileName.clear();
    });
    trap.line(108, [&] { dialog_.DialogTitle = kSaveTitle; });
    trap.line(110, [&] { dialog_.Filter = kTextFilter; });
    trap.line(112, [&] { dialog_.ShowSave(); });
    QString name;
    trap.line(114, [&] { name = dialog_.FileName; });
    if (trap.test(116, [&] { return name.isEmpty(); }))
        return;
    // Replacing a file unasked could lose the word list the results came from.
    if (!overwriteAgreed(trap, name, {117, 117, 117}))
        return;
    trap.line(118, [&] { pointer_.setPointerMode(PointerMode::Busy); });
    const ListViewColumns lv(list_);
    trap.line(120, [&] { SaveListviewProperlySpaced(lv, name, &progress_, desktop_); });
    trap.line(122, [&] { pointer_.setPointerMode(PointerMode::Plain); });
}

void ResultsActions::PushButton9_Click() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("PushButton9_Click"));
    trap.line(106, [&] { dialog_.FileName.clear(); });
    trap.line(108, [&] { dialog_.Flags = kDialogFlags; });
    trap.line(110, [&] { dialog_.DialogTitle = kSaveTitle; });
    trap.line(112, [&] { dialog_.Filter = kTextFilter; });
    trap.line(114, [&] { dialog_.ShowSave(); });
    QString name;
    trap.line(116, [&] { name = dialog_.FileName; });
    if (trap.test(118, [&] { return name.isEmpty(); }))
        return;
    if (!overwriteAgreed(trap, name, {120, 122, 126}))
        return;
    trap.line(128, [&] { pointer_.setPointerMode(PointerMode::Busy); });
    ExportFile file(name);
    trap.line(130, [&] { file.open(); });
    // The whole line is gathered before it is written, in UTF-8 as the rows
    // are kept: a long list is copied, not decoded and encoded again.
    CommaDelimitedWriter line(file);
    int rows = 0;
    trap.line(132, [&] { rows = list_.count(); });
    for (int i = 1; i <= rows; ++i) {
        trap.line(134, [&] { desktop_.letEventsRun(); });
        // Rows cleared meanwhile are gone for good: one report, not one per row.
        if (!trap.line(136,
                       [&] {
                           line.fieldFrom([&](QByteArray& out) { list_.appendUtf8To(out, i); });
                       }) &&
            i > list_.count())
            break;
    }
    trap.line(140, [&] { line.finish(); });
    trap.line(142, [&] { file.commit(); });
    trap.line(144, [&] { pointer_.setPointerMode(PointerMode::Plain); });
    // The run this click interrupted goes on after it: the file is complete only for the
    // rows found before the click, which the user could take for all of them.
    if (lookupRunning_ && lookupRunning_())
        trap.line(146, [&] {
            desktop_.message(QStringLiteral("The lookup is still running: %1 holds the %2 rows "
                                            "found so far. Save again when it is done for all "
                                            "of them.")
                                 .arg(name)
                                 .arg(rows));
        });
}

void ResultsActions::PushButton5_Click() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    const ListViewColumns lv(list_);
    trap.line(106, [&] { CopyListviewToClipboard(lv, desktop_); });
    trap.line(108, [&] { desktop_.message(kCopiedMessage); });
}

void ResultsActions::attach() {
    if (attached_)
        return;
    attached_ = true;
    list_.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_.installEventFilter(this);
    const auto addMenuAction = [this](const QString& text, bool tick) {
        auto* action = new QAction(text, &list_);
        connect(action, &QAction::triggered, this, [this, tick] { list_.setAllChecked(tick); });
        list_.addAction(action);
    };
    addMenuAction(QStringLiteral("Tick All"), true);
    addMenuAction(QStringLiteral("Untick All"), false);
    list_.setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool ResultsActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            // Rows appended a moment ago are not in the view yet.
            list_.listModel().flush();
            list_.selectAll();
            return true;
        }
        if (key->key() == Qt::Key_Space && (key->modifiers() & ~Qt::KeypadModifier) == 0) {
            // Consumed: the view would toggle the current row a second time.
            toggleSelectedMarks();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ResultsActions::toggleSelectedMarks() {
    const QItemSelectionModel* selection = list_.selectionModel();
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selection->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    const QModelIndex current = selection->currentIndex();
    if (rows.empty() && current.isValid())
        rows.push_back(current.row());
    if (rows.empty())
        return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    // All rows follow the current one, as a single row's box would: a mixed
    // selection ends up all ticked or all unticked, not scrambled.
    const bool leadIsSelected =
        current.isValid() && std::binary_search(rows.begin(), rows.end(), current.row());
    const int lead = leadIsSelected ? current.row() : rows.front();
    const bool tick = !list_.checked(lead + 1);
    if (int(rows.size()) == list_.count())
        list_.setAllChecked(tick);
    else
        for (int row : rows)
            list_.setChecked(row + 1, tick);
}
