// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ProgramInfo.h"
#include "ShellQuote.h"
#include "WordStream.h"

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
} // namespace

static_assert(WordStream::kLongestLine == 1048576, "--help tells the longest line");

QString CommandLineHelp() {
    return QStringLiteral(
               "Usage: lexigrove [--database FILE | --language CODE] [FILE...]\n"
               "  or:  lexigrove --languages\n"
               "  or:  lexigrove --lookup [--format FORMAT] [--output FILE] [--pos LIST]\n"
               "                 [--relation LIST] [--database FILE | --language CODE]\n"
               "                 [--inflect] [--quiet] FILE...\n"
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
               "                    word,synonym,pos,relation,sense,note,inflected and one\n"
               "                    record per word, synonym and meaning; jsonl: one JSON\n"
               "                    object per word, synonym and meaning a line (a word\n"
               "                    without any: the other fields empty, or null); xlsx: a\n"
               "                    spreadsheet workbook of table's records, the sense a\n"
               "                    number and the rest text (never to a terminal). For\n"
               "                    spreadsheets use xlsx: table writes the data as it is,\n"
               "                    so a spreadsheet that evaluates formulas in CSV must\n"
               "                    import it as text\n"
               "  --inflect         rows, aligned and csv show each synonym in the form the\n"
               "                    word has (houses: homes) where exactly one is found, as\n"
               "                    table, jsonl and xlsx always give it in their field\n"
               "                    inflected (empty, or null, where there is none)\n"
               "  --pos LIST        keep only synonyms of these parts of speech in any of\n"
               "                    their meanings, separated by commas (noun, adj, verb, adv)\n"
               "  --relation LIST   keep only these relations: synonym, similar term,\n"
               "                    related term (the default, or for a word without them its\n"
               "                    generic and narrower terms), antonym, generic term,\n"
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
               "                    file, and the size of the prepared database (- when not)\n"
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

CommandLine ParseCommandLine(const QStringList& arguments) {
    enum Option {
        Help,
        Version,
        Lookup,
        Format,
        Output,
        Database,
        Quiet,
        Pos,
        Relation,
        Language,
        Inflect,
        Languages
    };
    const auto named = [](const char* name, GnuOption::Value value = GnuOption::Required) {
        return GnuOption{QChar(), {QLatin1StringView(name)}, value};
    };
    // In this order; "--h" and "--v" are -h and -v too.
    const QList<GnuOption> all = {{u'h', {QStringLiteral("h"), QStringLiteral("help")}},
                                  {u'v', {QStringLiteral("v"), QStringLiteral("version")}},
                                  // --lookup=FILE names a first word file that may start with a
                                  // dash, in its place among the files.
                                  named("lookup", GnuOption::OnlyAfterIs),
                                  named("format"),
                                  named("output"),
                                  named("database"),
                                  named("quiet", GnuOption::NoValue),
                                  named("pos"),
                                  named("relation"),
                                  named("language"),
                                  named("inflect", GnuOption::NoValue),
                                  named("languages", GnuOption::NoValue)};
    const QList<GnuArgument> parsed = ParseGnuArguments(arguments.mid(1), all, true);

    const auto given = [&](int option) {
        return std::any_of(parsed.begin(), parsed.end(), [&](const GnuArgument& argument) {
            return argument.kind == GnuArgument::Option && argument.option == option;
        });
    };
    const auto values = [&](int option) {
        QStringList list;
        for (const GnuArgument& argument : parsed)
            if (argument.kind == GnuArgument::Option && argument.option == option)
                list << argument.value;
        return list;
    };
    const auto value = [&](int option) { return values(option).value(values(option).size() - 1); };
    QStringList files;
    for (const GnuArgument& argument : parsed) {
        if (argument.kind == GnuArgument::Option && argument.option == Lookup &&
            argument.hasValue && argument.value.isEmpty())
            return usageError(QStringLiteral("--lookup= needs a file name"));
        if (argument.kind == GnuArgument::Operand ||
            (argument.kind == GnuArgument::Option && argument.option == Lookup &&
             argument.hasValue))
            files << argument.value;
    }

    QStringList unknown;
    QString problem;
    for (const GnuArgument& argument : parsed) {
        if (argument.kind == GnuArgument::Unknown)
            unknown << argument.written;
        else if (argument.kind == GnuArgument::MissingValue)
            problem = QStringLiteral("Missing value after %1.").arg(QuotedText(argument.written));
        else if (argument.kind == GnuArgument::UnexpectedValue)
            problem = QStringLiteral("Unexpected value after %1.").arg(QuotedText(argument.written));
    }
    if (!unknown.isEmpty() || !problem.isEmpty()) {
        if (!unknown.isEmpty()) {
            QStringList quoted;
            for (const QString& option : std::as_const(unknown))
                quoted << QuotedText(option);
            problem = QStringLiteral("unknown option%1 %2")
                          .arg(unknown.size() > 1 ? "s" : "", quoted.join(QStringLiteral(", ")));
            // "-notes.txt": most likely a file, which a dash would otherwise make an option.
            const auto file = std::find_if(unknown.begin(), unknown.end(), [](const QString& a) {
                return !a.startsWith(QStringLiteral("--")) &&
                       (a.contains(u'.') || a.contains(u'/'));
            });
            if (file != unknown.end())
                problem += QStringLiteral("; a file whose name starts with a dash goes after "
                                          "--, as in: -- %1")
                               .arg(ShownText(*file));
        }
        CommandLine error = usageError(problem);
        const qsizetype end = arguments.indexOf(QStringLiteral("--"));
        const QStringList options = arguments.first(end < 0 ? arguments.size() : end);
        const bool lookup =
            options.contains(QStringLiteral("--lookup")) ||
            std::any_of(parsed.begin(), parsed.end(), [](const GnuArgument& argument) {
                return argument.option == Lookup && argument.hasValue;
            });
        // Only then is QApplication worth starting, which needs a display: a plain
        // mistake is told as one, with or without a display.
        error.windowMayTakeIt = !lookup && std::any_of(options.begin(), options.end(), isQtOption);
        return error;
    }

    CommandLine command;
    if (given(Help) || given(Version)) {
        command.action = CommandLine::Print;
        command.text = given(Help) ? CommandLineHelp()
                                   : QStringLiteral("lexigrove %1\n%2")
                                         .arg(QLatin1StringView(program_info::kVersion),
                                              QLatin1StringView(program_info::kCopyrightLines));
        return command;
    }
    // The list is a command of its own: anything beside it was meant for another.
    if (given(Languages)) {
        for (int other = 0; other < Languages; ++other)
            if (given(other))
                return usageError(
                    QStringLiteral("--languages cannot go with --%1").arg(all[other].names.last()));
        if (!files.isEmpty())
            return usageError(QStringLiteral("--languages takes no file"));
        command.action = CommandLine::ListLanguages;
        return command;
    }
    // A value given twice is a mistake in a script, not a choice of the last one.
    for (const int once : {Format, Output, Database, Language})
        if (values(once).size() > 1)
            return usageError(
                QStringLiteral("--%1 is given more than once").arg(all[once].names.first()));
    command.database = value(Database);
    if (given(Database) && command.database.isEmpty())
        return usageError(QStringLiteral("--database needs a file name"));
    command.language = value(Language);
    if (given(Language) && command.language.isEmpty())
        return usageError(QStringLiteral("--language needs a language code, such as fr or pt_BR"));
    if (given(Language) && given(Database))
        return usageError(QStringLiteral("--language and --database cannot go together"));
    command.files = files;
    if (!given(Lookup)) {
        for (const int needsLookup : {Format, Output, Quiet, Pos, Relation, Inflect})
            if (given(needsLookup))
                return usageError(
                    QStringLiteral("--%1 goes with --lookup").arg(all[needsLookup].names.first()));
        // Word files without --lookup open in the window's list ("Open with").
        return command;
    }
    command.action = CommandLine::Lookup;
    if (given(Format)) {
        const QString name = value(Format);
        const auto* found = std::find(std::begin(kFormats), std::end(kFormats), name);
        if (found == std::end(kFormats))
            return usageError(
                QStringLiteral("unknown format %1 (rows, aligned, csv, table, jsonl or xlsx)")
                    .arg(QuotedText(name)));
        command.format = OutputFormat(found - std::begin(kFormats));
    }
    if (command.files.isEmpty())
        return usageError(QStringLiteral("--lookup needs at least one word file (- for standard "
                                         "input)"));
    command.output = value(Output);
    if (given(Output) && command.output.isEmpty())
        return usageError(QStringLiteral("--output needs a file name"));
    command.quiet = given(Quiet);
    command.inflect = given(Inflect);
    // Whether each kind exists depends on the database; the lookup checks that.
    for (const QString& list : values(Pos))
        command.partsOfSpeech += list.split(u',');
    for (const QString& list : values(Relation))
        command.relations += list.split(u',');
    return command;
}
