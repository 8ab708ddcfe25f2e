// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystem.h"
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
        std::fprintf(stderr, "%s: write error: %s\n", kProgram, std::strerror(errno));
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
    // As GNU programs take them: options before, between or after the two files, a value
    // after "=" or as the next argument, and "--" ending the options.
    FormSources forms;
    QStringList files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = NameFromNative(argv[i]);
        if (optionsEnded || arg == u'-' || !arg.startsWith(u'-')) {
            files << arg;
            continue;
        }
        if (arg == QLatin1StringView("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1StringView("--help") || arg == QLatin1StringView("-h"))
            return printed(std::string(kUsage) + kHelp + program_info::kHelpFooter);
        if (arg == QLatin1StringView("--version"))
            return printed(std::string(kProgram) + ' ' + program_info::kVersion + '\n' +
                           program_info::kCopyrightLines);
        if (!arg.startsWith(QLatin1StringView("--")))
            return usageError(QStringLiteral("invalid option -- '%1'").arg(arg.mid(1, 1)));
        const qsizetype equals = arg.indexOf(u'=');
        const QString name = arg.left(equals);
        QString* value = name == QLatin1StringView("--hunspell")    ? &forms.dictionary
                         : name == QLatin1StringView("--word-list") ? &forms.wordList
                                                                    : nullptr;
        if (!value)
            return usageError(QStringLiteral("unrecognized option '%1'").arg(arg));
        if (equals >= 0)
            *value = arg.mid(equals + 1);
        else if (i + 1 < argc)
            *value = NameFromNative(argv[++i]);
        else
            return usageError(QStringLiteral("option '%1' requires an argument").arg(name));
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
