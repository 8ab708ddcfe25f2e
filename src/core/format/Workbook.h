// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <span>

class RemovedOnInterruption;
struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A value longer than a spreadsheet cell holds; `what` says which and how long.
struct FieldTooLong {
    QString what;
};

// An Office Open XML workbook of text cells (and one column of numbers), written by libxlsxwriter
// in its constant-memory mode: each row goes to a temporary file as soon as the next one starts, so
// memory stays the same however many rows there are. The sheets are "Synonyms", then "Synonyms 2",
// "Synonyms 3"... once a sheet is full, each with the bold, frozen header row and an autofilter.
//
// libxlsxwriter writes to a named file, so the workbook is built in a private
// temporary folder and its bytes are handed over by finish(); nothing is
// handed over when a row fails. That folder holds each sheet's rows as XML
// until the end (about 250 bytes a record of English words); memory grows
// only by a sheet's few kilobytes and open file per 1,048,575 records.
class Workbook {
  public:
    // Rows a sheet holds, its header included.
    static constexpr int kSheetRows = 1048576;
    // Characters (UTF-16 code units) a cell holds.
    static constexpr int kCellCharacters = 32767;

    // Throws AppError when the temporary folder or the workbook cannot be made.
    // A count in numberColumn (digits only) is a number cell, so that a
    // spreadsheet sorts and filters it as one; any other value there is text.
    // While the workbook exists, SIGINT, SIGTERM and SIGHUP remove its
    // temporary folder before they end the program.
    explicit Workbook(QList<QByteArray> header, int numberColumn = -1);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // One row: a UTF-8 value per header field, in order. Every value but the
    // number column's becomes a text cell as it is, whatever it looks like (a
    // formula, a number, a date). Throws FieldTooLong for a value a cell
    // cannot hold.
    void addRow(std::span<const QByteArrayView> values);

    // Completes the workbook and hands its bytes to `write` in pieces.
    // Throws AppError when the workbook cannot be completed or read back.
    void finish(const std::function<void(const QByteArray&)>& write);

  private:
    void startSheet();
    void closeSheet();
    void writeCell(int column, QByteArrayView utf8, lxw_format* format);

    QList<QByteArray> header_;
    int numberColumn_;
    QTemporaryDir folder_;
    QByteArray folderPath_;
    std::unique_ptr<RemovedOnInterruption> interrupted_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    int sheets_ = 0;
    int row_ = 0; // the next row of the current sheet
    QList<int> widths_;
    QByteArray cell_; // the value as handed to the library
};
