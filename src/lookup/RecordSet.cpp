// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordSet.h"

#include "AppError.h"
#include "DbConnection.h"
#include "Utf8Text.h"

RecordSet::~RecordSet() {
    Close();
}

int RecordSet::State() const {
    return rows_.isOpen() ? DbConnection::adStateOpen : DbConnection::adStateClosed;
}

void RecordSet::requireClosedOn(const DbConnection& connection) const {
    if (rows_.isOpen())
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    if (connection.State() == DbConnection::adStateClosed)
        throw AppError(QStringLiteral("The connection cannot be used to perform this operation. "
                                      "It is either closed or invalid in this context."));
}

void RecordSet::Open(const QString& source, DbConnection& connection, int cursorType,
                     int lockType) {
    requireClosedOn(connection);
    // An unpaired surrogate has no UTF-8 form: the query sent would not be
    // the one asked for.
    if (source.contains(QChar(0)) || !source.isValidUtf16())
        throw AppError(QStringLiteral("The query holds a character that the database cannot "
                                      "store (a NUL or an unpaired surrogate)."));
    OpenUtf8(QByteArrayView(source.toUtf8()), connection, cursorType, lockType);
}

void RecordSet::OpenUtf8(QByteArrayView sourceUtf8, DbConnection& connection, int /*cursorType*/,
                         int /*lockType*/) {
    requireClosedOn(connection);
    // A NUL is refused by the store, in the same words as above.
    connection.store().run(rows_, sourceUtf8);
    // A query of the same text has the same columns, unless the database was
    // opened anew meanwhile: the fields found for the last one are checked
    // once each (columnOf) instead of being looked for again.
    const QByteArrayView text(rows_.sql());
    if (text != columnsOf_) {
        columns_.clear();
        columnsOf_ = text.toByteArray();
    }
    checked_ = 0;
}

void RecordSet::Close() {
    rows_.close();
}

void RecordSet::requireOpen() const {
    if (!rows_.isOpen())
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
}

bool RecordSet::Eof() const {
    requireOpen();
    return rows_.atEnd();
}

QString RecordSet::Field(const QString& name) const {
    const QByteArrayView text = FieldUtf8(name);
    return text.data() ? WordFromUtf8(text) : QString();
}

QByteArrayView RecordSet::FieldUtf8(const QString& name) const {
    requireOpen();
    if (rows_.atEnd())
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
    return rows_.text(columnOf(name));
}

namespace {
// Field names ignore case. The name asked for is usually spelt as the column is, which is
// told without folding either; the first row of every word asks once.
bool sameName(const QString& name, const char* column) {
    const QUtf8StringView spelt(column);
    return QAnyStringView::equal(name, spelt) ||
           !QAnyStringView::compare(name, spelt, Qt::CaseInsensitive);
}
} // namespace

int RecordSet::columnOf(const QString& name) const {
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        const auto& [known, column] = columns_[i];
        if (known != name)
            continue;
        const quint32 bit = i < 32 ? 1u << i : 0;
        if (checked_ & bit)
            return column;
        if (column < rows_.columnCount() && sameName(name, rows_.columnName(column))) {
            checked_ |= bit;
            return column;
        }
        columns_.clear();
        break;
    }
    const int columns = rows_.columnCount();
    for (int c = 0; c < columns; ++c)
        if (sameName(name, rows_.columnName(c))) {
            columns_.append({name, c});
            return c;
        }
    throw AppError(QStringLiteral("Item cannot be found in the collection corresponding to the "
                                  "requested name or ordinal."));
}

void RecordSet::MoveNext() {
    requireOpen();
    if (rows_.atEnd())
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                      "deleted. Requested operation requires a current record."));
    rows_.next();
}
