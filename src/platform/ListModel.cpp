// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListModel.h"

#include "Utf8Text.h"

#include <QMetaObject>
#include <QStringEncoder>
#include <QTimer>
#include <algorithm>
#include <cstring>

ListModel::ListModel(bool checkBoxes, QObject* parent)
    : QAbstractTableModel(parent), checkBoxes_(checkBoxes) {}

void ListModel::addColumn(const QString& header) {
    const int column = columns();
    beginInsertColumns(QModelIndex(), column, column);
    headers_.append(header);
    endInsertColumns();
}

QByteArrayView ListModel::rowBytes(int row) const {
    const std::size_t begin = beginOf(row);
    return QByteArrayView(bytes_.data() + begin, qsizetype(ends_[std::size_t(row)] - begin));
}

QString ListModel::textAt(int row) const {
    const QByteArrayView bytes = rowBytes(row);
    if (flags_[std::size_t(row)] & Unpaired) {
        // The buffer has no alignment for QChar; copy rather than cast.
        QString text(bytes.size() / qsizetype(sizeof(char16_t)), Qt::Uninitialized);
        std::memcpy(text.data(), bytes.data(), std::size_t(bytes.size()));
        return text;
    }
    return WordFromUtf8(bytes);
}

void ListModel::appendTextTo(QString& out, int row) const {
    if (flags_[std::size_t(row)] & Unpaired) {
        out += textAt(row);
        return;
    }
    // UTF-8 never takes fewer bytes than UTF-16 takes units.
    const QByteArrayView bytes = rowBytes(row);
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    const QChar* end = WordFromUtf8(bytes, out.data() + start);
    out.truncate(end - out.constData());
}

void ListModel::appendUtf8To(QByteArray& out, int row) const {
    if (flags_[std::size_t(row)] & Unpaired) {
        out += QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless)
                   .encode(textAt(row));
        return;
    }
    out += rowBytes(row);
}

QString ListModel::displayTextAt(int row) const {
    // The view measures every text it draws; a row of megabytes would stall
    // it for seconds. It shows the start of such a row; the row keeps its text.
    constexpr qsizetype kShownBytes = 4096;
    const QByteArrayView text = rowBytes(row);
    if (text.size() <= kShownBytes)
        return textAt(row);
    const char* bytes = text.data();
    QString shown;
    if (flags_[std::size_t(row)] & Unpaired) {
        shown.resize(qsizetype(kShownBytes / sizeof(char16_t)));
        std::memcpy(shown.data(), bytes, std::size_t(kShownBytes));
    } else {
        qsizetype cut = kShownBytes;
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        shown = WordFromUtf8(text.first(cut));
    }
    return shown + QChar(0x2026);
}

int ListModel::codePointLengthAt(int row) const {
    if (flags_[std::size_t(row)] & Unpaired)
        return CodePointLength(textAt(row)); // rare: any cost will do
    return CodePointLength(rowBytes(row));
}

bool ListModel::checkedAt(int row) const {
    return flags_[std::size_t(row)] & Checked;
}

void ListModel::append(const QString& text) {
    std::uint8_t rowFlags = 0;
    if (QStringView(text).isValidUtf16()) {
        // Encoded straight into the buffer: a million rows, no temporary each.
        const std::size_t start = bytes_.size();
        bytes_.reserve(start + std::size_t(text.size()) * 3);
        QStringEncoder toUtf8(QStringEncoder::Utf8);
        char* end = toUtf8.appendToBuffer(bytes_.data() + start, text);
        bytes_.resize(std::size_t(end - bytes_.data()));
    } else {
        rowFlags |= Unpaired;
        const std::size_t start = bytes_.size();
        const std::size_t length = std::size_t(text.size()) * sizeof(char16_t);
        bytes_.resize(start + length);
        std::memcpy(bytes_.data() + start, text.utf16(), length);
    }
    appended(rowFlags);
}

void ListModel::appendValidUtf8(QByteArrayView text) {
    const std::size_t start = bytes_.size();
    bytes_.resize(start + std::size_t(text.size()));
    if (!text.isEmpty())
        std::memcpy(bytes_.data() + start, text.data(), std::size_t(text.size()));
    appended(0);
}

void ListModel::reserveText(std::size_t bytes) {
    bytes_.reserve(bytes_.size() + bytes);
}

void ListModel::appended(std::uint8_t rowFlags) {
    ends_.push_back(bytes_.size());
    flags_.push_back(rowFlags);
    scheduleFlush();
}

void ListModel::startRun(QByteArrayView key) {
    runStarts_.push_back(std::uint32_t(size()));
    const std::size_t at = runKeys_.size();
    runKeys_.resize(at + std::size_t(key.size()));
    if (!key.isEmpty())
        std::memcpy(runKeys_.data() + at, key.data(), std::size_t(key.size()));
    runKeyEnds_.push_back(runKeys_.size());
}

QString ListModel::descriptionAt(int row) const {
    // The last run starting at or before the row; runs left empty start where the next does.
    const std::uint32_t* run =
        std::upper_bound(runStarts_.data(), runStarts_.data() + runStarts_.size(),
                         std::uint32_t(row));
    if (!describer_ || run == runStarts_.data())
        return QString();
    const std::size_t index = std::size_t(run - runStarts_.data()) - 1;
    const std::size_t begin = index == 0 ? 0 : runKeyEnds_[index - 1];
    QByteArray text;
    appendUtf8To(text, row);
    return describer_(
        QByteArrayView(runKeys_.data() + begin, qsizetype(runKeyEnds_[index] - begin)), text);
}

void ListModel::removeAt(int row) {
    // Views must know a row before they can be told it is gone.
    flush();
    beginRemoveRows(QModelIndex(), row, row);
    const std::size_t begin = beginOf(row);
    const std::size_t length = ends_[std::size_t(row)] - begin;
    bytes_.erase(begin, length);
    ends_.erase(std::size_t(row), length);
    flags_.erase(std::size_t(row), 1);
    // The runs after the row start one row earlier.
    for (std::uint32_t& start : runStarts_)
        if (start > std::uint32_t(row))
            --start;
    --announced_;
    endRemoveRows();
}

void ListModel::clear() {
    // A reset tells views to forget everything, rows not yet announced
    // included, so there is nothing to announce first. The storage is given
    // back rather than kept: a cleared list of a million rows should not keep
    // holding their memory.
    beginResetModel();
    bytes_.release();
    ends_.release();
    flags_.release();
    runStarts_.release();
    runKeys_.release();
    runKeyEnds_.release();
    announced_ = 0;
    endResetModel();
}

bool ListModel::setCheckedAt(int row, bool checked) {
    if (!checkBoxes_)
        return false;
    std::uint8_t& rowFlags = flags_[std::size_t(row)];
    const std::uint8_t updated = checked ? (rowFlags | Checked) : (rowFlags & ~Checked);
    if (updated != rowFlags) {
        rowFlags = updated;
        // A row not yet announced is drawn with its current mark once it is.
        if (row < announced_ && columns() > 0) {
            const QModelIndex cell = index(row, 0);
            emit dataChanged(cell, cell, {Qt::CheckStateRole});
        }
    }
    return true;
}

void ListModel::setAllChecked(bool checked) {
    if (!checkBoxes_)
        return;
    for (std::uint8_t& rowFlags : flags_)
        rowFlags = checked ? (rowFlags | Checked) : (rowFlags & ~Checked);
    if (announced_ > 0 && columns() > 0)
        emit dataChanged(index(0, 0), index(announced_ - 1, 0), {Qt::CheckStateRole});
}

void ListModel::flush() {
    if (announced_ == size())
        return;
    sinceFlush_.start();
    beginInsertRows(QModelIndex(), announced_, size() - 1);
    announced_ = size();
    endInsertRows();
}

void ListModel::scheduleFlush() {
    if (flushQueued_)
        return;
    flushQueued_ = true;
    // A view relays out all its rows when told of new ones, so while rows keep
    // coming it is told a few times a second, not once per event-loop turn,
    // and less often as the list grows: a millisecond more per thousand rows
    // keeps the relayouts a small, fixed share of the time however long the
    // list gets.
    const qint64 interval = std::max<qint64>(kFlushIntervalMs, announced_ / kRowsPerMs);
    const qint64 waited = sinceFlush_.isValid() ? sinceFlush_.elapsed() : interval;
    QTimer::singleShot(std::max<qint64>(0, interval - waited), this, [this] {
        flushQueued_ = false;
        flush();
    });
}

std::size_t ListModel::storageBytes() const {
    return bytes_.capacity() + ends_.capacityBytes() + flags_.capacity() * sizeof(std::uint8_t) +
           runStarts_.capacity() * sizeof(std::uint32_t) + runKeys_.capacity() +
           runKeyEnds_.capacityBytes();
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : announced_;
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns();
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (index.column() != 0)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return displayTextAt(index.row());
    case Qt::AccessibleDescriptionRole: {
        const QString description = descriptionAt(index.row());
        return description.isEmpty() ? QVariant() : QVariant(description);
    }
    case Qt::CheckStateRole:
        if (checkBoxes_)
            return int(checkedAt(index.row()) ? Qt::Checked : Qt::Unchecked);
        return QVariant();
    default:
        return QVariant();
    }
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !checkBoxes_ || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const Qt::CheckState state = value.metaType() == QMetaType::fromType<Qt::CheckState>()
                                     ? value.value<Qt::CheckState>()
                                     : Qt::CheckState(value.toInt());
    return setCheckedAt(index.row(), state == Qt::Checked);
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (checkBoxes_ && index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columns())
        return QVariant();
    return headers_.at(section);
}
