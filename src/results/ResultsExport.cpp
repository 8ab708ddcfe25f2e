// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultsExport.h"

#include "AlignedWriter.h"
#include "ColumnList.h"
#include "Desktop.h"
#include "ErrorTrap.h"
#include "ExportFile.h"
#include "Paths.h"
#include "WindowState.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {
const QString kLineEnd = QStringLiteral("\r\n");
const QString kIdleProgressText = QStringLiteral("Progress Bar");
constexpr int kClipboardAttempts = 1000;

template <class Attempt> bool retried(Attempt&& attempt) {
    bool succeeded = false;
    for (int count = 0; !succeeded && count < kClipboardAttempts; ++count) {
        try {
            succeeded = attempt();
        } catch (const std::exception&) {
            succeeded = false;
        }
    }
    return succeeded;
}
} // namespace

void SaveListviewProperlySpaced(const ColumnList& lv, const QString& fileName, ProgressDisplay* bar,
                                Desktop& desktop) {
    ErrorTrap trap(desktop, QStringLiteral("Main"), QStringLiteral("SaveListviewProperlySpaced"));
    const QString writing = QStringLiteral("Writing file: ") + FileNameFromPath(fileName);
    const auto letEventsRun = [&] { desktop.letEventsRun(); };
    const auto hasBar = [&] { return bar != nullptr; };

    // The three bar updates before the rows share one shape: the test at
    // label, then yield, value, text and yield at the next four labels.
    const auto showStage = [&](int label, double value) {
        if (!trap.test(label, hasBar))
            return;
        trap.line(label + 2, letEventsRun);
        trap.line(label + 4, [&] { bar->setProgressValue(value); });
        trap.line(label + 6, [&] { bar->setProgressText(writing); });
        trap.line(label + 8, letEventsRun);
    };
    const auto resetBar = [&] {
        if (trap.test(238, hasBar)) {
            trap.line(240, [&] { bar->setProgressValue(0); });
            trap.line(242, [&] { bar->setProgressText(kIdleProgressText); });
        }
    };
    showStage(100, 1);

    int columns = 0;
    trap.line(112, [&] { columns = lv.columnCount(); });
    std::vector<int> widths(std::size_t(std::max(columns, 0)), 0);
    for (int c = 1; c <= columns; ++c) {
        int w = 0;
        int length = 0;
        if (trap.test(116, [&] { return w < (length = CodePointLength(lv.columnHeader(c))); }))
            trap.line(118, [&] { w = std::max(w, length); });
        int rows = 0;
        trap.line(120, [&] { rows = lv.count(); });
        const int label = c == 1 ? 126 : 130;
        for (int r = 1; r <= rows; ++r) {
            trap.line(122, letEventsRun);
            bool read = false;
            if (trap.test(label, [&] {
                    length = lv.cellLength(r, c);
                    read = true;
                    return w < length;
                })) {
                // Rows cleared meanwhile are gone for good: one report, not
                // one for each of the rest.
                if (!read && r > lv.count())
                    break;
                trap.line(label + 2, [&] { w = std::max(w, length); });
            }
        }
        trap.line(136, [&] { widths[std::size_t(c - 1)] = w; });
    }

    showStage(142, 10);

    ExportFile file(fileName);
    AlignedWriter writer(file, std::move(widths));
    // Measures a cell at testLabel and appends it padded at the next label,
    // or unpadded at the one after when it outgrew its column meanwhile. A
    // cell that cannot be read is reported once and left out.
    const auto appendCell = [&](int testLabel, auto&& measure, auto&& append, int column) {
        int length = 0;
        if (!trap.line(testLabel, [&] { length = measure(); }))
            return;
        const auto index = std::size_t(column - 1);
        trap.line(writer.width(index) >= length ? testLabel + 2 : testLabel + 4, [&] {
            append(writer.line());
            writer.closeCell(index, length);
        });
    };
    // Without a file every later write would fail and be reported on its
    // own, one box per checked row: the one report here says it all.
    if (!trap.line(156, [&] { file.open(); })) {
        resetBar();
        return;
    }

    for (int c = 1; c <= columns; ++c) {
        trap.line(160, letEventsRun);
        appendCell(
            162, [&] { return CodePointLength(lv.columnHeader(c)); },
            [&](QString& line) { line += lv.columnHeader(c); }, c);
    }
    // A failed write has lost the new file already (the old one stays), and
    // so would every later write: one report, as for a file never created.
    if (!trap.line(170, [&] { writer.endLine(); })) {
        resetBar();
        return;
    }

    showStage(172, 20);

    int rows = 0;
    trap.line(182, [&] { rows = lv.count(); });
    for (int r = 1; r <= rows; ++r) {
        trap.line(184, letEventsRun);
        // The line is empty: the one before ended written.
        bool read = false;
        if (!trap.test(188, [&] {
                const bool checked = lv.checked(r);
                read = true;
                return checked;
            }))
            continue;
        // As above; the rows written so far make the file.
        if (!read && r > lv.count())
            break;
        for (int c = 1; c <= columns; ++c) {
            trap.line(192, letEventsRun);
            appendCell(
                c == 1 ? 196 : 202, [&] { return lv.cellLength(r, c); },
                [&](QString& line) { lv.appendCellText(line, r, c); }, c);
        }
        if (trap.test(210, hasBar)) {
            trap.line(212, letEventsRun);
            trap.line(214, [&] { bar->setProgressValue((r + rows / 2000) / double(rows) * 100); });
            if (trap.test(216, [&] { return r % 1000 == 0; }))
                trap.line(218, [&] {
                    bar->setProgressText(writing + QStringLiteral(" (") + QString::number(r) +
                                         u')');
                });
            trap.line(220, letEventsRun);
        }
        if (!trap.line(222, [&] { writer.endLine(); })) {
            resetBar();
            return;
        }
    }

    if (trap.test(226, hasBar)) {
        trap.line(228, [&] { bar->setProgressValue(100); });
        trap.line(230, [&] { bar->setProgressText(QStringLiteral("Done.")); });
    }
    trap.line(232, [&] { file.commit(); });
    resetBar();
}

void CopyListviewToClipboard(const ColumnList& lv, Desktop& desktop) {
    const int rows = lv.count();
    if (rows == 0)
        return;
    const int columns = lv.columnCount();
    std::vector<int> widths;
    for (int c = 1; c <= columns; ++c) {
        int w = 0;
        for (int r = 1; r <= rows; ++r) {
            desktop.letEventsRun();
            w = std::max(w, lv.cellLength(r, c));
        }
        widths.push_back(w);
    }

    QString text;
    for (int r = 1; r <= rows; ++r) {
        desktop.letEventsRun();
        if (!lv.checked(r))
            continue;
        for (int c = 1; c < columns; ++c) {
            desktop.letEventsRun();
            AppendPaddedCell(text, lv.cellText(r, c), widths[std::size_t(c - 1)]);
        }
        // The last cell loses its closing tab, then its padding and any spaces
        // its own text ended with, so it goes in unpadded and its spaces come
        // off. A list without columns has no last cell: the line end before
        // loses its last character in its place.
        if (columns > 0) {
            desktop.letEventsRun();
            lv.appendCellText(text, r, columns);
        } else {
            text.chop(1);
        }
        while (text.endsWith(u' '))
            text.chop(1);
        text += kLineEnd;
    }

    ClearClipboard(desktop);
    SetClipboardText(desktop, text);
}

bool ClearClipboard(Desktop& desktop) {
    return retried([&] { return desktop.clearClipboard(); });
}

bool SetClipboardText(Desktop& desktop, const QString& text) {
    return retried([&] { return desktop.setClipboardText(text); });
}
