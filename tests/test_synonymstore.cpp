#include "AppError.h"
#include "FixtureDatabase.h"
#include "MeaningFilter.h"
#include "ReadLock.h"
#include "StatementCache.h"
#include "SynonymStore.h"

#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {
using Row = QList<QByteArray>;

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
    void boundWordFindsTheRowsOfTheText_data();
    void boundWordFindsTheRowsOfTheText();
    void comparisonFoldsOnlyWhereItMatters_data();
    void comparisonFoldsOnlyWhereItMatters();
    void shapeOfQuery_data();
    void shapeOfQuery();
    void readLockReleasedBeforeWaiting();
    void views();
    void unknownMeaningIsNamed();

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

QTEST_GUILESS_MAIN(TestSynonymStore)
#include "test_synonymstore.moc"
