#include "Thesaurus.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <new>

namespace {
const char* const kUsage =
    "usage: lexigrove-import [--hunspell <dictionary.dic> --word-list <words.txt>] "
    "<thesaurus.dat> <words.mdb>\n";
const char* const kHelp =
    "Builds a Lexigrove synonym database from a MyThes thesaurus (any language, in the\n"
    "encoding named on its first line), for `lexigrove --database <words.mdb>`.\n"
    "\n"
    "  --hunspell <dictionary.dic>  with --word-list: also answer each inflected word of\n"
    "                               the list under its root headword (.aff beside the .dic)\n"
    "  --word-list <words.txt>      the words, one a line, whose inflected forms to add\n"
    "  -h, --help                   show this help and exit\n"
    "\n"
    "Example (French; mythes-fr, hunspell-fr):\n"
    "  lexigrove-import /usr/share/mythes/th_fr_FR_v2.dat ~/thesauri/fr/words.mdb\n"
    "  lexigrove --database ~/thesauri/fr/words.mdb --lookup mots.txt\n";
} // namespace

// Builds the synonym database from a MyThes thesaurus, and with a Hunspell dictionary and a
// word list, the inflected forms of its headwords. Runs inside the build, so every failure is
// a single line naming the file and line, and a non-zero exit stops the build.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    FormSources forms;
    while (args.size() >= 2 && args.front().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--hunspell"))
            forms.dictionary = args.takeFirst();
        else if (option == QLatin1String("--word-list"))
            forms.wordList = args.takeFirst();
        else
            args.clear();
    }
    if (args.size() != 2) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    try {
        const ImportReport report = ImportThesaurus(args.at(0), args.at(1), forms);
        std::fprintf(stderr, "lexigrove-import: wrote %s: %s\n", qPrintable(args.at(1)),
                     qPrintable(report.summary()));
    } catch (const std::bad_alloc&) {
        std::fputs("lexigrove-import: out of memory\n", stderr);
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lexigrove-import: %s\n", error.what());
        return 1;
    }
    return 0;
}
