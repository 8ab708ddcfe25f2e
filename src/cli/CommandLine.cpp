// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "FileSystem.h"
#include "ProgramInfo.h"
#include "WordStream.h"

#include <QCommandLineParser>
#include <algorithm>
#include <iterator>

namespace {
const QString kFormats[] = {QStringLiteral("rows"),  QStringLiteral("aligned"),
                            QStringLiteral("csv"),   QStringLiteral("table"),
                            QStringLiteral("jsonl"), QStringLiteral("xlsx")};

CommandLine usageError(const QString& problem) {
    CommandLine command;
    command.action = CommandLine::UsageError;
    command.text = QStringLiteral("lexigrove: ") + problem + u'\n' + QLatin1StringView(kTryHelp);
    return command;
}
// One of the options QGuiApplication and QApplication take for themselves, with one dash or
// two, and for some a value after "=".
bool isQtOption(const QString& argument) {
    static const QStringList names = {"platform",
                                      "platformpluginpath",
                                      "platformtheme",
                                      "plugin",
                                      "qwindowgeometry",
                                      "qwindowicon",
                                      "qwindowtitle",
                                      "reverse",
                                      "session",
                                      "display",
                                      "geometry",
                                      "style",
                                      "stylesheet",
                                      "widgetcount",
                                      "qmljsdebugger",
                                      "nograb",
                                      "dograb",
                                      "sync",
                                      "title",
                                      "name",
                                      "visual",
                                      "ncols",
                                      "cmap",
                                      "fn",
                                      "font",
                                      "bg",
                                      "background",
                                      "fg",
                                      "foreground",
                                      "btn",
                                      "button",
                                      "im",
                                      "inputstyle",
                                      "testability"};
    QStringView name(argument);
    if (!name.startsWith(u'-') || name.size() < 2)
        return false;
    name = name.sliced(name.startsWith(u"--") ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    return names.contains(equals < 0 ? name : name.first(equals));
}
// Where the options stand among the arguments, before any "--": each value
// an option takes from the next argument is skipped, as the parser does.
QList<qsizetype> optionPlaces(const QStringList& arguments, const QList<QCommandLineOption>& all) {
    QList<qsizetype> places;
    for (qsizetype at = 1; at < arguments.size(); ++at) {
        const QString& argument = arguments[at];
        if (argument == QStringLiteral("--"))
            break;
        if (!argument.startsWith(u'-') || argument.size() < 2)
            continue;
        places << at;
        const QString name = argument.sliced(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
        const auto takesNext = std::any_of(all.begin(), all.end(), [&](const auto& option) {
            return !option.valueName().isEmpty() && option.names().contains(name);
        });
        at += takesNext;
    }
    return places;
}

// The options that are none of ours, each as given: "--lokup", "-dash.txt".
QStringList unknownOptions(const QStringList& arguments, const QList<QCommandLineOption>& all) {
    const auto known = [&](QStringView name) {
        return std::any_of(all.begin(), all.end(),
                           [&](const auto& option) { return option.names().contains(name); });
    };
    QStringList unknown;
    for (const qsizetype at : optionPlaces(arguments, all)) {
        const QString& argument = arguments[at];
        if (argument.startsWith(QStringLiteral("--"))) {
            const qsizetype equals = argument.indexOf(u'=');
            const QString name = argument.first(equals < 0 ? argument.size() : equals);
            if (!known(QStringView(name).sliced(2)))
                unknown << name;
        } else if (!std::all_of(argument.begin() + 1, argument.end(),
                                [&](QChar c) { return known(QStringView(&c, 1)); })) {
            unknown << argument; // single-letter options run together, as -hv
        }
    }
    return unknown;
}

constexpr QLatin1StringView kLookupIs("--lookup=");
// Stands for the n-th --lookup=FILE among the files: a noncharacter, which no name given
// on a command line holds at its start.
QString placeholder(qsizetype n) {
    return QChar(0xFDD0) + QString::number(n);
}
bool isPlaceholder(const QString& argument) {
    return argument.startsWith(QChar(0xFDD0));
}
} // namespace

static_assert(WordStream::kLongestLine == 1048576, "--help tells the longest line");

QString CommandLineHelp() {
    return QStringLiteral(
               "Usage: lexigrove [--database FILE | --language CODE] [FILE...]\n"
               "  or:  lexigrove --languages\n"
               "  or:  lexigrove --lookup [--format FORMAT] [--output FILE] [--pos LIST]\n"
               "                 [--relation LIST] [--database FILE | --language CODE]\n"
               "                 [--quiet] FILE...\n"
               "Finds the synonyms of whole lists of words. Without --lookup it opens its\n"
               "window, with the words of each FILE in its list.\n"
               "\n"
               "  --lookup          look up the words of each FILE in turn (one word a line;\n"
               "                    - reads standard input) and write one row per word and\n"
               "                    synonym, or one not-found row, without a window or display;\n"
               "                    a FILE starting with - goes after -- or as --lookup=FILE\n"
               "  --format FORMAT   rows: each row and a line feed (the default);\n"
               "                    aligned: what \"Save Results As Text File\" writes with\n"
               "                    every row ticked; csv: what \"Save As Comma Delimited\"\n"
               "                    writes; table: CSV for programs, the header\n"
               "                    word,synonym,pos,relation,sense,note and one record per\n"
               "                    word, synonym and meaning; jsonl: one JSON object per word,\n"
               "                    synonym and meaning a line (a word without any: the other\n"
               "                    fields empty, or null); xlsx: a spreadsheet workbook of\n"
               "                    table's records, the sense a number and the rest text\n"
               "                    (never to a terminal). For spreadsheets use xlsx: table\n"
               "                    writes the data as it is, so a spreadsheet that evaluates\n"
               "                    formulas in CSV must import it as text\n"
               "  --pos LIST        keep only synonyms of these parts of speech in any of\n"
               "                    their meanings, separated by commas (noun, adj, verb, adv)\n"
               "  --relation LIST   keep only these relations: synonym, similar term,\n"
               "                    related term (the default), antonym, generic term,\n"
               "                    narrower term; a word with none left gets the not-found row\n"
               "  --output FILE     write to FILE, put in place only once complete (default:\n"
               "                    standard output); -, /dev/stdout and /dev/fd/N write where\n"
               "                    that descriptor stands, as >> appends; never a word file,\n"
               "                    the database, or the thesaurus or dictionary it comes from\n"
               "  --database FILE   read this synonym database instead of words.mdb beside\n"
               "                    the program; without --lookup the window opens on it\n"
               "  --language CODE   use the installed thesaurus of this language (fr, de_CH,\n"
               "                    pt_BR; the closest one installed), preparing its database\n"
               "                    on first use\n"
               "  --languages       list the installed thesauri: code, name, whether prepared,\n"
               "                    file\n"
               "  --quiet           no progress on standard error (shown only on a terminal)\n"
               "  -h, --help        display this help and exit\n"
               "  -v, --version     output version information and exit\n"
               "Without --lookup, Qt's own options (-platform NAME, -style NAME, -reverse,\n"
               "...) reach the window. Word files are read as their lines arrive; a line may\n"
               "hold up to 1048576 bytes.\n"
               "\n"
               "Examples:\n"
               "  lexigrove --lookup --format table --output synonyms.csv words.txt\n"
               "  lexigrove --lookup --format jsonl --pos adj,adv --relation synonym words.txt\n"
               "  printf 'happy\\nlook\\n' | lexigrove --lookup - | grep -v 'not found'\n"
               "  lexigrove --database ~/thesauri/fr/words.mdb --lookup mots.txt\n"
               "  lexigrove --language fr --lookup mots.txt\n"
               "  find notes -name '*.txt' -exec lexigrove --lookup {} +\n"
               "\n"
               "Other languages: install a MyThes thesaurus (Debian: apt install mythes-fr,\n"
               "or any package providing mythes-thesaurus) and, for its inflected forms, the\n"
               "Hunspell dictionary (hunspell-fr); then choose it under \"Thesaurus\" in the\n"
               "window, or give --language.\n"
               "\n"
               "Exit status: 0 when the words were looked up (words without synonyms\n"
               "included); 1 when a file could not be read or written or the database could\n"
               "not be opened; 2 for a usage error, or for xlsx on a terminal.\n") +
           QLatin1StringView(program_info::kHelpFooter);
}

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << NameFromNative(argv[i]);
    return arguments;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption lookup(QStringLiteral("lookup"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption database(QStringLiteral("database"), QString(),
                                      QStringLiteral("FILE"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    const QCommandLineOption pos(QStringLiteral("pos"), QString(), QStringLiteral("LIST"));
    const QCommandLineOption relation(QStringLiteral("relation"), QString(),
                                      QStringLiteral("LIST"));
    const QCommandLineOption language(QStringLiteral("language"), QString(),
                                      QStringLiteral("CODE"));
    const QCommandLineOption languages(QStringLiteral("languages"));
    const QList<QCommandLineOption> all = {help,  version, lookup,   format,   output,   database,
                                           quiet, pos,     relation, language, languages};
    parser.addOptions(all);

    // --lookup=FILE names a first word file that may start with a dash. It
    // stands in the list as a placeholder, so that the files keep their order.
    QStringList given = arguments;
    QStringList lookupFiles;
    QList<qsizetype> lookupPlaces;
    for (const qsizetype at : optionPlaces(given, all))
        if (given[at].startsWith(kLookupIs)) {
            lookupFiles << given[at].sliced(kLookupIs.size());
            lookupPlaces << at;
        }
    if (lookupFiles.contains(QString()))
        return usageError(QStringLiteral("--lookup= needs a file name"));
    for (qsizetype n = lookupPlaces.size() - 1; n >= 0; --n) {
        given[lookupPlaces[n]] = QStringLiteral("--lookup");
        given.insert(lookupPlaces[n] + 1, placeholder(n));
    }
    if (!parser.parse(given)) {
        const QStringList unknown = unknownOptions(given, all);
        QString problem = parser.errorText();
        if (!unknown.isEmpty()) {
            problem = QStringLiteral("unknown option%1 '%2'")
                          .arg(unknown.size() > 1 ? "s" : "", unknown.join(QStringLiteral("', '")));
            // "-notes.txt": most likely a file, which a dash would otherwise make an option.
            const auto file = std::find_if(unknown.begin(), unknown.end(), [](const QString& a) {
                return !a.startsWith(QStringLiteral("--")) &&
                       (a.contains(u'.') || a.contains(u'/'));
            });
            if (file != unknown.end())
                problem += QStringLiteral("; a file whose name starts with a dash goes after "
                                          "--, as in: -- %1")
                               .arg(*file);
        }
        CommandLine error = usageError(problem);
        const qsizetype end = given.indexOf(QStringLiteral("--"));
        const QStringList options = given.first(end < 0 ? given.size() : end);
        // Only then is QApplication worth starting, which needs a display: a plain
        // mistake is told as one, with or without a display.
        error.windowMayTakeIt = !options.contains(QStringLiteral("--lookup")) &&
                                std::any_of(options.begin(), options.end(), isQtOption);
        return error;
    }

    CommandLine command;
    if (parser.isSet(help) || parser.isSet(version)) {
        command.action = CommandLine::Print;
        command.text = parser.isSet(help)
                           ? CommandLineHelp()
                           : QStringLiteral("lexigrove %1\n%2")
                                 .arg(QLatin1StringView(program_info::kVersion),
                                      QLatin1StringView(program_info::kCopyrightLines));
        return command;
    }
    // The list is a command of its own: anything beside it was meant for another.
    if (parser.isSet(languages)) {
        for (const QCommandLineOption& other : all)
            if (other.names() != languages.names() && parser.isSet(other))
                return usageError(
                    QStringLiteral("--languages cannot go with --%1").arg(other.names().last()));
        if (!parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("--languages takes no file"));
        command.action = CommandLine::ListLanguages;
        return command;
    }
    // A value given twice is a mistake in a script, not a choice of the last one.
    for (const QCommandLineOption& once : {format, output, database, language})
        if (parser.values(once).size() > 1)
            return usageError(
                QStringLiteral("--%1 is given more than once").arg(once.names().first()));
    command.database = parser.value(database);
    if (parser.isSet(database) && command.database.isEmpty())
        return usageError(QStringLiteral("--database needs a file name"));
    command.language = parser.value(language);
    if (parser.isSet(language) && command.language.isEmpty())
        return usageError(QStringLiteral("--language needs a language code, such as fr or pt_BR"));
    if (parser.isSet(language) && parser.isSet(database))
        return usageError(QStringLiteral("--language and --database cannot go together"));
    for (const QString& file : parser.positionalArguments())
        command.files << (isPlaceholder(file) ? lookupFiles[file.sliced(1).toInt()] : file);
    if (!parser.isSet(lookup)) {
        for (const QCommandLineOption& needsLookup : {format, output, quiet, pos, relation})
            if (parser.isSet(needsLookup))
                return usageError(
                    QStringLiteral("--%1 goes with --lookup").arg(needsLookup.names().first()));
        // Word files without --lookup open in the window's list ("Open with").
        return command;
    }
    command.action = CommandLine::Lookup;
    if (parser.isSet(format)) {
        const QString name = parser.value(format);
        const auto* found = std::find(std::begin(kFormats), std::end(kFormats), name);
        if (found == std::end(kFormats))
            return usageError(
                QStringLiteral("unknown format '%1' (rows, aligned, csv, table, jsonl or xlsx)")
                    .arg(name));
        command.format = OutputFormat(found - std::begin(kFormats));
    }
    if (command.files.isEmpty())
        return usageError(QStringLiteral("--lookup needs at least one word file (- for standard "
                                         "input)"));
    command.output = parser.value(output);
    if (parser.isSet(output) && command.output.isEmpty())
        return usageError(QStringLiteral("--output needs a file name"));
    command.quiet = parser.isSet(quiet);
    // Whether each kind exists depends on the database; the lookup checks that.
    for (const QString& list : parser.values(pos))
        command.partsOfSpeech += list.split(u',');
    for (const QString& list : parser.values(relation))
        command.relations += list.split(u',');
    return command;
}
