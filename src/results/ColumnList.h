// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class ListView;

// What the exports read of a list in report view: columns with header texts,
// and rows with a text per column and a check mark. Columns and rows are
// 1-based; column 1 is the row's own text, column c its sub-item c - 1.
// Reading a row that is not there throws AppError.
class ColumnList {
  public:
    virtual ~ColumnList() = default;

    virtual int columnCount() const = 0;
    virtual QString columnHeader(int column) const = 0;

    virtual int count() const = 0;
    virtual QString text(int row) const = 0;
    // subItem runs from 1 to columnCount() - 1.
    virtual QString subItemText(int row, int subItem) const = 0;
    virtual bool checked(int row) const = 0;

    // The text of a cell, whichever column it is in.
    QString cellText(int row, int column) const {
        return column == 1 ? text(row) : subItemText(row, column - 1);
    }
    // Its length in code points; a list may know it without making the text.
    virtual int cellLength(int row, int column) const;
    // Appends it to out; a list may do so without making the text first.
    virtual void appendCellText(QString& out, int row, int column) const;
};

// A ListView as the exports read it.
class ListViewColumns : public ColumnList {
  public:
    explicit ListViewColumns(const ListView& list) : list_(list) {}

    int columnCount() const override;
    QString columnHeader(int column) const override;
    int count() const override;
    QString text(int row) const override;
    QString subItemText(int row, int subItem) const override;
    bool checked(int row) const override;
    int cellLength(int row, int column) const override;
    void appendCellText(QString& out, int row, int column) const override;

  private:
    const ListView& list_;
};

// A list held in memory, for lists that are not on screen: each row is its
// cells in column order and a check mark.
class TableList : public ColumnList {
  public:
    struct Row {
        QStringList cells;
        bool checked = false;
    };

    explicit TableList(QStringList headers, QList<Row> rows = {})
        : headers_(std::move(headers)), rows_(std::move(rows)) {}

    void append(QStringList cells, bool checked) { rows_.append({std::move(cells), checked}); }
    void clear() { rows_.clear(); }

    int columnCount() const override { return int(headers_.size()); }
    QString columnHeader(int column) const override;
    int count() const override { return int(rows_.size()); }
    QString text(int row) const override { return cell(row, 1); }
    QString subItemText(int row, int subItem) const override { return cell(row, subItem + 1); }
    bool checked(int row) const override;

  private:
    // A row shorter than the header has empty texts in its last columns.
    QString cell(int row, int column) const;

    QStringList headers_;
    QList<Row> rows_;
};
