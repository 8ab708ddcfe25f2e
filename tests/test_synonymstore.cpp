// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "CaseFold.h"
#include "FixtureDatabase.h"
#include "FormFixtures.h"
#include "MeaningFilter.h"
#include "ReadLock.h"
#include "StatementCache.h"
#include "SynonymStore.h"
#include "WordRecords.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sqlite3.h>

namespace {
using Row = QList<QByteArray>;

// Each record of the word as "synonym pos relation sense", the fields it leaves empty out.
QStringList recordsOf(WordRecords& lookup, QByteArrayView word) {
    QStringList got;
    lookup.start(word);
    for (SynonymRecord record; lookup.next(record);) {
        QByteArrayList fields{record.synonym.toByteArray()};
        for (const QByteArrayView field : {record.pos, record.relation, record.sense})
            if (!field.isEmpty())
                fields << field.toByteArray();
        got << QString::fromUtf8(fields.join(' '));
    }
    return got;
}

// Every row, each field as the database's own UTF-8.
QList<Row> drain(SynonymStore::Rows& rows) {
    QList<Row> all;
    for (; !rows.atEnd(); rows.next()) {
        Row row;
        for (int c = 0; c < rows.columnCount(); ++c)
            row << rows.text(c).toByteArray();
        all << row;
    }
    return all;
}

QByteArray quoted(QByteArray word) {
    return "'" + word.replace("'", "''") + "'";
}

// The SQL text the window sends for a word.
QByteArray queryFor(const QString& word) {
    return "select * from qrySynonyms where word=" + quoted(word.toUtf8());
}

// Two named fields of every row of an SQL text run through the store.
QList<QPair<QString, QString>> fieldRows(SynonymStore& store, const QByteArray& sql,
                                         const QString& a, const QString& b) {
    SynonymStore::Rows rows;
    store.run(rows, sql);
    const auto column = [&](const QString& name) {
        for (int c = 0; c < rows.columnCount(); ++c)
            if (!QAnyStringView::compare(name, QUtf8StringView(rows.columnName(c)),
                                         Qt::CaseInsensitive))
                return c;
        return -1;
    };
    const int columnA = column(a), columnB = column(b);
    QList<QPair<QString, QString>> all;
    for (; !rows.atEnd(); rows.next())
        all.append({QString::fromUtf8(rows.text(columnA)), QString::fromUtf8(rows.text(columnB))});
    return all;
}

// Every row the window's query gives for a word: (word, synonym).
QList<QPair<QString, QString>> rowsFor(SynonymStore& store, const QString& word) {
    return fieldRows(store, queryFor(word), "word", "synonym");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The synonyms the window's query gives for word, from a database the importer builds
// in folder out of the thesaurus bytes (and the form sources, when given). A row filed under
// anything but the word's key says so, which fails the comparison.
QStringList synonymsFrom(const QTemporaryDir& folder, const QByteArray& thesaurus,
                         const QString& word, const FormSources& forms = {}) {
    const QString dat = folder.filePath("thesaurus.dat");
    const QString mdb = folder.filePath("words.mdb");
    writeFile(dat, thesaurus);
    ImportThesaurus(dat, mdb, forms);
    SynonymStore store;
    store.open(mdb);
    QStringList synonyms;
    for (const auto& row : rowsFor(store, word))
        synonyms << (row.first == WordKey(word) ? row.second
                                                : row.second + " filed under " + row.first);
    return synonyms;
}

// Whether another program can write the file now, without waiting.
bool writerGetsIn(const QString& path) {
    sqlite3* writer = nullptr;
    sqlite3_open(path.toUtf8().constData(), &writer);
    const bool in = sqlite3_exec(writer, "begin immediate; create table if not exists scratch(x); "
                                         "commit",
                                 nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_exec(writer, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    return in;
}
} // namespace

class TestSynonymStore : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void presence();
    void openFailuresAreReadable();
    void onlyOneReadOnlyStatement();
    void keptStatementsAnswerAsWritten_data();
    void keptStatementsAnswerAsWritten();
    void fileChangedByOthersWhileOpen();
    void caseIgnoredBeyondAscii_data();
    void caseIgnoredBeyondAscii();
    void inflectedForms_data();
    void inflectedForms();
    void boundWordFindsTheRowsOfTheText_data();
    void boundWordFindsTheRowsOfTheText();
    void comparisonFoldsOnlyWhereItMatters_data();
    void comparisonFoldsOnlyWhereItMatters();
    void shapeOfQuery_data();
    void shapeOfQuery();
    void shapeOfTheNextQuery_data();
    void shapeOfTheNextQuery();
    void readLockReleasedBeforeWaiting();
    void views();
    void unknownMeaningIsNamed();
    void wordRecords_data();
    void wordRecords();
    void formsThroughMarkedPrefixes_data();
    void formsThroughMarkedPrefixes();
    void filterValues_data();
    void filterValues();
    void vocabularyValueKeepsNothing();

  private:
    QTemporaryDir dir_;
    QString path_;
    SynonymStore store_;
};

void TestSynonymStore::initTestCase() {
    QVERIFY(dir_.isValid());
    path_ = BuildFixtureDatabase(dir_.path());
    store_.open(path_);
    QVERIFY(store_.isOpen());
}

void TestSynonymStore::boundWordFindsTheRowsOfTheText_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<bool>("found");
    QTest::newRow("headword") << QByteArray("look") << true;
    QTest::newRow("upper case") << QByteArray("LOOK") << true;
    QTest::newRow("apostrophe") << QByteArray("don't") << true;
    QTest::newRow("folded beyond ASCII") << QByteArray("CAFÉ") << true;
    QTest::newRow("decomposed, composed by the comparison") << QByteArray("cafe\xCC\x81") << true;
    QTest::newRow("Cyrillic upper case") << QByteArray("КОТ") << true;
    QTest::newRow("not there") << QByteArray("zzyzx") << false;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("like pattern is no pattern") << QByteArray("lo%") << false;
}

void TestSynonymStore::boundWordFindsTheRowsOfTheText() {
    QFETCH(QByteArray, word);
    QFETCH(bool, found);
    for (const auto& [view, columns, name] :
         {std::tuple{SynonymStore::View::Synonyms, "synonym, pos, relation", "qrySynonyms"},
          std::tuple{SynonymStore::View::SynonymsAlone, "synonym", "qrySynonyms"},
          std::tuple{SynonymStore::View::Relations, "synonym, pos, relation, sense, note",
                     "qryRelations"}}) {
        SynonymStore::Rows bound, text;
        store_.lookUp(bound, word, view);
        const QList<Row> direct = drain(bound);
        store_.run(text, QByteArray("select ") + columns + " from " + name + " where word=" +
                             quoted(word));
        QCOMPARE(direct, drain(text));
        QCOMPARE(!direct.isEmpty(), found);
        // Again, from the kept statement.
        store_.lookUp(bound, word, view);
        QCOMPARE(drain(bound), direct);
    }
}

void TestSynonymStore::comparisonFoldsOnlyWhereItMatters_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("ASCII case") << "Look" << "lOOK" << 0;
    QTest::newRow("ASCII order") << "look" << "LOOM" << -1;
    QTest::newRow("prefix") << "loo" << "look" << -1;
    QTest::newRow("letters after the ASCII ones") << "look" << "lookä" << -1;
    QTest::newRow("accent composed with the letter that differs") << "e\u0301" << "f" << 1;
    QTest::newRow("accent composed with the last letter") << "e" << "e\u0301" << -1;
    QTest::newRow("decomposed equals composed") << "E\u0301TE\u0301" << "été" << 0;
    QTest::newRow("Kelvin sign") << "\u212Aelvin" << "kelvin" << 0;
    QTest::newRow("difference before an accent elsewhere") << "ab\u0301" << "ac" << -1;
    QTest::newRow("Cyrillic") << "КОТ" << "кот" << 0;
    QTest::newRow("case past eight letters") << "Lookingglass" << "lOOKINGGLASS" << 0;
    QTest::newRow("order past eight letters") << "lookingglass" << "LOOKINGGLAST" << -1;
    QTest::newRow("case in the first eight letters") << "LoOkingglasses" << "lOoKINGGLASSES" << 0;
    QTest::newRow("order in the first eight letters") << "lookinGglass" << "LOOKINHGLASS" << -1;
    QTest::newRow("accent past eight letters") << "lookingglE\u0301" << "lookingglé" << 0;
}

void TestSynonymStore::comparisonFoldsOnlyWhereItMatters() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    SynonymStore::Rows rows;
    const QByteArray sql = "select case when " + quoted(a.toUtf8()) + " collate nocase < " +
                           quoted(b.toUtf8()) + " then -1 when " + quoted(a.toUtf8()) +
                           " collate nocase = " + quoted(b.toUtf8()) + " then 0 else 1 end";
    store_.run(rows, sql);
    QCOMPARE(rows.text(0).toInt(), order);
}

void TestSynonymStore::shapeOfQuery_data() {
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("values");
    QTest::addColumn<bool>("usable");
    QTest::newRow("the lookup") << QByteArray("select * from qrySynonyms where word='don''t'")
                                << QByteArray("select * from qrySynonyms where word=?1")
                                << QList<QByteArray>{"don't"} << true;
    QTest::newRow("two values") << QByteArray("select 'a', 'b'") << QByteArray("select ?1, ?2")
                                << QList<QByteArray>{"a", "b"} << true;
    QTest::newRow("blob and comment kept")
        << QByteArray("select x'41' -- it's\n, 'v'") << QByteArray("select x'41' -- it's\n, ?1")
        << QList<QByteArray>{"v"} << true;
    QTest::newRow("quoted names kept") << QByteArray("select [it's], \"a'b\" where 'w'")
                                       << QByteArray("select [it's], \"a'b\" where ?1")
                                       << QList<QByteArray>{"w"} << true;
    QTest::newRow("no values") << QByteArray("select 1") << QByteArray("select 1")
                               << QList<QByteArray>{} << false;
    QTest::newRow("parameter of its own")
        << QByteArray("select ?, 'a'") << QByteArray("select ") << QList<QByteArray>{} << false;
}

void TestSynonymStore::shapeOfQuery() {
    QFETCH(QByteArray, sql);
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, values);
    QFETCH(bool, usable);
    const QueryShape shape = ShapeOfQuery(sql);
    QCOMPARE(shape.usable, usable);
    if (usable) {
        QCOMPARE(shape.text, text);
        QCOMPARE(shape.values, values);
    }
}

void TestSynonymStore::shapeOfTheNextQuery_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("next");
    const QByteArray lookup = "select * from qrySynonyms where word='look'";
    const QByteArray head = "select * from qrySynonyms where word=";
    QTest::newRow("another word") << lookup << head + "'ab'";
    QTest::newRow("doubled quotes") << lookup << head + "'it''s '''";
    QTest::newRow("empty value") << lookup << head + "''";
    QTest::newRow("a quote not doubled ends the value early") << lookup << head + "'a' or 'b'";
    QTest::newRow("a lone quote") << lookup << head + "'''";
    QTest::newRow("other text after") << lookup << head + "'a' ";
    QTest::newRow("other text before") << lookup << head + " 'a'";
    QTest::newRow("value after a comment") << QByteArray("select 1 -- 'x'\n where 'y' > 0")
                                           << QByteArray("select 1 -- 'x'\n where 'z''' > 0");
    QTest::newRow("after two values")
        << QByteArray("select 'a', 'b'") << QByteArray("select 'a', 'c'");
    QTest::newRow("after none") << QByteArray("select 1") << QByteArray("select 1");
}

void TestSynonymStore::shapeOfTheNextQuery() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, next);
    QueryShaper shaper;
    shaper.shapeOf(first);
    const QueryShape& shape = shaper.shapeOf(next);
    const QueryShape expected = ShapeOfQuery(next);
    QCOMPARE(shape.usable, expected.usable);
    QCOMPARE(shape.text, expected.text);
    QCOMPARE(shape.values, expected.values);
}

void TestSynonymStore::readLockReleasedBeforeWaiting() {
    QTemporaryDir other;
    const QString path = BuildFixtureDatabase(other.path());
    SynonymStore store;
    store.open(path);
    ReadLock lock(store);
    SynonymStore::Rows rows;
    lock.hold();
    store.lookUp(rows, "look", SynonymStore::View::Synonyms);
    rows.close();
    // Held across words: a writer cannot get in between them.
    QVERIFY(!writerGetsIn(path));
    // Given up before the loop waits for more words: the writer is let in.
    lock.release();
    QVERIFY(writerGetsIn(path));
    lock.hold();
    store.lookUp(rows, "look", SynonymStore::View::Synonyms);
    QVERIFY(!rows.atEnd());
}

void TestSynonymStore::views() {
    QVERIFY(store_.holdsRelations());
    store_.requireSynonymView();

    QTemporaryDir other;
    const QString path = other.filePath("words.mdb");
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    QCOMPARE(sqlite3_exec(raw, "create view qrySynonyms as select 'a' as word, 'b' as synonym",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(raw);
    SynonymStore store;
    store.open(path);
    QVERIFY(!store.holdsRelations());
    try {
        store.requireSynonymView();
        QFAIL("a view without pos and relation was taken");
    } catch (const AppError& error) {
        QCOMPARE(error.description(),
                 "it is not a synonym database: it needs a view qrySynonyms with the fields "
                 "word, synonym, pos and relation (no such column: pos).");
    }
}

void TestSynonymStore::unknownMeaningIsNamed() {
    try {
        MeaningFilter filter(store_, {"noun", "gerund"}, {}, "qrySynonyms");
        QFAIL("an unknown part of speech was taken");
    } catch (const UnknownKind& unknown) {
        QVERIFY2(unknown.text.startsWith("--pos: this database holds no part of speech 'gerund'; "
                                         "it holds: noun"),
                 qPrintable(unknown.text));
    }
    const MeaningFilter nouns(store_, {"noun"}, {}, "qrySynonyms");
    QVERIFY(nouns.active());
    QVERIFY(nouns.keeps("adj noun", "synonym"));
    QVERIFY(!nouns.keeps("pronoun", "synonym"));
    QVERIFY(!nouns.keeps("noun", "antonym"));
}

void TestSynonymStore::wordRecords_data() {
    QTest::addColumn<bool>("meanings");
    QTest::addColumn<QStringList>("pos");
    QTest::addColumn<QStringList>("relations");
    QTest::addColumn<QStringList>("records");
    QTest::newRow("synonyms") << false << QStringList() << QStringList() << QStringList{"a", "c"};
    // Read from the meanings, where "a" stands twice: shown once all the same.
    QTest::newRow("synonyms of two parts of speech, each once")
        << false << QStringList{"noun", "verb"} << QStringList()
        << QStringList{"a noun synonym", "c verb synonym"};
    QTest::newRow("every meaning") << true << QStringList() << QStringList()
                                   << QStringList{"a noun synonym 1", "a verb synonym 2",
                                                  "c verb synonym 2"};
    QTest::newRow("antonyms when asked for")
        << true << QStringList() << QStringList{"antonym"} << QStringList{"b noun antonym 1"};
}

void TestSynonymStore::wordRecords() {
    QFETCH(bool, meanings);
    QFETCH(QStringList, pos);
    QFETCH(QStringList, relations);
    QFETCH(QStringList, records);
    QTemporaryDir dir;
    writeFile(dir.filePath("th_en.dat"), "UTF-8\nw|2\n(noun)|a|b (antonym)\n(verb)|a|c\n");
    ImportThesaurus(dir.filePath("th_en.dat"), dir.filePath("words.mdb"));
    SynonymStore store;
    store.open(dir.filePath("words.mdb"));
    WordRecords lookup(store, meanings, pos, relations);
    QStringList got;
    // Twice: nothing of one lookup stays for the next.
    for (int round = 0; round < 2; ++round)
        got = recordsOf(lookup, "W");
    QCOMPARE(got, records);
}

void TestSynonymStore::formsThroughMarkedPrefixes_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<bool>("meanings");
    QTest::addColumn<QStringList>("records");
    const QStringList friend_{"compagno", "socio"};
    QTest::newRow("lead before a marked plural") << QByteArray("dell'amici") << false << friend_;
    QTest::newRow("letter case ignored") << QByteArray("L'AMICO") << false << friend_;
    QTest::newRow("every meaning")
        << QByteArray("l'amici") << true
        << QStringList{"compagno noun synonym 1", "socio noun synonym 1"};
    QTest::newRow("a headword keeps its own")
        << QByteArray("dell'uomo") << false << QStringList{"umanità"};
    QTest::newRow("the other lead of that word") << QByteArray("l'uomo") << false
                                                 << QStringList{"persona", "compagno"};
    QTest::newRow("condition unmet: no vowel") << QByteArray("l'casa") << false << QStringList();
    QTest::newRow("a lead alone") << QByteArray("dell'") << false << QStringList();
    QTest::newRow("no such word after the lead")
        << QByteArray("l'amicone") << false << QStringList();
    QTest::newRow("a prefix filed form by form") << QByteArray("ridire") << false
                                                 << QStringList{"parlare"};
}

void TestSynonymStore::formsThroughMarkedPrefixes() {
    QFETCH(QByteArray, word);
    QFETCH(bool, meanings);
    QFETCH(QStringList, records);
    QTemporaryDir dir;
    SynonymStore store;
    store.open(BuildElisionDatabase(dir.path()));
    QVERIFY(store.keepsPrefixes()); // the elisions did not fit the limit
    WordRecords lookup(store, meanings, {}, {});
    QCOMPARE(recordsOf(lookup, word), records);
}

void TestSynonymStore::filterValues_data() {
    QTest::addColumn<QByteArray>("thesaurus"); // empty: the fixture, from lookup.dat
    QTest::addColumn<bool>("olderFile");       // without the list of values
    QTest::addColumn<QStringList>("pos");
    QTest::addColumn<QStringList>("relations");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("a part of speech of the vocabulary this database lacks")
        << QByteArray() << false << QStringList{"adv", "prep"} << QStringList() << QString();
    QTest::newRow("a relation of the vocabulary it lacks")
        << QByteArray() << false << QStringList() << QStringList{"narrower term"} << QString();
    QTest::newRow("a value outside the vocabulary")
        << QByteArray() << false << QStringList() << QStringList{"opposite"}
        << "--relation: this database holds no relation 'opposite'; it holds: synonym, similar "
           "term, related term, antonym, generic term";
    QTest::newRow("a label is no value")
        << QByteArray() << false << QStringList{"adjective"} << QStringList()
        << "--pos: this database holds no part of speech 'adjective'; it holds: noun, adj, verb";
    QTest::newRow("a label kept as written is a value where it is held")
        << QByteArray("UTF-8\nw|2\n(словосъч.)|a\n(прил.)|b\n") << false
        << QStringList{"словосъч."} << QStringList() << QString();
    QTest::newRow("an older file: only the values it holds")
        << QByteArray() << true << QStringList{"adv"} << QStringList()
        << "--pos: this database holds no part of speech 'adv'; it holds: noun, adj, verb";
}

void TestSynonymStore::filterValues() {
    QFETCH(QByteArray, thesaurus);
    QFETCH(bool, olderFile);
    QFETCH(QStringList, pos);
    QFETCH(QStringList, relations);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString database = dir.filePath("words.mdb");
    if (thesaurus.isEmpty()) {
        QVERIFY(QFile::copy(path_, database));
    } else {
        writeFile(dir.filePath("th_bg_BG.dat"), thesaurus);
        ImportThesaurus(dir.filePath("th_bg_BG.dat"), database);
    }
    if (olderFile) {
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(database.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw, "drop table kinds", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    SynonymStore store;
    store.open(database);
    QString refused;
    try {
        const MeaningFilter filter(store, pos, relations, "qryRelations");
        QVERIFY(filter.active());
    } catch (const UnknownKind& unknown) {
        refused = unknown.text;
    }
    QCOMPARE(refused, refusal);
}

// Through the program: one script may ask every language for antonyms.
void TestSynonymStore::vocabularyValueKeepsNothing() {
    QProcess lookup;
    lookup.start(QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove"),
                 {"--lookup", "--database", path_, "--relation", "narrower term,antonym", "-"});
    lookup.write("look\nbare\n");
    lookup.closeWriteChannel();
    QVERIFY(lookup.waitForFinished(60000));
    QCOMPARE(lookup.readAllStandardError(), QByteArray());
    QCOMPARE(lookup.exitCode(), 0);
    QCOMPARE(lookup.readAllStandardOutput(),
             QByteArray("LOOK - this word not found in the database.\nBARE - nude\n"));
}

void TestSynonymStore::presence() {
    QVERIFY(SynonymStore::Present(path_));
    QVERIFY(!SynonymStore::Present(dir_.filePath("missing.mdb")));
    QVERIFY(QDir(dir_.path()).mkdir("folder.mdb"));
    QVERIFY(!SynonymStore::Present(dir_.filePath("folder.mdb")));
    QVERIFY(QFile::link(dir_.filePath("nothing"), dir_.filePath("dangling.mdb")));
    QVERIFY(!SynonymStore::Present(dir_.filePath("dangling.mdb")));
    QVERIFY(QFile::copy(path_, dir_.filePath(".hidden.mdb")));
    QVERIFY(!SynonymStore::Present(dir_.filePath(".hidden.mdb")));
}


void TestSynonymStore::onlyOneReadOnlyStatement() {
    SynonymStore::Rows rows;
    QVERIFY(!failureOf([&] { store_.run(rows, "select 1; delete from headword"); }).isEmpty());
    QVERIFY(!failureOf([&] { store_.run(rows, "delete from headword"); }).isEmpty());
    QVERIFY(!failureOf([&] { store_.run(rows, "   "); }).isEmpty());
    QVERIFY(!rows.isOpen());
    QCOMPARE(rowsFor(store_, "look").size(), 5);
}


void TestSynonymStore::keptStatementsAnswerAsWritten_data() {
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

void TestSynonymStore::keptStatementsAnswerAsWritten() {
    QFETCH(QString, sql);
    QFETCH(QString, field);
    const auto read = [&] {
        return fieldRows(store_, sql.toUtf8(), field, field);
    };
    const auto plain = plainRowsFor(store_.handle(), sql, qPrintable(field), qPrintable(field));
    QVERIFY(!plain.isEmpty());
    QCOMPARE(read(), plain);
    QCOMPARE(read(), plain); // from the kept statement, where there is one
}


void TestSynonymStore::fileChangedByOthersWhileOpen() {
    QTemporaryDir other;
    const QString path = other.filePath("words.mdb");
    QVERIFY(QFile::copy(path_, path));
    QVERIFY(QDir(other.path()).mkdir("new"));
    const QString replacement = BuildFixtureDatabase(other.filePath("new"), "mini_thesaurus.dat");
    SynonymStore db;
    db.open(path);
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


void TestSynonymStore::caseIgnoredBeyondAscii_data() {
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

void TestSynonymStore::caseIgnoredBeyondAscii() {
    QFETCH(QByteArray, thesaurus);
    QFETCH(QString, word);
    QFETCH(QStringList, synonyms);
    QTemporaryDir folder;
    QCOMPARE(synonymsFrom(folder, thesaurus, word), synonyms);

    // Still one index search, and the index is in order under the program's comparison: the
    // keys above mix ASCII, two-byte, three-byte and four-byte UTF-8.
    SynonymStore db;
    db.open(folder.filePath("words.mdb"));
    const auto plan = fieldRows(db, "explain query plan " + queryFor(word), "detail", "detail");
    QVERIFY(!plan.isEmpty() && plan[0].first.startsWith("SEARCH f USING PRIMARY KEY (key=?)"));
    QCOMPARE(fieldRows(db, "pragma integrity_check", "integrity_check", "integrity_check"),
             (QList<QPair<QString, QString>>{{"ok", "ok"}}));
}


void TestSynonymStore::inflectedForms_data() {
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

void TestSynonymStore::inflectedForms() {
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


void TestSynonymStore::openFailuresAreReadable() {
    SynonymStore db;
    const QString missing = dir_.filePath("nowhere/words.mdb");
    QString why = failureOf([&] { db.open(missing); });
    QVERIFY2(why.contains(missing) && why.contains("unable to open"), qPrintable(why));
    QVERIFY(!db.isOpen());

    const QString junk = dir_.filePath("junk.mdb");
    QFile f(junk);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("Standard Jet DB\0\0\0 not really", 30).repeated(200));
    f.close();
    why = failureOf([&] { db.open(junk); });
    QVERIFY2(why.contains("is not a synonym database Lexigrove can read"), qPrintable(why));
    QVERIFY(!db.isOpen());
}

QTEST_GUILESS_MAIN(TestSynonymStore)
#include "test_synonymstore.moc"
