#include "Thesaurus.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <map>
#include <sqlite3.h>

namespace {

const QString kData = QStringLiteral(LEXIGROVE_TEST_DATA);
const QString kImporter = QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove-import");
const QString kMythes = QStringLiteral("/usr/share/mythes");
const QString kHunspell = QStringLiteral("/usr/share/hunspell");

// Headwords with one synonym each, enough for the forms to be filed under them.
std::vector<ThesaurusEntry> entriesFor(const QStringList& headwords) {
    std::vector<ThesaurusEntry> entries;
    for (const QString& headword : headwords) {
        entries.push_back(
            ThesaurusEntry{headword,
                           {ThesaurusSynonym{QStringLiteral("x"), QStringLiteral("noun"),
                                             QStringLiteral("synonym"), QString(), 1, true}}});
    }
    return entries;
}

// The headword keys each form key is filed under.
std::map<QString, QStringList> basesByForm(const std::vector<InflectedForm>& forms) {
    std::map<QString, QStringList> bases;
    for (const InflectedForm& form : forms)
        bases[form.key] << form.baseKey;
    return bases;
}

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
    const auto entries = entriesFor({"city", "bake", "walk", "walks", "casa", "casar", "Haus",
                                     "walker", "walk/run", "kot", "łoś"});
    const auto forms = FindInflectedForms(entries, FormSources{kData + u'/' + dictionary, {}});
    const auto found = basesByForm(forms);
    const auto it = found.find(WordKey(form));
    QCOMPARE(it == found.end() ? QStringList() : it->second, bases);
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
        QSKIP("dictionary not installed (scripts/bootstrap.sh installs it)");
    const auto found = basesByForm(FindInflectedForms(entriesFor(headwords), FormSources{dic, {}}));
    const auto it = found.find(WordKey(form));
    QCOMPARE(it == found.end() ? QStringList() : it->second, bases);
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
}

void TestImportRun::formLimit() {
    QFETCH(QString, language);
    QFETCH(QString, thesaurus);
    QFETCH(QString, oneSuffix);
    QFETCH(QString, twoSuffixes);
    const QString dic = kHunspell + u'/' + language + QStringLiteral(".dic");
    const QString dat = kMythes + u'/' + thesaurus;
    if (!QFileInfo::exists(dic) || !QFileInfo::exists(dat))
        QSKIP("thesaurus or dictionary not installed (scripts/bootstrap.sh installs them)");
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
        QSKIP("no mythes-* thesaurus installed (scripts/bootstrap.sh installs them)");
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

QTEST_GUILESS_MAIN(TestImportRun)
#include "test_importrun.moc"
