// SPDX-License-Identifier: GPL-3.0-or-later
#include "Languages.h"

#include "AppError.h"
#include "CachedDatabase.h"
#include "TextOutput.h"

#include <QDir>
#include <cstdio>
#include <new>
#include <unistd.h>
#include <utility>

void ListLanguages(TextOutput& out) {
    for (const InstalledThesaurus& thesaurus : FindThesauri(CatalogPlaces::standard()))
        out.write(
            QStringLiteral("%1\t%2\t%3\t%4\n")
                .arg(thesaurus.code, thesaurus.name,
                     DatabaseReady(thesaurus) ? QStringLiteral("built")
                                              : QStringLiteral("not built"),
                     QDir::toNativeSeparators(thesaurus.imported() ? thesaurus.database
                                                                   : thesaurus.thesaurusFile)));
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

QString PreparedLanguageDatabase(const InstalledThesaurus& thesaurus, bool quiet) {
    const bool terminal = !quiet && isatty(STDERR_FILENO);
    int shown = -1;
    try {
        return PreparedDatabase(thesaurus, [&](int percent) {
            if (terminal && std::exchange(shown, percent) != percent)
                std::fprintf(stderr, "\rPreparing %s: %d%%%s",
                             thesaurus.name.toLocal8Bit().constData(), percent,
                             percent == 100 ? "\n" : "");
            return true;
        });
    } catch (const std::bad_alloc&) {
        throw AppError(QStringLiteral("%1: out of memory").arg(thesaurus.name));
    } catch (const std::exception& error) {
        throw AppError(QStringLiteral("cannot prepare the thesaurus %1: %2")
                           .arg(thesaurus.name, QString::fromUtf8(error.what())));
    }
}
