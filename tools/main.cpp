#include "Thesaurus.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <new>

namespace {
const char* const kUsage =
    "usage: lexigrove-import [--hunspell <dictionary.dic> --word-list <words.txt>] "
    "<thesaurus.dat> <words.mdb>\n";
} // namespace

// Builds the synonym database from a MyThes thesaurus, and with a Hunspell dictionary and a
// word list, the inflected forms of its headwords. Runs inside the build, so every failure is
// a single line naming the file and line, and a non-zero exit stops the build.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
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
        ImportThesaurus(args.at(0), args.at(1), forms);
    } catch (const std::bad_alloc&) {
        std::fputs("lexigrove-import: out of memory\n", stderr);
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lexigrove-import: %s\n", error.what());
        return 1;
    }
    return 0;
}
