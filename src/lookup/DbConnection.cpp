// SPDX-License-Identifier: GPL-3.0-or-later
#include "DbConnection.h"

#include "AppError.h"

namespace {
const QString kDataSource = QStringLiteral("Data Source=");
} // namespace

QString DbConnection::ConnectionString(const QString& databasePath) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ") + databasePath;
}

void DbConnection::Open(const QString& connectionString) {
    if (store_.isOpen())
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    const qsizetype at = connectionString.indexOf(kDataSource, 0, Qt::CaseInsensitive);
    if (at < 0)
        throw AppError(QStringLiteral("The connection string names no data source."));
    // The path runs to the end: the program puts it last, and a folder name
    // may itself hold a semicolon.
    QString path = connectionString.mid(at + kDataSource.size());
    while (path.startsWith(u' '))
        path.remove(0, 1);
    if (path.isEmpty() || path.contains(QChar(0)))
        throw AppError(QStringLiteral("The connection string names no valid data source."));
    store_.open(path);
}
