// SPDX-License-Identifier: GPL-3.0-or-later
#include "Languages.h"

#include "AppError.h"
#include "CachedDatabase.h"
#include "StatusLine.h"
#include "TextOutput.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <new>

void ListLanguages(TextOutput& out) {
    for (const InstalledThesaurus& thesaurus : FindThesauri(CatalogPlaces::standard())) {
        const bool built = DatabaseReady(thesaurus);
        // What the database takes on disk, so the user sees what removing it would free.
        const QString size = built ? QLocale::c().formattedDataSize(
                                         QFileInfo(thesaurus.database).size(), 1,
                                         QLocale::DataSizeSIFormat)
                                   : QStringLiteral("-");
        out.write(QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                      .arg(thesaurus.code, thesaurus.name,
                           built ? QStringLiteral("built") : QStringLiteral("not built"),
                           thesaurus.imported() ? thesaurus.database : thesaurus.thesaurusFile,
                           size));
    }
}

InstalledThesaurus ChosenThesaurus(const QString& code) {
    const QList<InstalledThesaurus> thesauri = FindThesauri(CatalogPlaces::standard());
    if (const InstalledThesaurus* match = MatchLanguage(thesauri, code))
        return *match;
    QStringList codes;
    for (const InstalledThesaurus& thesaurus : thesauri)
        codes << thesaurus.code;
    throw NoSuchLanguage{
        codes.isEmpty()
            ? QStringLiteral("no thesaurus for '%1': none is installed (Debian: apt "
                             "install mythes-fr, or another mythes-* package)")
                  .arg(code)
            : QStringLiteral("no thesaurus for '%1'; installed: %2").arg(code, codes.join(u' '))};
}

QString PreparedLanguageDatabase(const InstalledThesaurus& thesaurus, bool quiet,
                                 const std::function<void(const QString&)>& notice) {
    StatusLine status(!quiet);
    try {
        return PreparedDatabase(
            thesaurus,
            [&](int percent) {
                status.show("Preparing " + thesaurus.name.toUtf8() + ": " +
                            QByteArray::number(percent) + '%');
                if (percent == 100)
                    status.end("\n");
                return true;
            },
            [&] {
                notice(QStringLiteral("lexigrove: waiting for another process to finish "
                                      "preparing %1\n")
                           .arg(thesaurus.name));
            });
    } catch (const std::bad_alloc&) {
        throw AppError(QStringLiteral("%1: out of memory").arg(thesaurus.name));
    } catch (const std::exception& error) {
        throw AppError(QStringLiteral("cannot prepare the thesaurus %1: %2")
                           .arg(thesaurus.name, QString::fromUtf8(error.what())));
    }
}
