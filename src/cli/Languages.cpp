// SPDX-License-Identifier: GPL-3.0-or-later
#include "Languages.h"

#include "AppError.h"
#include "CachedDatabase.h"
#include "StatusLine.h"
#include "TextOutput.h"

#include <QDir>
#include <new>

void ListLanguages(TextOutput& out) {
    for (const InstalledThesaurus& thesaurus : FindThesauri(CatalogPlaces::standard()))
        out.write(QStringLiteral("%1\t%2\t%3\t%4\n")
                      .arg(thesaurus.code, thesaurus.name,
                           DatabaseReady(thesaurus) ? QStringLiteral("built")
                                                    : QStringLiteral("not built"),
                           thesaurus.imported() ? thesaurus.database : thesaurus.thesaurusFile));
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
