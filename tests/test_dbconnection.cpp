// SPDX-License-Identifier: GPL-3.0-or-later
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
// The query a lookup run sends for a word.
QString queryFor(const QString& word) {
    WordQuery query;
    query.build(word);
    return QString::fromUtf8(query.text());
}

// Every row the query gives for a word: (word, synonym).
QList<QPair<QString, QString>> rowsFor(DbConnection& db, const QString& word) {
    QList<QPair<QString, QString>> rows;
    RecordSet rs;
    rs.Open(queryFor(word), db, RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
    for (; !rs.Eof(); rs.MoveNext())
        rows.append({rs.Field("word"), rs.Field("synonym")});
    rs.Close();
    return rows;
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void pathsAndConnectionString();
    void openAndClose();
    void connectionStringWithoutSource();
    void quoting_data();
    void quoting();
    void recordSetReadsInThesaurusOrder();
    void recordSetMisuseFails();
    void hostileWords_data();
    void hostileWords();
    void unstorableWords();
    void fieldsFoundAgainInAFileOpenedAnew();
    void queryWithoutView();

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

void TestDatabase::connectionStringWithoutSource() {
    DbConnection db;
    QVERIFY(!failureOf([&] { db.Open("Provider=Microsoft.Jet.OLEDB.4.0;"); }).isEmpty());
    QVERIFY(!failureOf([&] { db.Open("Provider=x;Data Source=   "); }).isEmpty());
    QCOMPARE(db.State(), 0);
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
    QTest::newRow("beyond ASCII") << QString::fromUtf8("l'\u00e9t\u00e9 \U0001F600'")
                                  << QString::fromUtf8("l''\u00e9t\u00e9 \U0001F600''");
}

void TestDatabase::quoting() {
    QFETCH(QString, word);
    QFETCH(QString, quoted);
    // Built over whatever the buffer held.
    QByteArray utf8 = "a longer query left from the word before";
    BuildSynonymQueryUtf8(utf8, word.toUtf8());
    QCOMPARE(utf8, ("select * from qrySynonyms where word='" + quoted + "'").toUtf8());
}

void TestDatabase::recordSetReadsInThesaurusOrder() {
    const auto rows = rowsFor(db_, "look");
    QStringList synonyms;
    for (const auto& row : rows)
        synonyms << row.second;
    QCOMPARE(synonyms, QStringList({"expression", "aspect", "face", "appear", "seem"}));

    RecordSet rs;
    rs.Open(queryFor("LOOK"), db_, 3, 1);
    QCOMPARE(rs.State(), 1);
    QCOMPARE(rs.Field("SYNONYM"), "expression"); // field names ignore case
    QCOMPARE(rs.Field("pos"), "noun");
    QCOMPARE(rs.Field("relation"), "synonym");
    rs.Close();
    QCOMPARE(rs.State(), 0);
    // The same object serves the next word.
    rs.Open(queryFor("bare"), db_, 3, 1);
    QVERIFY(rs.Eof());
}

void TestDatabase::recordSetMisuseFails() {
    RecordSet rs;
    QVERIFY(failureOf([&] { rs.Eof(); }).contains("object is closed"));
    QVERIFY(failureOf([&] { rs.MoveNext(); }).contains("object is closed"));
    rs.Open(queryFor("response"), db_, 3, 1);
    QVERIFY(failureOf([&] { rs.Field("meaning"); }).contains("cannot be found"));
    QVERIFY(failureOf([&] { rs.Open(queryFor("look"), db_, 3, 1); }).contains("object is open"));
    rs.MoveNext();
    rs.MoveNext();
    QVERIFY(rs.Eof());
    QVERIFY(failureOf([&] { rs.Field("synonym"); }).contains("EOF"));
    QVERIFY(failureOf([&] { rs.MoveNext(); }).contains("EOF"));

    DbConnection closed;
    RecordSet other;
    QVERIFY(failureOf([&] { other.Open(queryFor("look"), closed, 3, 1); }).contains("closed"));
    QCOMPARE(other.State(), 0);
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
    QCOMPARE(plainRowsFor(db_.handle(), queryFor(word)), found);
    for (const auto& row : found)
        QVERIFY2(EqualIgnoringCase(row.first, word), qPrintable(row.first));
}

void TestDatabase::unstorableWords() {
    // Words the database cannot hold are refused with a reason, never cut
    // short into another word's query.
    RecordSet rs;
    QVERIFY(failureOf([&] {
                rs.Open(queryFor(QString("look") + QChar(0) + "x"), db_, 3, 1);
            }).contains("NUL"));
    QVERIFY(failureOf([&] {
                rs.Open(QString(QChar(0xD800)) + "ook", db_, 3, 1);
            }).contains("surrogate"));
    QCOMPARE(rs.State(), 0);
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
        rs.Open(queryFor("look"), db, 3, 1);
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
    const QString why = failureOf([&] { rs.Open(queryFor("look"), db, 3, 1); });
    QVERIFY2(why.contains("no such table: qrySynonyms"), qPrintable(why));
    QCOMPARE(rs.State(), 0);
}





QTEST_GUILESS_MAIN(TestDatabase)
#include "test_dbconnection.moc"
