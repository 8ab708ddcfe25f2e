// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GrowArray.h"
#include "RowEnds.h"

#include <QAbstractTableModel>
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <cstddef>
#include <cstdint>

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
    // tell. Each distinct text is kept once, however many rows share it, and a row refers to
    // it in 4 bytes; a list whose rows carry none spends nothing on them.
    // The last row appended gets the description given in UTF-8 (empty: none).
    void describeLast(QByteArrayView descriptionUtf8);
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
    // Per row, 1 + its text's index in descriptions_, or 0; only as long as the last row that
    // has one, so the rows after it have none.
    GrowArray<std::uint32_t> descriptionOf_;
    QByteArrayList descriptions_;
    QHash<QByteArray, std::uint32_t> descriptionIds_;
    // Runs of rows share a description: the last one is found without hashing.
    std::uint32_t lastDescription_ = 0;
    int announced_ = 0;
    bool flushQueued_ = false;
    QElapsedTimer sinceFlush_;
    static constexpr qint64 kFlushIntervalMs = 100;
    static constexpr qint64 kRowsPerMs = 1000;
};
