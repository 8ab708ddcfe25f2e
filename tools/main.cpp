// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystem.h"
#include "GnuArguments.h"
#include "ProgramInfo.h"
#include "StatusLine.h"
#include "Thesaurus.h"

#include <QCoreApplication>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unistd.h>

namespace {
const char* const kProgram = "lexigrove-import";
const char* const kUsage = "Usage: lexigrove-import [OPTION]... THESAURUS.dat DATABASE.mdb\n";
const char* const kHelp =
    "Build the Lexigrove synonym database DATABASE.mdb from a MyThes thesaurus (any\n"
    "language, in the encoding named on its first line), for 'lexigrove --database'.\n"
    "\n"
    "  --hunspell=DICTIONARY.dic  also answer every form the dictionary's affix\n"
    "                             rules build from a headword under that headword\n"
    "                             (the .aff beside the .dic)\n"
    "  --word-list=WORDS.txt      with --hunspell: only the words of this list, one a\n"
    "                             line, each under its root by Hunspell's analysis\n"
    "  -h, --help                 display this help and exit\n"
    "      --version              output version information and exit\n"
    "\n"
    "DATABASE.mdb is written only when it is new, empty or an SQLite database, and\n"
    "never when it is one of the input files; symbolic links are followed. Its\n"
    "folder is created when missing. Input lines may hold up to 1,048,576 bytes.\n"
    "What was written is reported on standard error, and progress too when it is a\n"
    "terminal.\n"
    "\n"
    "Exit status: 0 when the database was written, 1 when it could not be, 2 for\n"
    "a wrong command line.\n"
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
    for (const QString& note : summary.notes)
        std::fprintf(stderr, "lexigrove-import: %s\n", qPrintable(note));
    std::fprintf(stderr, "lexigrove-import: wrote %s: %s headwords", qPrintable(outPath),
                 grouped(summary.headwords).constData());
    for (const auto& [relation, pairs] : summary.pairsPerRelation)
        std::fprintf(stderr, ", %s %s", grouped(pairs).constData(), qPrintable(relation));
    std::fprintf(stderr, ", %s forms\n", grouped(summary.forms).constData());
}

// A wrong command line: the reason, then where to find the right one.
int usageError(const QString& problem) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                 qPrintable(problem), kProgram);
    return 2;
}

// What --help and --version print; a failed write (> /dev/full) is a failure too.
int printed(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: write error: %s\n", kProgram, qPrintable(SystemErrorText(errno)));
        return 1;
    }
    return 0;
}

} // namespace

// Builds the synonym database from a MyThes thesaurus, and with a Hunspell dictionary and a
// word list, the inflected forms of its headwords. Runs inside the build, so every failure is
// a single line naming the file and line, and a non-zero exit stops the build.
int main(int argc, char** argv) {
    GuardStandardDescriptors();
    QCoreApplication app(argc, argv);
    enum { Help, Version, Hunspell, WordList };
    const QList<GnuOption> options = {{u'h', {QStringLiteral("help")}},
                                      {{}, {QStringLiteral("version")}},
                                      {{}, {QStringLiteral("hunspell")}, GnuOption::Required},
                                      {{}, {QStringLiteral("word-list")}, GnuOption::Required}};
    FormSources forms;
    QStringList files;
    // Each in its turn: what comes first, a mistake or --help, is what is done.
    for (const GnuArgument& given :
         ParseGnuArguments(ArgumentsOf(argc, argv).mid(1), options, false)) {
        switch (given.kind) {
        case GnuArgument::Operand:
            files << given.value;
            break;
        case GnuArgument::Unknown:
        case GnuArgument::UnexpectedValue:
            return usageError(
                given.written.startsWith(QLatin1StringView("--"))
                    ? QStringLiteral("unrecognized option '%1'").arg(given.argument)
                    : QStringLiteral("invalid option -- '%1'").arg(given.argument.mid(1, 1)));
        case GnuArgument::MissingValue:
            return usageError(
                QStringLiteral("option '%1' requires an argument").arg(given.written));
        case GnuArgument::Option:
            if (given.option == Help)
                return printed(std::string(kUsage) + kHelp + program_info::kHelpFooter);
            if (given.option == Version)
                return printed(std::string(kProgram) + ' ' + program_info::kVersion + '\n' +
                               program_info::kCopyrightLines);
            (given.option == Hunspell ? forms.dictionary : forms.wordList) = given.value;
            break;
        }
    }
    if (files.isEmpty())
        return usageError(QStringLiteral("missing thesaurus and database operands"));
    if (files.size() == 1)
        return usageError(QStringLiteral("missing database operand after '%1'").arg(files[0]));
    if (files.size() > 2)
        return usageError(QStringLiteral("extra operand '%1'").arg(files[2]));
    try {
        CheckImportOutput(files[0], forms, files[1]);
        // A percentage, wiped at the end for the report.
        StatusLine status;
        const ImportProgress progress = [&](int percent) {
            status.show(QByteArray("lexigrove-import: ") +
                        QByteArray::number(percent).rightJustified(3) + '%');
            if (percent == 100)
                status.end("\r\033[K");
            return true;
        };
        report(ImportThesaurus(files[0], files[1], forms,
                               status.shown() ? progress : ImportProgress()),
               files[1]);
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
