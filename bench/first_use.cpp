// SPDX-License-Identifier: GPL-3.0-or-later
// How long choosing a language takes the first time: the build of its database from the
// installed thesaurus, per thesaurus on this machine, into a fresh cache each time.
#include "CachedDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    CatalogPlaces places = CatalogPlaces::standard();
    QTemporaryDir cache;
    places.cacheFolder = cache.path();
    places.importedFolder.clear();
    std::printf("%-8s %-28s %10s %10s %10s\n", "code", "language", "thesaurus", "database",
                "first use");
    // Padded by characters, not bytes: the names are in many scripts.
    const auto padded = [](const QString& name) { return name.leftJustified(28).toUtf8(); };
    for (const InstalledThesaurus& thesaurus : FindThesauri(places)) {
        if (!only.isEmpty() && !only.contains(thesaurus.code))
            continue;
        QElapsedTimer timer;
        timer.start();
        try {
            PreparedDatabase(thesaurus);
        } catch (const std::exception& error) {
            std::printf("%-8s failed: %s\n", qPrintable(thesaurus.code), error.what());
            continue;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("%-8s %s %8.1f MB %8.1f MB %8.2f s\n", qPrintable(thesaurus.code),
                    padded(thesaurus.name).constData(),
                    QFileInfo(thesaurus.thesaurusFile).size() / 1e6,
                    QFileInfo(thesaurus.database).size() / 1e6, seconds);
        std::fflush(stdout);
        QFile::remove(thesaurus.database);
    }
    return 0;
}
