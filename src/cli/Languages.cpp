#include "Languages.h"

#include "CachedDatabase.h"

#include <QDir>
#include <cstdio>
#include <new>
#include <unistd.h>
#include <utility>

namespace {
void Tell(const QString& text) {
    std::fputs(("lexigrove: " + text + u'\n').toLocal8Bit().constData(), stderr);
}
} // namespace

int ListLanguages() {
    for (const InstalledThesaurus& thesaurus : FindThesauri(CatalogPlaces::standard())) {
        const QString line =
            QStringLiteral("%1\t%2\t%3\t%4\n")
                .arg(thesaurus.code, thesaurus.name,
                     DatabaseReady(thesaurus) ? QStringLiteral("built")
                                              : QStringLiteral("not built"),
                     QDir::toNativeSeparators(thesaurus.imported() ? thesaurus.database
                                                                   : thesaurus.thesaurusFile));
        std::fputs(line.toLocal8Bit().constData(), stdout);
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

QString LanguageDatabase(const QString& code, int* status) {
    const QList<InstalledThesaurus> thesauri = FindThesauri(CatalogPlaces::standard());
    const InstalledThesaurus* match = MatchLanguage(thesauri, code);
    if (!match) {
        QStringList codes;
        for (const InstalledThesaurus& thesaurus : thesauri)
            codes << thesaurus.code;
        Tell(codes.isEmpty()
                 ? QStringLiteral("no thesaurus for '%1': none is installed (Debian: apt install "
                                  "mythes-fr, or another mythes-* package)")
                       .arg(code)
                 : QStringLiteral("no thesaurus for '%1'; installed: %2")
                       .arg(code, codes.join(u' ')));
        *status = 2;
        return {};
    }
    const bool terminal = isatty(STDERR_FILENO);
    int shown = -1;
    try {
        const QString database = PreparedDatabase(*match, [&](int percent) {
            if (terminal && std::exchange(shown, percent) != percent)
                std::fprintf(stderr, "\rPreparing %s: %d%%%s",
                             match->name.toLocal8Bit().constData(), percent,
                             percent == 100 ? "\n" : "");
            return true;
        });
        return database;
    } catch (const std::bad_alloc&) {
        Tell(QStringLiteral("%1: out of memory").arg(match->name));
    } catch (const std::exception& error) {
        Tell(QStringLiteral("cannot prepare the thesaurus %1: %2")
                 .arg(match->name, QString::fromUtf8(error.what())));
    }
    *status = 1;
    return {};
}
