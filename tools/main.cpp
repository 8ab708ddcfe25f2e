#include "Thesaurus.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <new>
#include <unistd.h>
#include <utility>

namespace {
const char* const kUsage =
    "usage: lexigrove-import [--hunspell <dictionary.dic> [--word-list <words.txt>]] "
    "<thesaurus.dat> <words.mdb>\n";
const char* const kHelp =
    "Builds a Lexigrove synonym database from a MyThes thesaurus (any language, in the\n"
    "encoding named on its first line), for `lexigrove --database <words.mdb>`.\n"
    "\n"
    "  --hunspell <dictionary.dic>  also answer every form the dictionary's suffix rules\n"
    "                               build from a headword under that headword (.aff beside\n"
    "                               the .dic)\n"
    "  --word-list <words.txt>      with --hunspell: only the words of this list, one a line,\n"
    "                               each under its root by Hunspell's analysis\n"
    "  -h, --help                   show this help and exit\n"
    "\n"
    "The folder of <words.mdb> is created when missing. What was written is reported on\n"
    "standard error, and progress too when it is a terminal.\n"
    "\n"
    "Example (French; mythes-fr, hunspell-fr):\n"
    "  lexigrove-import /usr/share/mythes/th_fr_FR_v2.dat ~/thesauri/fr/words.mdb\n"
    "  lexigrove --database ~/thesauri/fr/words.mdb --lookup mots.txt\n";
// Counts as the importer reports them: "12,345".
QByteArray grouped(qint64 number) {
    QByteArray digits = QByteArray::number(number);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, ',');
    return digits;
}

void report(const ImportReport& summary, const QString& outPath) {
    std::fprintf(stderr, "lexigrove-import: wrote %s: %s headwords", qPrintable(outPath),
                 grouped(summary.headwords).constData());
    for (const auto& [relation, pairs] : summary.pairsPerRelation)
        std::fprintf(stderr, ", %s %s", grouped(pairs).constData(), qPrintable(relation));
    std::fprintf(stderr, ", %s forms\n", grouped(summary.forms).constData());
}

// A percentage redrawn in place, for a person watching; logs and pipes get the report alone.
bool showProgress(int percent) {
    static int shown = -1;
    if (std::exchange(shown, percent) == percent)
        return true;
    std::fprintf(stderr, "\rlexigrove-import: %3d%%", percent);
    if (percent == 100)
        std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    return true;
}

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
        const ImportProgress progress = isatty(STDERR_FILENO) ? showProgress : ImportProgress();
        report(ImportThesaurus(args.at(0), args.at(1), forms, progress), args.at(1));
    } catch (const std::bad_alloc&) {
        std::fputs("lexigrove-import: out of memory\n", stderr);
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%slexigrove-import: %s\n", isatty(STDERR_FILENO) ? "\r\033[K" : "",
                     error.what());
        return 1;
    }
    return 0;
}
