// SPDX-License-Identifier: GPL-3.0-or-later
#include "ColumnList.h"

#include "AppError.h"
#include "ListView.h"
#include "ResultsExport.h"

namespace {
void requireInRange(int index, qsizetype count) {
    if (index < 1 || index > count)
        throw AppError(QStringLiteral("Index out of bounds"));
}
} // namespace

int ListViewColumns::columnCount() const {
    return list_.columnCount();
}

QString ListViewColumns::columnHeader(int column) const {
    return list_.columnHeader(column);
}

int ListViewColumns::count() const {
    return list_.count();
}

QString ListViewColumns::text(int row) const {
    return list_.text(row);
}

QString ListViewColumns::subItemText(int row, int subItem) const {
    // The view numbers its columns, not its sub-items.
    return list_.subItemText(row, subItem + 1);
}

bool ListViewColumns::checked(int row) const {
    return list_.checked(row);
}

int ColumnList::cellLength(int row, int column) const {
    return CodePointLength(cellText(row, column));
}

void ColumnList::appendCellText(QString& out, int row, int column) const {
    out += cellText(row, column);
}

void ListViewColumns::appendCellText(QString& out, int row, int column) const {
    if (column == 1)
        list_.appendTextTo(out, row);
    else
        ColumnList::appendCellText(out, row, column);
}

int ListViewColumns::cellLength(int row, int column) const {
    return column == 1 ? list_.textLength(row) : ColumnList::cellLength(row, column);
}

QString TableList::columnHeader(int column) const {
    requireInRange(column, headers_.size());
    return headers_[column - 1];
}

bool TableList::checked(int row) const {
    requireInRange(row, rows_.size());
    return rows_[row - 1].checked;
}

QString TableList::cell(int row, int column) const {
    requireInRange(row, rows_.size());
    requireInRange(column, headers_.size());
    return rows_[row - 1].cells.value(column - 1);
}
