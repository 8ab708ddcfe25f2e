// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppError.h"
#include "Thesaurus.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <sqlite3.h>

// Builds a synonym database from one of the thesaurus fixtures, with the
// same importer that builds the real one.
inline QString BuildFixtureDatabase(const QString& folder, const QString& fixture = "lookup.dat") {
    const QString source = QStringLiteral(LEXIGROVE_TEST_DATA "/") + fixture;
    const QString target = QDir(folder).filePath(QStringLiteral("words.mdb"));
    ImportThesaurus(source, target);
    return target;
}

// The same rows straight from the engine, the query compiled as it is written.
inline QList<QPair<QString, QString>> plainRowsFor(sqlite3* db, const QString& sql,
                                                   const char* a = "word",
                                                   const char* b = "synonym") {
    QList<QPair<QString, QString>> rows;
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        return {{"prepare failed", sqlite3_errmsg(db)}};
    const auto column = [&](const char* name) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            if (!qstricmp(sqlite3_column_name(stmt, c), name))
                return QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
        return QStringLiteral("no column %1").arg(name);
    };
    while (sqlite3_step(stmt) == SQLITE_ROW)
        rows.append({column(a), column(b)});
    sqlite3_finalize(stmt);
    return rows;
}

// The description of the AppError an action throws; empty when it throws none.
inline QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& e) {
        return e.description();
    }
    return QString();
}
