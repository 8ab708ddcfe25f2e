#include "AppError.h"
#include "CaseFold.h"
#include "DbConnection.h"
#include "FixtureDatabase.h"
#include "RecordSet.h"
#include "SynonymQuery.h"
#include "Thesaurus.h"

#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sqlite3.h>

namespace {
// Every row the query gives for a word: (word, synonym).
QList<QPair<QString, QString>> rowsFor(DbConnection& db, const QString& word) {
    QList<QPair<QString, QString>> rows;
    RecordSet rs;
    rs.Open(BuildSynonymQuery(word), db, RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
    for (; !rs.Eof(); rs.MoveNext())
        rows.append({rs.Field("word"), rs.Field("synonym")});
    rs.Close();
    return rows;
}

// The same rows straight from the engine, the query compiled as it is written.
QList<QPair<QString, QString>> plainRowsFor(sqlite3* db, const QString& sql, const char* a = "word",
                                            const char* b = "synonym") {
    QList<QPair<QString, QString>> rows;
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        return {{"prepare failed", sqlite3_errmsg(db)}};
    const auto column = [&](const char* name) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            if (!qstricmp(sqlite3_column_name(stmt, c), name))
                return QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
        return QStringLiteral("no column %1").arg(name);
    };
    while (sqlite3_step(stmt) == SQLITE_ROW)
        rows.append({column(a), column(b)});
    sqlite3_finalize(stmt);
    return rows;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The synonyms the program's own query gives for word, from a database the importer builds
// in folder out of the thesaurus bytes (and the form sources, when given). A row filed under
// anything but the word's key says so, which fails the comparison.
QStringList synonymsFrom(const QTemporaryDir& folder, const QByteArray& thesaurus,
                         const QString& word, const FormSources& forms = {}) {
    const QString dat = folder.filePath("thesaurus.dat");
    const QString mdb = folder.filePath("words.mdb");
    writeFile(dat, thesaurus);
    ImportThesaurus(dat, mdb, forms);
    DbConnection db;
    db.Open(DbConnection::ConnectionString(mdb));
    QStringList synonyms;
    for (const auto& row : rowsFor(db, word))
        synonyms << (row.first == WordKey(word) ? row.second
                                                : row.second + " filed under " + row.first);
    return synonyms;
}

QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& e) {
        return e.description();
    }
    return QString();
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void pathsAndConnectionString();
    void presence();
    void openAndClose();
    void openFailuresAreReadable();
    void quoting_data();
    void quoting();
    void recordSetReadsInThesaurusOrder();
    void recordSetMisuseFails();
    void onlyOneReadOnlyStatement();
    void hostileWords_data();
    void hostileWords();
    void unstorableWords();
    void keptStatementsAnswerAsWritten_data();
    void keptStatementsAnswerAsWritten();
    void fileChangedByOthersWhileOpen();
    void fieldsFoundAgainInAFileOpenedAnew();
    void queryWithoutView();
    void caseIgnoredBeyondAscii_data();
    void caseIgnoredBeyondAscii();
    void inflectedForms_data();
    void inflectedForms();

  private:
    QTemporaryDir dir_;
    QString dbPath_;
    DbConnection db_;
};

void TestDatabase::initTestCase() {
    QVERIFY(dir_.isValid());
    dbPath_ = BuildFixtureDatabase(dir_.path());
    db_.Open(DbConnection::ConnectionString(dbPath_));
    QCOMPARE(db_.State(), 1);
}

void TestDatabase::pathsAndConnectionString() {
    QCOMPARE(DbConnection::DatabasePath("/opt/lexigrove"), "/opt/lexigrove/words.mdb");
    QCOMPARE(DbConnection::ConnectionString("/opt/lexigrove/words.mdb"),
             "Provider=Microsoft.Jet.OLEDB.4.0;Data Source= /opt/lexigrove/words.mdb");
}

void TestDatabase::presence() {
    QVERIFY(DbConnection::DatabasePresent(dbPath_));
    QVERIFY(!DbConnection::DatabasePresent(dir_.filePath("missing.mdb")));
    QVERIFY(QDir(dir_.path()).mkdir("folder.mdb"));
    QVERIFY(!DbConnection::DatabasePresent(dir_.filePath("folder.mdb")));
    QVERIFY(QFile::link(dir_.filePath("nothing"), dir_.filePath("dangling.mdb")));
    QVERIFY(!DbConnection::DatabasePresent(dir_.filePath("dangling.mdb")));
    QVERIFY(QFile::copy(dbPath_, dir_.filePath(".hidden.mdb")));
    QVERIFY(!DbConnection::DatabasePresent(dir_.filePath(".hidden.mdb")));
}

void TestDatabase::openAndClose() {
    // A folder name with blanks and a semicolon still reaches the engine whole.
    QTemporaryDir odd(QDir::tempPath() + "/lexi grove;x-XXXXXX");
    QVERIFY(odd.isValid());
    const QString path = odd.filePath("words.mdb");
    QVERIFY(QFile::copy(dbPath_, path));

    DbConnection db;
    QCOMPARE(db.State(), 0);
    db.Close(); // closing a connection that never opened is harmless
    db.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=    " + path);
    QCOMPARE(db.State(), 1);
    QCOMPARE(rowsFor(db, "response").size(), 2);
    QVERIFY(failureOf([&] {
                db.Open(DbConnection::ConnectionString(path));
            }).contains("object is open"));
    db.Close();
    QCOMPARE(db.State(), 0);
    db.Close();
    QCOMPARE(db.State(), 0);
}

void TestDatabase::openFailuresAreReadable() {
    DbConnection db;
    const QString missing = dir_.filePath("nowhere/words.mdb");
    QString why = failureOf([&] { db.Open(DbConnection::ConnectionString(missing)); });
    QVERIFY2(why.contains(missing) && why.contains("unable to open"), qPrintable(why));
    QCOMPARE(db.State(), 0);

    const QString junk = dir_.filePath("junk.mdb");
    QFile f(junk);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("Standard Jet DB\0\0\0 not really", 30).repeated(200));
    f.close();
    why = failureOf([&] { db.Open(DbConnection::ConnectionString(junk)); });
    QVERIFY2(why.contains("is not a synonym database Lexigrove can read"), qPrintable(why));
    QCOMPARE(db.State(), 0);

    QVERIFY(!failureOf([&] { db.Open("Provider=Microsoft.Jet.OLEDB.4.0;"); }).isEmpty());
    QVERIFY(!failureOf([&] { db.Open("Provider=x;Data Source=   "); }).isEmpty());
}

void TestDatabase::quoting_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "look"
                           << "look";
    QTest::newRow("apostrophe") << "don't"
                                << "don''t";
    QTest::newRow("two apostrophes") << "a'b'c"
                                     << "a''b''c";
    QTest::newRow("apostrophes together") << "''"
                                          << "''''";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("others untouched") << R"(say "hi" 100% a*b \ _)"
                                      << R"(say "hi" 100% a*b \ _)";
    QTest::newRow("blanks kept") << "  look "
                                 << "  look ";
}

void TestDatabase::quoting() {
    QFETCH(QString, word);
    QFETCH(QString, quoted);
    QCOMPARE(QuoteSqlText(word), quoted);
    QCOMPARE(BuildSynonymQuery(word), "select * from qrySynonyms where word='" + quoted + "'");
    QCOMPARE(SynonymQueryText(quoted), BuildSynonymQuery(word));
}

void TestDatabase::recordSetReadsInThesaurusOrder() {
    const auto rows = rowsFor(db_, "look");
    QStringList synonyms;
    for (const auto& row : rows)
        synonyms << row.second;
    QCOMPARE(synonyms, QStringList({"expression", "aspect", "face", "appear", "seem"}));

    RecordSet rs;
    rs.Open(BuildSynonymQuery("LOOK"), db_, 3, 1);
    QCOMPARE(rs.State(), 1);
    QCOMPARE(rs.Field("SYNONYM"), "expression"); // field names ignore case
    QCOMPARE(rs.Field("pos"), "noun");
    QCOMPARE(rs.Field("relation"), "synonym");
    rs.Close();
    QCOMPARE(rs.State(), 0);
    // The same object serves the next word.
    rs.Open(BuildSynonymQuery("bare"), db_, 3, 1);
    QVERIFY(rs.Eof());
}

void TestDatabase::recordSetMisuseFails() {
    RecordSet rs;
    QVERIFY(failureOf([&] { rs.Eof(); }).contains("object is closed"));
    QVERIFY(failureOf([&] { rs.MoveNext(); }).contains("object is closed"));
    rs.Open(BuildSynonymQuery("response"), db_, 3, 1);
    QVERIFY(failureOf([&] { rs.Field("meaning"); }).contains("cannot be found"));
    QVERIFY(failureOf([&] {
                rs.Open(BuildSynonymQuery("look"), db_, 3, 1);
            }).contains("object is open"));
    rs.MoveNext();
    rs.MoveNext();
    QVERIFY(rs.Eof());
    QVERIFY(failureOf([&] { rs.Field("synonym"); }).contains("EOF"));
    QVERIFY(failureOf([&] { rs.MoveNext(); }).contains("EOF"));

    DbConnection closed;
    RecordSet other;
    QVERIFY(
        failureOf([&] { other.Open(BuildSynonymQuery("look"), closed, 3, 1); }).contains("closed"));
    QCOMPARE(other.State(), 0);
}

void TestDatabase::onlyOneReadOnlyStatement() {
    RecordSet rs;
    QVERIFY(!failureOf([&] { rs.Open("select 1; delete from headword", db_, 3, 1); }).isEmpty());
    QVERIFY(!failureOf([&] { rs.Open("delete from headword", db_, 3, 1); }).isEmpty());
    QVERIFY(!failureOf([&] { rs.Open("   ", db_, 3, 1); }).isEmpty());
    QCOMPARE(rs.State(), 0);
    QCOMPARE(rowsFor(db_, "look").size(), 5);
}

void TestDatabase::hostileWords_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("rows");
    QTest::newRow("apostrophe") << "don't" << 2;
    QTest::newRow("two apostrophes") << "a'b'c" << 1;
    QTest::newRow("upper case") << "LoOk" << 5;
    QTest::newRow("injection or") << "look' or '1'='1" << 0;
    QTest::newRow("injection comment") << "look'--" << 0;
    QTest::newRow("injection statement") << "x'; delete from synonym; --" << 0;
    QTest::newRow("double quote") << R"(say "hi")" << 1;
    QTest::newRow("lone double quote") << R"(")" << 0;
    QTest::newRow("percent") << "100%" << 2;
    QTest::newRow("percent alone") << "%" << 0;
    QTest::newRow("asterisk") << "a*b" << 1;
    QTest::newRow("asterisk alone") << "*" << 0;
    QTest::newRow("underscore") << "_ook" << 0;
    QTest::newRow("semicolon") << "look;" << 0;
    QTest::newRow("dashes") << "--" << 0;
    QTest::newRow("parameter marks") << "?1 :a @b $c" << 0;
    QTest::newRow("tab and bell") << "look\t\a" << 0;
    QTest::newRow("backslash") << R"(back\slash)" << 1;
    QTest::newRow("control character") << QString("look") + QChar(1) << 0;
    QTest::newRow("line feed") << "look\n" << 0;
    QTest::newRow("trailing blank") << "look " << 0;
    QTest::newRow("latin accent") << "café" << 2;
    QTest::newRow("cyrillic") << "кот" << 1;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("headword without synonyms") << "bare" << 0;
    QTest::newRow("megabyte") << QString(1 << 20, u'x') << 0;
    QTest::newRow("megabyte of apostrophes") << QString(1 << 20, u'\'') << 0;
}

void TestDatabase::hostileWords() {
    QFETCH(QString, word);
    QFETCH(int, rows);
    const auto found = rowsFor(db_, word);
    QCOMPARE(found.size(), rows);
    // The statement kept from an earlier word answers as the query compiled anew would.
    QCOMPARE(rowsFor(db_, word), found);
    QCOMPARE(plainRowsFor(db_.handle(), BuildSynonymQuery(word)), found);
    for (const auto& row : found)
        QVERIFY2(EqualIgnoringCase(row.first, word), qPrintable(row.first));
}

void TestDatabase::unstorableWords() {
    // Words the database cannot hold are refused with a reason, never cut
    // short into another word's query.
    RecordSet rs;
    QVERIFY(failureOf([&] {
                rs.Open(BuildSynonymQuery(QString("look") + QChar(0) + "x"), db_, 3, 1);
            }).contains("NUL"));
    QVERIFY(failureOf([&] {
                rs.Open(BuildSynonymQuery(QString(QChar(0xD800)) + "ook"), db_, 3, 1);
            }).contains("surrogate"));
    QCOMPARE(rs.State(), 0);
}

void TestDatabase::keptStatementsAnswerAsWritten_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("field");
    QTest::newRow("the lookup") << "select * from qrySynonyms where word='LOOK'"
                                << "synonym";
    QTest::newRow("doubled quote") << "select 'it''s' as v"
                                   << "v";
    QTest::newRow("value as column name") << "select 'x', 'y' as v"
                                          << "'x'";
    QTest::newRow("blob") << "select x'41' as v where 'a' = 'a'"
                          << "v";
    QTest::newRow("quote in a comment")
        << "select synonym from qrySynonyms where word = 'look' -- it's\n"
        << "synonym";
    QTest::newRow("quoted names") << "select \"word\" as [it's] from qrySynonyms where "
                                     "`word` = 'don''t'"
                                  << "it's";
    QTest::newRow("string as table name") << "select * from 'qrySynonyms' where word='look'"
                                          << "synonym";
}

void TestDatabase::keptStatementsAnswerAsWritten() {
    QFETCH(QString, sql);
    QFETCH(QString, field);
    const auto read = [&] {
        QList<QPair<QString, QString>> rows;
        RecordSet rs;
        rs.Open(sql, db_, 3, 1);
        for (; !rs.Eof(); rs.MoveNext())
            rows.append({rs.Field(field), rs.Field(field)});
        return rows;
    };
    const auto plain = plainRowsFor(db_.handle(), sql, qPrintable(field), qPrintable(field));
    QVERIFY(!plain.isEmpty());
    QCOMPARE(read(), plain);
    QCOMPARE(read(), plain); // from the kept statement, where there is one
}

void TestDatabase::fileChangedByOthersWhileOpen() {
    QTemporaryDir other;
    const QString path = other.filePath("words.mdb");
    QVERIFY(QFile::copy(dbPath_, path));
    QVERIFY(QDir(other.path()).mkdir("new"));
    const QString replacement = BuildFixtureDatabase(other.filePath("new"), "mini_thesaurus.dat");
    DbConnection db;
    db.Open(DbConnection::ConnectionString(path));
    QCOMPARE(rowsFor(db, "look").size(), 5);

    // Replaced in place, as cp does: the next query reads the new file, even
    // though both carry the same change counter. A moment passes first, as it
    // does between start-up and a cp, so that the file's time tells them apart.
    QTest::qSleep(30);
    QFile source(replacement), target(path);
    QVERIFY(source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly));
    QVERIFY(target.write(source.readAll()) > 0);
    target.close();
    QCOMPARE(rowsFor(db, "look").size(), 0);
    QVERIFY(rowsFor(db, "happy").size() > 3);

    // Written by another program between queries: never locked by this one.
    sqlite3* writer = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &writer), SQLITE_OK);
    const int rc = sqlite3_exec(writer, "begin immediate; create table scratch(x); commit", nullptr,
                                nullptr, nullptr);
    const QString why = QString::fromUtf8(sqlite3_errmsg(writer));
    sqlite3_close(writer);
    QVERIFY2(rc == SQLITE_OK, qPrintable(why));
    QVERIFY(rowsFor(db, "happy").size() > 3);
}

void TestDatabase::fieldsFoundAgainInAFileOpenedAnew() {
    QTemporaryDir other;
    const QString path = other.filePath("words.mdb");
    // The same view, its columns in another order in the file that replaces it.
    const auto write = [&](const char* view) {
        QFile::remove(path);
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw, view, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    };
    write("create view qrySynonyms as select 'look' as word, 'see' as synonym");
    DbConnection db;
    db.Open(DbConnection::ConnectionString(path));
    RecordSet rs;
    const auto synonymOfLook = [&] {
        rs.Open(BuildSynonymQuery("look"), db, 3, 1);
        const QString synonym = rs.Field("synonym");
        rs.Close();
        return synonym;
    };
    QCOMPARE(synonymOfLook(), QStringLiteral("see"));
    QTest::qSleep(30); // so that the file's time tells the two apart
    write("create view qrySynonyms as select 'watch' as synonym, 'look' as word");
    QCOMPARE(synonymOfLook(), QStringLiteral("watch"));
}

void TestDatabase::queryWithoutView() {
    QTemporaryDir other;
    const QString path = other.filePath("words.mdb");
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    QCOMPARE(sqlite3_exec(raw, "create table t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    DbConnection db;
    db.Open(DbConnection::ConnectionString(path));
    RecordSet rs;
    const QString why = failureOf([&] { rs.Open(BuildSynonymQuery("look"), db, 3, 1); });
    QVERIFY2(why.contains("no such table: qrySynonyms"), qPrintable(why));
    QCOMPARE(rs.State(), 0);
}

void TestDatabase::caseIgnoredBeyondAscii_data() {
    QTest::addColumn<QByteArray>("thesaurus");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("synonyms");

    // Source text is UTF-8, so these literals are the file's bytes.
    const QByteArray utf8 = "UTF-8\nété|1\n(nom)|saison\n"
                            "ÉCOLE|1\n(nom)|lycée\n"
                            "\u212Aelvin|1\n(noun)|unit\n" // Kelvin sign
                            "straße|1\n(Nomen)|Gasse\n"
                            "\U00010428|1\n(noun)|deseret\n"
                            "\uFF41|1\n(noun)|fullwidth\n"
                            "λόγος|1\n(noun)|word\n";
    QTest::newRow("UTF-8, typed in upper case") << utf8 << "ÉTÉ" << QStringList{"saison"};
    QTest::newRow("UTF-8, capital only") << utf8 << "Été" << QStringList{"saison"};
    QTest::newRow("UTF-8, headword in upper case") << utf8 << "école" << QStringList{"lycée"};
    QTest::newRow("accents still count") << utf8 << "ete" << QStringList{};
    QTest::newRow("Kelvin sign folds to k") << utf8 << "KELVIN" << QStringList{"unit"};
    QTest::newRow("capital sharp s") << utf8 << "STRAẞE" << QStringList{"Gasse"};
    QTest::newRow("sharp s is not ss") << utf8 << "STRASSE" << QStringList{};
    QTest::newRow("beyond 16 bits") << utf8 << "𐐀" << QStringList{"deseret"};
    QTest::newRow("fullwidth") << utf8 << "Ａ" << QStringList{"fullwidth"};
    QTest::newRow("final sigma") << utf8 << "ΛΌΓΟΣ" << QStringList{"word"};
    QTest::newRow("ISO8859-1") << QByteArray("ISO8859-1\n\xE9t\xE9|1\n(nom)|saison\n") << "ÉTÉ"
                               << QStringList{"saison"};
    // Text from some systems arrives decomposed: a letter, then its combining accent.
    QTest::newRow("decomposed input") << utf8 << "e\u0301cole" << QStringList{"lycée"};
    QTest::newRow("decomposed upper case") << utf8 << "E\u0301TE\u0301" << QStringList{"saison"};
    QTest::newRow("decomposed headword") << QByteArray("UTF-8\nnai\xCC\x88ve|1\n(adj)|innocent\n")
                                         << "NAÏVE" << QStringList{"innocent"};
    QTest::newRow("a combining accent alone is no letter")
        << utf8 << "\u0301ecole" << QStringList{};
    const QByteArray cp1251("microsoft-cp1251\n\xCA\xEE\xF2|1\n(noun)|\xEA\xEE\xF8\xEA\xE0\n");
    QTest::newRow("microsoft-cp1251, upper case") << cp1251 << "КОТ" << QStringList{"кошка"};
    QTest::newRow("microsoft-cp1251, lower case") << cp1251 << "кот" << QStringList{"кошка"};
}

void TestDatabase::caseIgnoredBeyondAscii() {
    QFETCH(QByteArray, thesaurus);
    QFETCH(QString, word);
    QFETCH(QStringList, synonyms);
    QTemporaryDir folder;
    QCOMPARE(synonymsFrom(folder, thesaurus, word), synonyms);

    // Still one index search, and the index is in order under the program's comparison: the
    // keys above mix ASCII, two-byte, three-byte and four-byte UTF-8.
    DbConnection db;
    db.Open(DbConnection::ConnectionString(folder.filePath("words.mdb")));
    RecordSet rs;
    rs.Open("explain query plan " + BuildSynonymQuery(word), db, 3, 1);
    QVERIFY(rs.Field("detail").startsWith("SEARCH f USING PRIMARY KEY (key=?)"));
    rs.Close();
    rs.Open("pragma integrity_check", db, 3, 1);
    QCOMPARE(rs.Field("integrity_check"), "ok");
}

void TestDatabase::inflectedForms_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("synonyms");
    QTest::newRow("past tense") << "LOOKED" << QStringList{"appear", "seem"};
    QTest::newRow("headword itself") << "look" << QStringList{"appear", "seem"};
    QTest::newRow("a form that is a headword keeps its own")
        << "Looks" << QStringList{"appearance"};
    QTest::newRow("comparative") << "happier" << QStringList{"glad"};
    QTest::newRow("prefix changes the meaning") << "unhappier" << QStringList{};
    QTest::newRow("base is not a headword") << "advantages" << QStringList{};
    QTest::newRow("not in the word list") << "looker" << QStringList{};
    QTest::newRow("Latin-1 dictionary, non-ASCII form") << "CAFÉS" << QStringList{"bistro"};
}

void TestDatabase::inflectedForms() {
    QFETCH(QString, word);
    QFETCH(QStringList, synonyms);
    QTemporaryDir folder;
    // A dictionary in Latin-1, as many Hunspell dictionaries are; the word list is UTF-8.
    writeFile(folder.filePath("tiny.aff"), "SET ISO8859-1\n"
                                           "PFX U Y 1\nPFX U 0 un .\n"
                                           "SFX D Y 2\nSFX D 0 d e\nSFX D 0 ed [^e]\n"
                                           "SFX R Y 2\nSFX R y ier y\nSFX R 0 er [^y]\n"
                                           "SFX S Y 1\nSFX S 0 s .\n");
    writeFile(folder.filePath("tiny.dic"), "4\nlook/DSR\nhappy/UR\nadvantage/S\ncaf\xE9/S\n");
    writeFile(folder.filePath("words.txt"),
              "looked\nlooks\r\nhappier\nunhappier\nadvantages\ncaf\xC3\xA9s\n\n");
    const QByteArray thesaurus("UTF-8\nlook|1\n(verb)|appear|seem\nlooks|1\n(noun)|appearance\n"
                               "happy|1\n(adj)|glad\ncaf\xC3\xA9|1\n(noun)|bistro\n");
    const FormSources forms{folder.filePath("tiny.dic"), folder.filePath("words.txt")};
    QCOMPARE(synonymsFrom(folder, thesaurus, word, forms), synonyms);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
