#pragma once

#include "Thesaurus.h"

#include <QDir>
#include <QFile>
#include <QString>

// Builds a synonym database from one of the thesaurus fixtures, with the
// same importer that builds the real one.
inline QString BuildFixtureDatabase(const QString& folder, const QString& fixture = "lookup.dat") {
    const QString source = QStringLiteral(LEXIGROVE_TEST_DATA "/") + fixture;
    const QString target = QDir(folder).filePath(QStringLiteral("words.mdb"));
    ImportThesaurus(source, target);
    return target;
}
