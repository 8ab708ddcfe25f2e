// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GrowArray.h"
#include "RowEnds.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <functional>

// The rows of a ListView: one text per row (shown in the first column) and,
// on a list with check boxes, a check mark. Rows are kept in three flat
// arrays instead of an object per row, so that a million rows cost a few
// bytes each beyond their text.
//
// Rows are addressed 0-based here; the view checks positions.
//
// Appended rows are stored at once but announced to views in batches: the
// first append after a quiet moment queues one announcement for everything
// appended until the event loop runs. rowCount() is what has been announced,
// size() is what is stored.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ListModel(bool checkBoxes, QObject* parent = nullptr);
    bool checkBoxes() const { return checkBoxes_; }

    void addColumn(const QString& header);
    int columns() const { return int(headers_.size()); }
    QString header(int column) const { return headers_.at(column); }

    int size() const { return int(ends_.size()); }
    QString textAt(int row) const;
    void appendTextTo(QString& out, int row) const;
    void appendUtf8To(QByteArray& out, int row) const;
    // What the view shows: the text, or the start of a very long one.
    QString displayTextAt(int row) const;
    bool checkedAt(int row) const;
    // Code points in the text; a surrogate pair counts once, a lone one too.
    int codePointLengthAt(int row) const;
    void append(const QString& text);
    // For text already known to be well-formed UTF-8, such as a piece of a
    // word file that was checked as a whole: stored as it is, not decoded.
    void appendValidUtf8(QByteArrayView text);
    // Room for that many more bytes of text, so that a file's worth of rows
    // fills one block instead of growing it step by step.
    void reserveText(std::size_t bytes);

    // A row may carry a description (what it means), which its tool-tip and screen readers
    // tell. Descriptions are not kept but made when asked, by the describer, from the row's text
    // and the key of the run of rows it belongs to: the rows appended after startRun(key) share
    // that key, kept once for them all. Rows before the first run carry none; so does every row
    // of a list without a describer, which spends nothing on them.
    using Describer = std::function<QString(QByteArrayView key, QByteArrayView rowUtf8)>;
    void setDescriber(Describer describer) { describer_ = std::move(describer); }
    void startRun(QByteArrayView key);
    // Empty when the row carries none.
    QString descriptionAt(int row) const;

    void removeAt(int row);
    void clear();
    // False on a list without check boxes, which never shows a mark.
    bool setCheckedAt(int row, bool checked);
    void setAllChecked(bool checked);

    // Announces the rows appended since the last announcement.
    void flush();

    // Bytes held by the row storage (capacity, not just what is in use).
    std::size_t storageBytes() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    enum RowFlag : std::uint8_t {
        Checked = 0x1,
        // The text is not well-formed UTF-16 (a lone surrogate), which UTF-8
        // cannot carry; such a row is stored unit by unit instead.
        Unpaired = 0x2,
    };

    std::size_t beginOf(int row) const { return row == 0 ? 0 : ends_[std::size_t(row) - 1]; }
    QByteArrayView rowBytes(int row) const;
    void scheduleFlush();

    bool checkBoxes_;
    QStringList headers_;
    void appended(std::uint8_t rowFlags);

    GrowArray<char> bytes_;
    RowEnds<> ends_; // end of each row's text in bytes_
    GrowArray<std::uint8_t> flags_;
    Describer describer_;
    // Each run's first row, and its key in runKeys_ (ends as for the rows' texts).
    GrowArray<std::uint32_t> runStarts_;
    GrowArray<char> runKeys_;
    RowEnds<> runKeyEnds_;
    int announced_ = 0;
    bool flushQueued_ = false;
    QElapsedTimer sinceFlush_;
    static constexpr qint64 kFlushIntervalMs = 100;
    static constexpr qint64 kRowsPerMs = 1000;
};
