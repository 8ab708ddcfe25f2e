#include "CommandLine.h"

#include "FileSystem.h"
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
    command.text = QStringLiteral("lexigrove: ") + problem +
                   QStringLiteral("\nTry 'lexigrove --help' for more information.\n");
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
} // namespace

static_assert(WordStream::kLongestLine == 1048576, "--help tells the longest line");

QString CommandLineHelp() {
    return QStringLiteral(
        "Usage: lexigrove [--database FILE | --language CODE] [FILE...]\n"
        "       lexigrove --languages\n"
        "       lexigrove --lookup [--format rows|aligned|csv|table|jsonl|xlsx]\n"
        "                 [--output FILE] [--pos LIST] [--relation LIST]\n"
        "                 [--database FILE | --language CODE] [--quiet] FILE...\n"
        "Finds the synonyms of whole lists of words. Without --lookup it opens its window,\n"
        "with the words of each FILE in its list.\n"
        "\n"
        "  --lookup          look up the words of each FILE in turn (one word a line; - reads\n"
        "                    standard input) and write one row per word and synonym, or one\n"
        "                    not-found row, without a window or display\n"
        "  --format FORMAT   rows: each row and a line feed (the default); aligned: what \"Save\n"
        "                    Results As Text File\" writes with every row ticked; csv: what\n"
        "                    \"Save As Comma Delimited\" writes; table: CSV for programs, the\n"
        "                    header word,synonym,pos,relation,sense,note and one record per\n"
        "                    word, synonym and meaning; jsonl: one JSON object per word,\n"
        "                    synonym and meaning a line (a word without any: the other fields\n"
        "                    empty, or null); xlsx: a spreadsheet workbook of table's records\n"
        "                    as text cells (to standard output only when it is redirected).\n"
        "                    For spreadsheets use xlsx: table writes the data as it is, so a\n"
        "                    spreadsheet that evaluates formulas in CSV must import it as text\n"
        "  --pos LIST        keep only synonyms of these parts of speech in any of their\n"
        "                    meanings, separated by commas (noun, adj, verb, adv)\n"
        "  --relation LIST   keep only these relations: synonym, similar term, related term\n"
        "                    (the default), antonym, generic term, narrower term; a word with\n"
        "                    none left gets the not-found row\n"
        "  --output FILE     write to FILE, put in place only once complete (default: standard\n"
        "                    output); -, /dev/stdout and /dev/fd/N write where that\n"
        "                    descriptor stands, as >> appends; never a word file or the\n"
        "                    database\n"
        "  --database FILE   read this synonym database instead of words.mdb beside the\n"
        "                    program; without --lookup the window opens on it\n"
        "  --language CODE   use the installed thesaurus of this language (fr, de_CH, pt_BR;\n"
        "                    the closest one installed), preparing its database on first use\n"
        "  --languages       list the installed thesauri: code, name, whether prepared, file\n"
        "  --quiet           no progress on standard error (shown only on a terminal)\n"
        "  -h, --help        show this help and exit\n"
        "  -v, --version     show the version and exit\n"
        "Without --lookup, Qt's own options (-platform NAME, -style NAME, -reverse, ...) reach\n"
        "the window. Word files are read as their lines arrive; a line may hold up to\n"
        "1048576 bytes.\n"
        "\n"
        "Examples:\n"
        "  lexigrove --lookup --format table --output synonyms.csv words.txt\n"
        "  lexigrove --lookup --format jsonl --pos adj,adv --relation synonym words.txt\n"
        "  printf 'happy\\nlook\\n' | lexigrove --lookup - | grep -v 'not found'\n"
        "  lexigrove --database ~/thesauri/fr/words.mdb --lookup mots.txt\n"
        "  lexigrove --language fr --lookup mots.txt\n"
        "\n"
        "Other languages: install a MyThes thesaurus (Debian: apt install mythes-fr, or any\n"
        "package providing mythes-thesaurus) and, for its inflected forms, the Hunspell\n"
        "dictionary (hunspell-fr); then choose it under \"Thesaurus\" in the window, or\n"
        "give --language.\n"
        "\n"
        "Exit status: 0 when the words were looked up (words without synonyms included);\n"
        "1 when a file could not be read or written or the database could not be opened;\n"
        "2 for a usage error, or for xlsx when standard output is a terminal.\n");
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
    parser.addOptions({help, version, lookup, format, output, database, quiet, pos, relation,
                       language, languages});
    if (!parser.parse(arguments)) {
        CommandLine error = usageError(parser.errorText());
        const qsizetype end = arguments.indexOf(QStringLiteral("--"));
        const QStringList options = arguments.first(end < 0 ? arguments.size() : end);
        // Only then is QApplication worth starting, which needs a display: a plain
        // mistake is told as one, with or without a display.
        error.windowMayTakeIt = !options.contains(QStringLiteral("--lookup")) &&
                                std::any_of(options.begin(), options.end(), isQtOption);
        return error;
    }

    CommandLine command;
    if (parser.isSet(help) || parser.isSet(version)) {
        command.action = CommandLine::Print;
        command.text = parser.isSet(help) ? CommandLineHelp()
                                          : QStringLiteral("lexigrove " LEXIGROVE_VERSION "\n");
        return command;
    }
    // A value given twice is a mistake in a script, not a choice of the last one.
    if (parser.isSet(languages)) {
        command.action = CommandLine::ListLanguages;
        return command;
    }
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
    command.files = parser.positionalArguments();
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
