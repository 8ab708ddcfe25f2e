// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormFixtures.h"
#include "Thesaurus.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <sqlite3.h>

namespace {

const QString kData = QStringLiteral(LEXIGROVE_TEST_DATA);
const QString kImporter = QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove-import");
const QString kMythes = QStringLiteral("/usr/share/mythes");
const QString kHunspell = QStringLiteral("/usr/share/hunspell");

qint64 count(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    qint64 result = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        result = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

QStringList listing(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A thesaurus large enough for every step to report progress several times.
QString writeLargeThesaurus(const QTemporaryDir& dir) {
    QByteArray text("UTF-8\n");
    for (int i = 0; i < 40000; ++i)
        text += "word" + QByteArray::number(i) + "|1\n(noun)|a" + QByteArray::number(i) + "|b\n";
    const QString path = dir.filePath(QStringLiteral("large.dat"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A cap on the importer's address space that reading an input whole would hit. AddressSanitizer
// reserves terabytes of address space at start, so under it the rows run without the cap.
#ifdef LEXIGROVE_SANITIZED
const QString kMemoryCap;
#else
const QString kMemoryCap = QStringLiteral("ulimit -v 200000; ");
#endif

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// The script in sh, in folder, with the importer on the PATH.
Run shell(const QString& script, const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"),
                       LEXIGROVE_BIN_DIR ":" + environment.value(QStringLiteral("PATH")));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), script});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Every name in folder with its inode, mode, size, change time and link target, and the content of
// files under 1 MiB, to tell that nothing was touched.
QString snapshot(const QString& folder) {
    return shell(QStringLiteral("ls -liA --full-time --time=ctime && "
                                "find . -type f -size -1024k -exec sha1sum {} +"),
                 folder)
        .out;
}

} // namespace

class TestImportRun : public QObject {
    Q_OBJECT

  private slots:
    void dictionaryForms_data();
    void dictionaryForms();
    void realDictionaryForms_data();
    void realDictionaryForms();
    void formLimit_data();
    void formLimit();
    void everyDebianThesaurus_data();
    void everyDebianThesaurus();
    void progressRisesToHundred();
    void cancelLeavesNothing_data();
    void cancelLeavesNothing();
    void folderThatCannotBeMade();
    void importsOnThreads();
    void importerReports_data();
    void importerReports();
    void commandLine_data();
    void commandLine();
    void outputsAndInputs_data();
    void outputsAndInputs();
};

void TestImportRun::dictionaryForms_data() {
    QTest::addColumn<QString>("dictionary");
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("bases");

    const QString forms = QStringLiteral("forms.dic");
    QTest::newRow("suffix with its condition") << forms << "cities" << QStringList{"city"};
    QTest::newRow("condition excludes") << forms << "citys" << QStringList();
    QTest::newRow("one of two conditions") << forms << "baked" << QStringList{"bake"};
    QTest::newRow("other condition") << forms << "bakeed" << QStringList();
    QTest::newRow("suffix") << forms << "walked" << QStringList{"walk"};
    QTest::newRow("second suffix allowed by the first")
        << forms << "walkables" << QStringList{"walk"};
    QTest::newRow("first of two suffixes") << forms << "walkable" << QStringList{"walk"};
    QTest::newRow("two roots") << forms << "casas" << QStringList{"casa", "casar"};
    QTest::newRow("stripped ending") << forms << "casamos" << QStringList{"casar"};
    QTest::newRow("vowel change, capital") << forms << "Häuser" << QStringList{"haus"};
    QTest::newRow("headword keeps its own entry") << forms << "walks" << QStringList();
    QTest::newRow("prefix") << forms << "unwalk" << QStringList{"walk"};
    QTest::newRow("prefix and suffix") << forms << "unwalked" << QStringList{"walk"};
    QTest::newRow("form that needs another affix") << forms << "walking" << QStringList();
    QTest::newRow("after the affix it needs") << forms << "walkingly" << QStringList{"walk"};
    QTest::newRow("only inside compounds") << forms << "walks-" << QStringList();
    QTest::newRow("circumfix without its prefix") << forms << "walkt" << QStringList();
    QTest::newRow("forbidden stem") << forms << "walkers" << QStringList();
    QTest::newRow("escaped slash, morphology after a tab")
        << forms << "walk/runs" << QStringList{"walk/run"};

    const QString longFlags = QStringLiteral("forms_long.dic");
    QTest::newRow("long flags through an alias") << longFlags << "kotami" << QStringList{"kot"};
    QTest::newRow("ISO 8859-2, morphology after a space")
        << longFlags << "łośów" << QStringList{"łoś"};
    QTest::newRow("flag not in the alias") << longFlags << "łośami" << QStringList();
}

void TestImportRun::dictionaryForms() {
    QFETCH(QString, dictionary);
    QFETCH(QString, form);
    QFETCH(QStringList, bases);
    const QStringList headwords{"city", "bake",   "walk",     "walks", "casa", "casar",
                                "Haus", "walker", "walk/run", "kot",   "łoś"};
    QCOMPARE(filedUnder(kData + u'/' + dictionary, headwords, form), bases);
}

void TestImportRun::realDictionaryForms_data() {
    QTest::addColumn<QString>("dictionary");
    QTest::addColumn<QStringList>("headwords");
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("bases");

    const QStringList spanish{"casa", "casar", "árbol", "hablar"};
    QTest::newRow("es plural and verb")
        << "es_ES" << spanish << "casas" << QStringList{"casa", "casar"};
    QTest::newRow("es plural") << "es_ES" << spanish << "árboles" << QStringList{"árbol"};
    QTest::newRow("es conjugation") << "es_ES" << spanish << "hablamos" << QStringList{"hablar"};
    QTest::newRow("de plural") << "de_DE" << QStringList{"Haus"} << "Häuser" << QStringList{"haus"};
    QTest::newRow("ru plural") << "ru_RU" << QStringList{"стол"} << "столы" << QStringList{"стол"};
    // Aliased flags that are Latin-1 bytes in a UTF-8 file.
    QTest::newRow("hu case") << "hu_HU" << QStringList{"ház"} << "házról" << QStringList{"ház"};
    const QStringList english{"look", "happy", "advantage"};
    QTest::newRow("en past") << "en_US" << english << "looked" << QStringList{"look"};
    QTest::newRow("en comparative") << "en_US" << english << "happier" << QStringList{"happy"};
    QTest::newRow("en plural") << "en_US" << english << "advantages" << QStringList{"advantage"};
    QTest::newRow("en prefix and suffix")
        << "en_US" << english << "unhappier" << QStringList{"happy"};
}

void TestImportRun::realDictionaryForms() {
    QFETCH(QString, dictionary);
    QFETCH(QStringList, headwords);
    QFETCH(QString, form);
    QFETCH(QStringList, bases);
    const QString dic = kHunspell + u'/' + dictionary + QStringLiteral(".dic");
    if (!QFileInfo::exists(dic))
        QSKIP("dictionary not installed (scripts/bootstrap.sh test installs it)");
    QCOMPARE(filedUnder(dic, headwords, form), bases);
}

// Second suffixes can give millions of forms per language; the importer bounds what it keeps.
void TestImportRun::formLimit_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("thesaurus");
    QTest::addColumn<QString>("oneSuffix");
    QTest::addColumn<QString>("twoSuffixes");

    // Verb forms with clitic pronouns: 7.6 million forms with them.
    QTest::newRow("gl: single suffixes only") << "gl_ES"
                                              << "th_gl_ES_v2.dat"
                                              << "abastamos"
                                              << "abastándome";
    // Hundreds of forms of one suffix per noun: refused.
    QTest::newRow("hu: refused") << "hu_HU"
                                 << "th_hu_HU_v2.dat" << QString() << QString();
    // Made here: thousands of prefixes, suffixes and second suffixes on one another over three
    // stems, work without end but for its bounds.
    static QTemporaryDir made;
    QVERIFY(WriteStems(made.path(), kStems, CostlyAffixes(3000)));
    QTest::newRow("affixes on one another")
        << made.filePath("xx") << made.filePath("th_xx.dat") << "wa2999"
        << "wa1b1";
}

void TestImportRun::formLimit() {
    QFETCH(QString, language);
    QFETCH(QString, thesaurus);
    QFETCH(QString, oneSuffix);
    QFETCH(QString, twoSuffixes);
    const QString dic = QDir(kHunspell).filePath(language + QStringLiteral(".dic"));
    const QString dat = QDir(kMythes).filePath(thesaurus);
    if (!QFileInfo::exists(dic) || !QFileInfo::exists(dat))
        QSKIP("thesaurus or dictionary not installed (scripts/bootstrap.sh test installs them)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("words.mdb"));
    try {
        const ImportReport summary = ImportThesaurus(dat, out, FormSources{dic, {}});
        QVERIFY2(!oneSuffix.isNull(), "imported");
        QVERIFY(summary.forms > 0);
    } catch (const ThesaurusError& error) {
        QVERIFY2(oneSuffix.isNull(), error.what());
        QCOMPARE(error.sourceName(), dic);
        QCOMPARE(listing(dir.path()), QStringList());
        return;
    }
    const auto forms = [&](const QString& word) {
        return count(out, QStringLiteral("SELECT count(*) FROM form WHERE key = '%1'")
                              .arg(word)
                              .toUtf8()
                              .constData());
    };
    QVERIFY(forms(oneSuffix) > 0);
    QCOMPARE(forms(twoSuffixes), 0);
}

void TestImportRun::everyDebianThesaurus_data() {
    QTest::addColumn<QString>("dat");
    // Each file once: most regional names are links to one file.
    QStringList files;
    for (const QFileInfo& info : QDir(kMythes).entryInfoList({"*.dat"}, QDir::Files, QDir::Name)) {
        const QString target = info.canonicalFilePath();
        if (!files.contains(target))
            files << target;
    }
    if (files.isEmpty())
        QSKIP("no mythes-* thesaurus installed (scripts/bootstrap.sh test installs them)");
    for (const QString& file : files)
        QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
}

void TestImportRun::everyDebianThesaurus() {
    QFETCH(QString, dat);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("new/folder/words.mdb"));
    ImportReport summary;
    try {
        summary = ImportThesaurus(dat, out);
    } catch (const ThesaurusError& error) {
        QFAIL(error.what());
    }
    QVERIFY(summary.headwords > 0);
    QCOMPARE(count(out, "SELECT count(*) FROM headword"), summary.headwords);
    qint64 pairs = 0;
    for (const auto& [relation, number] : summary.pairsPerRelation)
        pairs += number;
    QVERIFY(pairs > 0);
}

void TestImportRun::progressRisesToHundred() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString dat = writeLargeThesaurus(dir);
    std::vector<int> seen;
    ImportThesaurus(dat, dir.filePath(QStringLiteral("words.mdb")), {}, [&](int percent) {
        seen.push_back(percent);
        return true;
    });
    QVERIFY(seen.size() > 10);
    QCOMPARE(seen.front(), 0);
    QCOMPARE(seen.back(), 100);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
}

void TestImportRun::cancelLeavesNothing_data() {
    QTest::addColumn<int>("at");
    QTest::newRow("at the start") << 0;
    QTest::newRow("while parsing") << 10;
    QTest::newRow("after parsing") << 35;
    QTest::newRow("while writing") << 70;
    QTest::newRow("near the end") << 95;
}

void TestImportRun::cancelLeavesNothing() {
    QFETCH(int, at);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString dat = writeLargeThesaurus(dir);
    const QStringList before = listing(dir.path());
    int last = -1;
    try {
        ImportThesaurus(dat, dir.filePath(QStringLiteral("a/b/words.mdb")), {}, [&](int percent) {
            last = percent;
            return percent < at;
        });
        QFAIL("not cancelled");
    } catch (const ImportCancelled&) {
    }
    QVERIFY(last >= at && last < 100);
    QCOMPARE(listing(dir.path()), before);
}

void TestImportRun::folderThatCannotBeMade() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("file"));
    QFile(file).open(QIODevice::WriteOnly);
    const QString out = file + QStringLiteral("/sub/words.mdb");
    try {
        ImportThesaurus(kData + QStringLiteral("/mini_thesaurus.dat"), out);
        QFAIL("import succeeded");
    } catch (const ThesaurusError& error) {
        QCOMPARE(error.sourceName(), out);
    }
    QCOMPARE(listing(dir.path()), QStringList{"file"});
}

void TestImportRun::importsOnThreads() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString dat = writeLargeThesaurus(dir);
    const QString out = dir.filePath(QStringLiteral("words.mdb"));
    auto import = [&] { return ImportThesaurus(dat, out).headwords; };
    auto first = std::async(std::launch::async, import);
    auto second = std::async(std::launch::async, import);
    QCOMPARE(first.get(), 40000);
    QCOMPARE(second.get(), 40000);
    QCOMPARE(count(out, "SELECT count(*) FROM headword"), 40000);
    QCOMPARE(listing(dir.path()), QStringList({"large.dat", "words.mdb"}));
}

void TestImportRun::importerReports_data() {
    QTest::addColumn<QByteArray>("thesaurus"); // empty: forms.dat with its dictionary
    QTest::addColumn<QString>("report");
    QTest::newRow("forms from the dictionary")
        << QByteArray() << "4 headwords, 2 similar term, 5 synonym, 14 forms";
    // Every relation counted, antonyms and generic terms among them, each pair once.
    QTest::newRow("pairs per relation")
        << QByteArray("UTF-8\nw|2\n(noun)|a|b (antonym)|c (generic term)\n(verb)|a|d (antonym)\n"
                      "v|1\n(noun)|w\n")
        << "2 headwords, 2 antonym, 1 generic term, 3 synonym, 0 forms";
}

void TestImportRun::importerReports() {
    QFETCH(QByteArray, thesaurus);
    QFETCH(QString, report);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("de/words.mdb"));
    QStringList arguments{"--hunspell", kData + QStringLiteral("/forms.dic"),
                          kData + QStringLiteral("/forms.dat"), out};
    if (!thesaurus.isEmpty()) {
        QFile dat(dir.filePath(QStringLiteral("report.dat")));
        QVERIFY(dat.open(QIODevice::WriteOnly) && dat.write(thesaurus) == thesaurus.size());
        dat.close();
        arguments = QStringList{dat.fileName(), out};
    }
    QProcess process;
    process.start(kImporter, arguments);
    QVERIFY(process.waitForFinished(-1));
    QCOMPARE(process.exitCode(), 0);
    // Not a terminal: the report alone, no progress.
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
             "lexigrove-import: wrote " + out + ": " + report + '\n');
}

// Usage errors go to standard error with status 2, help and version to standard output; no file
// is written either way.
void TestImportRun::commandLine_data() {
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("opening");
    QTest::addColumn<QString>("closing");
    const auto usage = [](const char* name, const QString& arguments, const QString& problem) {
        QTest::newRow(name) << arguments << 2 << "lexigrove-import: " + problem + u'\n'
                            << "Try 'lexigrove-import --help' for more information.\n";
    };
    usage("nothing", "", "missing thesaurus and database operands");
    usage("no database", "t.dat", "missing database operand after 't.dat'");
    usage("three files", "t.dat a.mdb b.mdb", "extra operand 'b.mdb'");
    usage("unknown option", "--bogus t.dat a.mdb", "unrecognized option '--bogus'");
    usage("unknown short option", "-x t.dat a.mdb", "invalid option -- 'x'");
    usage("option without its value", "t.dat a.mdb --hunspell",
          "option '--hunspell' requires an argument");
    const QString footer = QStringLiteral("Report bugs to: <https://lexigrove.org/bugs>\n"
                                          "Lexigrove home page: <https://lexigrove.org/>\n");
    const QString help("Usage: lexigrove-import [OPTION]... THESAURUS.dat DATABASE.mdb\n");
    QTest::newRow("--help") << "--help" << 0 << help << footer;
    QTest::newRow("-h") << "-h" << 0 << help << footer;
    QTest::newRow("--help after the files") << "t.dat a.mdb --help" << 0 << help << footer;
    QTest::newRow("--version") << "--version" << 0
                               << "lexigrove-import " LEXIGROVE_VERSION "\nCopyright"
                               << "There is NO WARRANTY, to the extent permitted by law.\n";
}

void TestImportRun::commandLine() {
    QFETCH(QString, arguments);
    QFETCH(int, status);
    QFETCH(QString, opening);
    QFETCH(QString, closing);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Run run = shell("exec lexigrove-import " + arguments, dir.path());
    QCOMPARE(run.status, status);
    QCOMPARE(status == 0 ? run.err : run.out, QString());
    const QString& text = status == 0 ? run.out : run.err;
    QVERIFY2(text.startsWith(opening) && text.endsWith(closing), qPrintable(text));
    for (const QString& line : text.split(u'\n'))
        QVERIFY2(line.size() <= 80, qPrintable(line));
    QCOMPARE(listing(dir.path()), QStringList());
}

// Each row prepares its folder, which holds the thesaurus t.dat, a dictionary f.dic with f.aff and
// a word list list.txt, then runs the importer under a memory cap. An output that is an input, not
// a file, or a file of another kind is refused and the folder left as it was; so is an input that
// never ends or holds an endless line, which stops at the line limit with its file and line named.
void TestImportRun::outputsAndInputs_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const QString& setup, const QString& command,
                        const QString& message) {
        QTest::newRow(name) << setup << command << message;
    };
    const QString plain("lexigrove-import t.dat out.mdb");

    const QString same = QStringLiteral("Cannot write %1: it is %2, the same file");
    row("the thesaurus", "", "lexigrove-import t.dat t.dat",
        same.arg("t.dat", "the thesaurus t.dat"));
    row("the thesaurus through a symbolic link", "ln -s t.dat out.mdb", plain,
        same.arg("out.mdb", "the thesaurus t.dat"));
    row("the thesaurus through a hard link", "ln t.dat out.mdb", plain,
        same.arg("out.mdb", "the thesaurus t.dat"));
    row("the thesaurus's index", "printf 'UTF-8\\n' > t.idx", "lexigrove-import t.dat t.idx",
        same.arg("t.idx", "the thesaurus's index t.idx"));
    row("the dictionary", "", "lexigrove-import --hunspell f.dic t.dat f.dic",
        same.arg("f.dic", "the dictionary f.dic"));
    row("the affix file", "", "lexigrove-import --hunspell=f.dic t.dat f.aff",
        same.arg("f.aff", "the dictionary's affix file f.aff"));
    row("the word list", "",
        "lexigrove-import --hunspell f.dic --word-list list.txt t.dat list.txt",
        same.arg("list.txt", "the word list list.txt"));

    const QString kind = QStringLiteral("Cannot write out.mdb: it is %1, not a database file");
    row("a device", "mknod out.mdb c 1 3", plain, kind.arg("a device"));
    row("a named pipe", "mkfifo out.mdb", plain, kind.arg("a named pipe"));
    row("a socket", "python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind(\"out.mdb\")'",
        plain, kind.arg("a socket"));
    row("a folder", "mkdir out.mdb", plain, kind.arg("a folder"));

    const QString foreign("Cannot replace out.mdb: it is neither empty nor an SQLite database");
    row("a text file", "echo notes > out.mdb", plain, foreign);
    row("shorter than a database header", "printf 'SQLite' > out.mdb", plain, foreign);

    const QString tooLong("line longer than 1048576 bytes, the longest line the importer reads");
    row("a device as the thesaurus", "", "lexigrove-import /dev/zero out.mdb",
        "/dev/zero:1: " + tooLong);
    row("an endless pipe", "", "yes | lexigrove-import /dev/stdin out.mdb",
        "/dev/stdin:1: unknown encoding y");
    row("an endless line in a pipe", "",
        "(echo UTF-8; tr '\\0' a < /dev/zero) | lexigrove-import /dev/stdin out.mdb",
        "/dev/stdin:2: " + tooLong);
    row("a device as the dictionary", "ln -s /dev/zero zero.dic && cp f.aff zero.aff",
        "lexigrove-import --hunspell zero.dic t.dat out.mdb", "zero.dic:1: " + tooLong);
    row("a device as the affix file", "ln -s /dev/zero zero.aff && cp f.dic zero.dic",
        "lexigrove-import --hunspell zero.dic t.dat out.mdb", "zero.aff:1: " + tooLong);
    row("a device as the word list", "",
        "lexigrove-import --hunspell f.dic --word-list /dev/zero t.dat out.mdb",
        "/dev/zero:1: " + tooLong);

    // The longest line counts its bytes without the line end.
    const auto longLine = [](int extra, const char* end) {
        return QStringLiteral(
                   "{ printf 'UTF-8\\nw|1\\n(noun)|'; head -c %1 /dev/zero | tr '\\0' a; "
                   "printf '%2'; } > t.dat")
            .arg(1048576 - 7 + extra)
            .arg(QLatin1StringView(end));
    };
    row("a line at the limit", longLine(0, "\\n"), plain, "wrote out.mdb: 1 headword");
    row("a line at the limit, CR LF", longLine(0, "\\r\\n"), plain, "wrote out.mdb: 1 headword");
    row("a last line at the limit", longLine(0, ""), plain, "wrote out.mdb: 1 headword");
    row("a line one byte over", longLine(1, "\\n"), plain, "t.dat:3: " + tooLong);
    row("a last line one byte over", longLine(1, ""), plain, "t.dat:3: " + tooLong);

    // A write refused by the system (a file size limit here) is told with the system's reason.
    row("a file size limit",
        "awk 'BEGIN { print \"UTF-8\"; for (i = 0; i < 40000; ++i) "
        "print \"w\" i \"|1\\n(noun)|a\" i \"|b\" }' > l.dat",
        "trap '' XFSZ; ulimit -f 64; lexigrove-import l.dat out.mdb",
        "out.mdb: disk I/O error (File too large)");

    // Written, even through a link to a database, and within the cap.
    const QString wrote("wrote out.mdb: 6 headwords");
    row("an empty file", ": > out.mdb", plain, wrote);
    row("a symbolic link to a database",
        "lexigrove-import lookup.dat db.mdb 2>/dev/null && ln -s db.mdb out.mdb", plain, wrote);
    row("a thesaurus within the cap", "", "lexigrove-import --hunspell f.dic t.dat out.mdb", wrote);
}

void TestImportRun::outputsAndInputs() {
    QFETCH(QString, setup);
    QFETCH(QString, command);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::pair<const char*, const char*> inputs[] = {{"mini_thesaurus.dat", "t.dat"},
                                                          {"forms.dic", "f.dic"},
                                                          {"forms.aff", "f.aff"},
                                                          {"forms.dic", "list.txt"},
                                                          {"lookup.dat", "lookup.dat"}};
    for (const auto& [from, to] : inputs)
        QVERIFY(QFile::copy(kData + u'/' + from, dir.filePath(to)));
    const Run prepared = shell(setup, dir.path());
    if (prepared.status != 0 && setup.startsWith(QLatin1String("mknod")))
        QSKIP("mknod needs root with CAP_MKNOD (the suite runs as root in CI)");
    QCOMPARE(prepared.status, 0);
    const QString before = snapshot(dir.path());
    const Run run = shell(kMemoryCap + command, dir.path());
    const bool wrote = message.startsWith(QLatin1String("wrote"));
    QCOMPARE(run.status, wrote ? 0 : 1);
    message = "lexigrove-import: " + message;
    QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
    if (!wrote) {
        QCOMPARE(snapshot(dir.path()), before);
    } else {
        QCOMPARE(count(dir.filePath("out.mdb"), "SELECT count(*) FROM headword"),
                 message.section(u' ', 3, 3).toInt());
        QCOMPARE(QFileInfo(dir.filePath("out.mdb")).isSymLink(), setup.contains("ln -s"));
    }
}

QTEST_GUILESS_MAIN(TestImportRun)
#include "test_importrun.moc"
