// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "DbConnection.h"
#include "FixtureDatabase.h"
#include "FormFixtures.h"
#include "LookupRun.h"
#include "PointerMode.h"
#include "ScriptedDesktop.h"
#include "SynonymMeanings.h"

#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sqlite3.h>

namespace {
const QString kIdle = QStringLiteral("Start Looking Up Synonyms");

// The window's pieces as plain values, with a history of what the run set.
class FakeHost : public LookupHost {
  public:
    int wordCount() const override { return int(words.size()); }
    QString wordText(int position) const override {
        if (position < 1 || position > words.size())
            throw AppError(QStringLiteral("Index out of bounds"));
        return words[position - 1];
    }
    void clearResults() override {
        results.clear();
        rowWords.clear();
    }
    void startWordRows(QByteArrayView wordUtf8) override { word = RowsKey(wordUtf8); }
    void appendResult(const QString& text) override {
        if (onAppend)
            onAppend(text);
        results << text;
        rowWords << word;
    }
    void appendResultUtf8(QByteArrayView row) override {
        utf8Rows << row.toByteArray();
        LookupHost::appendResultUtf8(row);
    }
    // What each row means, asked after the run as a tool-tip asks.
    QStringList meanings(SynonymStore& store) const {
        QStringList told;
        for (qsizetype row = 0; row < results.size(); ++row)
            told << RowMeaning(store, rowWords[row], results[row].toUtf8());
        return told;
    }
    void setProgressValue(double percent) override { values << percent; }
    void setProgressText(const QString& text) override { texts << text; }
    QString startCaption() const override { return caption; }
    void setStartCaption(const QString& text) override {
        caption = text;
        captions << text;
    }
    int pointerMode() const override { return pointer; }
    void setPointerMode(int mode) override {
        pointer = mode;
        pointers << mode;
    }

    QStringList words;
    QStringList results;
    QByteArray word;
    QByteArrayList rowWords; // one per row of results: its word's key
    QByteArrayList utf8Rows; // those of results that came as UTF-8
    QList<double> values;
    QStringList texts;
    QString caption = kIdle;
    QStringList captions;
    int pointer = PointerMode::Plain;
    QList<int> pointers;
    std::function<void(const QString&)> onAppend;
};

const QStringList kSampleRows = {
    "RANDOM - ergodic",    "RANDOM - haphazard", "LOOK - expression", "LOOK - aspect",
    "LOOK - face",         "LOOK - appear",      "LOOK - seem",       "ADVANTAGE - vantage",
    "ADVANTAGE - benefit", "RESPONSE - reply",   "RESPONSE - answer",
};
const QStringList kSampleWords = {"random", "look", "advantage", "response"};

// True when another program could write the database right now, without waiting.
bool writableByOthers(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const bool free =
        sqlite3_exec(db, "begin immediate; commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return free;
}
} // namespace

class TestLookupRun : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void emptyListOnlySaysSo();
    void sampleWords();
    void rowTexts();
    void secondRunStartsEmpty();
    void stopClick();
    void stopAndStartInOneYield();
    void listClearedBeforeTheLoop();
    void entriesAppendedDuringRun();
    void resultsClearedDuringRun();
    void entriesRemovedDuringRun();
    void queryThatCannotOpenIsReportedOncePerWord();
    void failedAppendLosesOneRow();
    void closingUnwindsTheRun();
    void runningUntilTheCaptionIsBack();
    void synonymTextsAsStored_data();
    void synonymTextsAsStored();
    void meaningsBesideRows_data();
    void meaningsBesideRows();
    void formThroughAMarkedPrefix();
    void meaningLine_data();
    void meaningLine();

  private:
    void run() { lookup_->PushButton17_Click(); }
    QString report(int line) const {
        return QStringLiteral("in Lexigrove2021/08/31.Form1.PushButton17_Click at line ") +
               QString::number(line) + "\r\r";
    }

    QTemporaryDir dir_;
    QString dbPath_;
    DbConnection db_;
    std::unique_ptr<FakeHost> host_;
    std::unique_ptr<ScriptedDesktop> desktop_;
    std::unique_ptr<LookupRun> lookup_;
};

void TestLookupRun::initTestCase() {
    QVERIFY(dir_.isValid());
    dbPath_ = BuildFixtureDatabase(dir_.path());
    db_.Open(DbConnection::ConnectionString(dbPath_));
}

void TestLookupRun::init() {
    host_ = std::make_unique<FakeHost>();
    desktop_ = std::make_unique<ScriptedDesktop>();
    lookup_ = std::make_unique<LookupRun>(*host_, *desktop_, db_);
}

void TestLookupRun::emptyListOnlySaysSo() {
    host_->results = {"LOOK - seem"};
    run();
    QCOMPARE(desktop_->boxes.size(), 1);
    QCOMPARE(desktop_->boxes[0].text, "No words added.");
    QCOMPARE(desktop_->boxes[0].style, 0);
    QCOMPARE(desktop_->boxes[0].title, "Lexigrove");
    QCOMPARE(host_->results, QStringList({"LOOK - seem"}));
    QVERIFY(host_->captions.isEmpty());
    QVERIFY(host_->pointers.isEmpty());
    QVERIFY(host_->values.isEmpty());
    QCOMPARE(desktop_->yields, 0);
}

void TestLookupRun::sampleWords() {
    host_->words = kSampleWords;
    host_->results = {"left over"};
    QList<int> pointerAtYield;
    for (int n = 1; n <= 5; ++n)
        desktop_->onYield[n] = [&] { pointerAtYield << host_->pointer; };
    run();

    QCOMPARE(host_->results, kSampleRows);
    QCOMPARE(host_->values, QList<double>({25, 50, 75, 100, 0}));
    QCOMPARE(host_->texts,
             QStringList({"Processing: random", "Processing: look", "Processing: advantage",
                          "Processing: response", "Progress Bar"}));
    QCOMPARE(host_->captions, QStringList({"Stop", kIdle}));
    QCOMPARE(host_->caption, kIdle);
    // The first yield comes before the hourglass, the word yields during it.
    QCOMPARE(pointerAtYield, QList<int>({0, 11, 11, 11, 11}));
    QCOMPARE(host_->pointer, PointerMode::Plain);
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
    QCOMPARE(desktop_->boxes[0].style, 0);
}

void TestLookupRun::rowTexts() {
    const QString pathLike = QStringLiteral("and/or");
    const QString withNul = QStringLiteral("look") + QChar(0) + "x";
    host_->words = {"don't",    "zzyzx",           "",      "café", pathLike, "response",
                    "response", "look' or '1'='1", " look", withNul};
    run();
    QCOMPARE(
        host_->results,
        QStringList(
            {"DON'T - do not", "DON'T - refrain", "ZZYZX - this word not found in the database.",
             " - this word not found in the database.", "CAFÉ - coffeehouse", "CAFÉ - bistro",
             pathLike.toUpper() + " - this word not found in the database.", "RESPONSE - reply",
             "RESPONSE - answer", "RESPONSE - reply", "RESPONSE - answer",
             "LOOK' OR '1'='1 - this word not found in the database.",
             " LOOK - this word not found in the database.",
             withNul.toUpper() + " - this word not found in the database."}));
    QCOMPARE(host_->texts[2], "Processing: ");
    QCOMPARE(host_->texts[4], "Processing: or");
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
}

void TestLookupRun::secondRunStartsEmpty() {
    host_->words = {"look"};
    run();
    host_->words = {"response"};
    run();
    QCOMPARE(host_->results, QStringList({"RESPONSE - reply", "RESPONSE - answer"}));
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done.", "Done."}));
}

void TestLookupRun::stopClick() {
    host_->words = kSampleWords;
    host_->caption = "Go";
    // Yield 3 is the one for the second word: a click there asks to stop.
    desktop_->onYield[3] = [&] { run(); };
    run();

    QCOMPARE(host_->results, kSampleRows.mid(0, 2));
    QCOMPARE(host_->captions, QStringList({"Stop", "Go", "Go"}));
    QCOMPARE(host_->values, QList<double>({25, 50, 0, 0}));
    QCOMPARE(host_->texts.last(), "Progress Bar");
    QCOMPARE(host_->pointer, PointerMode::Plain);
    QCOMPARE(desktop_->yields, 4); // the stop click yields once itself
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
    QVERIFY(writableByOthers(dbPath_)); // the run's read lock went with it
}

void TestLookupRun::stopAndStartInOneYield() {
    host_->words = kSampleWords;
    desktop_->onYield[3] = [&] {
        run(); // stop request
        run(); // sees the idle caption: a whole nested run
    };
    run();
    // The nested run emptied the list and wrote every word; the stopped run
    // then wrote nothing more.
    QCOMPARE(host_->results, kSampleRows);
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done.", "Done."}));
    QCOMPARE(host_->caption, kIdle);
    QCOMPARE(host_->pointer, PointerMode::Plain);
    QVERIFY(writableByOthers(dbPath_));
}

void TestLookupRun::listClearedBeforeTheLoop() {
    host_->words = kSampleWords;
    host_->results = {"old"};
    desktop_->onYield[1] = [&] { host_->words.clear(); };
    run();
    QVERIFY(host_->results.isEmpty());
    QCOMPARE(host_->values, QList<double>({0}));
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
}

void TestLookupRun::entriesAppendedDuringRun() {
    host_->words = {"look", "response"};
    desktop_->onYield[2] = [&] {
        host_->words << "random"
                     << "advantage";
    };
    run();
    // Beyond the bound: not looked up, but they count in the progress.
    QCOMPARE(host_->results, kSampleRows.mid(2, 5) + kSampleRows.mid(9, 2));
    QCOMPARE(host_->values, QList<double>({50, 50, 0}));
}

void TestLookupRun::resultsClearedDuringRun() {
    host_->words = kSampleWords;
    desktop_->onYield[4] = [&] { host_->results.clear(); };
    run();
    QCOMPARE(host_->results, kSampleRows.mid(7));
}

void TestLookupRun::entriesRemovedDuringRun() {
    host_->words = {"look", "zzyzx", "response", "random", "advantage"};
    // During the first word the second entry goes, then the list is cut short.
    desktop_->onYield[2] = [&] { host_->words.removeAt(1); };
    desktop_->onYield[3] = [&] { host_->words = host_->words.mid(0, 2); };
    run();
    QCOMPARE(host_->results, kSampleRows.mid(2, 5) + kSampleRows.mid(9, 2));
    // One report for the first vanished position, none for the rest.
    QCOMPARE(desktop_->boxes.size(), 2);
    QVERIFY(desktop_->boxes[0].text.startsWith("Index out of bounds\r\n"));
    QVERIFY(desktop_->boxes[0].text.contains(report(118)));
    QCOMPARE(desktop_->boxes[0].title, "Application Error");
    QCOMPARE(desktop_->boxes[1].text, "Done.");
    QCOMPARE(host_->caption, kIdle);
}

void TestLookupRun::queryThatCannotOpenIsReportedOncePerWord() {
    QTemporaryDir other;
    const QString path = other.filePath("words.mdb");
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    QCOMPARE(sqlite3_exec(raw, "create table words(word, synonym)", nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(raw);
    DbConnection noView;
    noView.Open(DbConnection::ConnectionString(path));
    DbConnection neverOpened;

    for (DbConnection* db : {&noView, &neverOpened}) {
        init();
        LookupRun lookup(*host_, *desktop_, *db);
        host_->words = {"look", "response"};
        lookup.PushButton17_Click();
        QVERIFY(host_->results.isEmpty());
        QCOMPARE(desktop_->boxes.size(), 3);
        QVERIFY(desktop_->boxes[0].text.contains(report(130)));
        QVERIFY(desktop_->boxes[1].text.contains(report(130)));
        QCOMPARE(desktop_->boxes[2].text, "Done.");
        QCOMPARE(host_->caption, kIdle);
        QCOMPARE(host_->pointer, PointerMode::Plain);
    }
    QVERIFY(desktop_->boxes[0].text.startsWith("The connection cannot be used"));
}

void TestLookupRun::failedAppendLosesOneRow() {
    host_->words = {"look"};
    host_->onAppend = [](const QString& row) {
        if (row == "LOOK - aspect")
            throw AppError("Out of list space");
    };
    run();
    QCOMPARE(host_->results,
             QStringList({"LOOK - expression", "LOOK - face", "LOOK - appear", "LOOK - seem"}));
    QCOMPARE(desktop_->boxes.size(), 2);
    QVERIFY(desktop_->boxes[0].text.startsWith("Out of list space\r\n"));
    QVERIFY(desktop_->boxes[0].text.contains(report(142)));
}

void TestLookupRun::closingUnwindsTheRun() {
    host_->words = kSampleWords;
    desktop_->onYield[3] = [&] { desktop_->markClosing(); };
    bool unwound = false;
    try {
        run();
    } catch (const ClosingSignal&) {
        unwound = true;
    }
    QVERIFY(unwound);
    QCOMPARE(host_->results, kSampleRows.mid(0, 2));
    QVERIFY(desktop_->boxes.isEmpty());
    QCOMPARE(desktop_->yields, 3);
}

void TestLookupRun::runningUntilTheCaptionIsBack() {
    host_->words = kSampleWords;
    QList<bool> seen;
    desktop_->onYield[1] = [&] { seen << lookup_->running(); };
    desktop_->onYield[3] = [&] {
        seen << lookup_->running();
        run(); // stop request
        seen << lookup_->running();
    };
    QVERIFY(!lookup_->running());
    run();
    QCOMPARE(seen, QList<bool>({true, true, false}));
    QVERIFY(!lookup_->running());
    // A run that ends by itself is over as well.
    run();
    QVERIFY(!lookup_->running());
    QCOMPARE(host_->caption, kIdle);
}

void TestLookupRun::synonymTextsAsStored_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QByteArray>("synonym"); // as SQL, a blob cast to text or NULL
    QTest::addColumn<QString>("row");
    // Rows that UTF-8 carries as Qt reads it go to the list as bytes.
    QTest::addColumn<bool>("asUtf8");
    QTest::newRow("ASCII") << "look" << QByteArray("cast(x'736565' as text)") << "LOOK - see"
                           << true;
    QTest::newRow("two-byte and four-byte UTF-8")
        << "look" << QByteArray("cast(x'C3A9F09F988A' as text)")
        << QStringLiteral("LOOK - é\U0001F60A") << true;
    QTest::newRow("byte order mark kept") << "look" << QByteArray("cast(x'EFBBBF61' as text)")
                                          << QStringLiteral("LOOK - \uFEFFa") << true;
    QTest::newRow("invalid UTF-8 replaced") << "look" << QByteArray("cast(x'61FF62C3' as text)")
                                            << QString("LOOK - " + QString::fromUtf8("a\xFF"
                                                                                     "b\xC3"))
                                            << false;
    QTest::newRow("NULL") << "look" << QByteArray("NULL") << "LOOK - " << true;
    QTest::newRow("empty") << "look" << QByteArray("''") << "LOOK - " << true;
    QTest::newRow("word beyond ASCII")
        << QStringLiteral("été") << QByteArray("'x'") << QStringLiteral("ÉTÉ - x") << true;
    QTest::newRow("word that grows in upper case")
        << QStringLiteral("straße") << QByteArray("'x'") << QStringLiteral("STRASSE - x") << true;
    QTest::newRow("word with an apostrophe") << "don't" << QByteArray("'x'") << "DON'T - x" << true;
    QTest::newRow("word starting with U+FEFF") << QStringLiteral("\uFEFFlook") << QByteArray("'x'")
                                               << QStringLiteral("\uFEFFLOOK - x") << true;
}

void TestLookupRun::synonymTextsAsStored() {
    QFETCH(QString, word);
    QFETCH(QByteArray, synonym);
    QFETCH(QString, row);
    QFETCH(bool, asUtf8);
    QTemporaryDir other;
    const QString path = other.filePath("words.mdb");
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    const QByteArray quoted = "'" + QString(word).replace("'", "''").toUtf8() + "'";
    const QByteArray view = "create view qrySynonyms as select " + quoted + " as word, " + synonym +
                            " as synonym union all select " + quoted + ", 'seem'";
    QCOMPARE(sqlite3_exec(raw, view.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    DbConnection db;
    db.Open(DbConnection::ConnectionString(path));
    LookupRun lookup(*host_, *desktop_, db);
    host_->words = {word};
    lookup.PushButton17_Click();
    // Each row its own text: the one before does not show through.
    const QString seem = row.left(row.indexOf(" - ") + 3) + "seem";
    QCOMPARE(host_->results, QStringList({row, seem}));
    QCOMPARE(host_->utf8Rows.contains(row.toUtf8()), asUtf8);
    QVERIFY(host_->utf8Rows.contains(seem.toUtf8()));
    // A database without meanings still answers, and tells none.
    QCOMPARE(host_->meanings(db.store()), QStringList({"", ""}));
}

void TestLookupRun::meaningsBesideRows_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("meanings");
    const QString notIn = QString::fromLatin1(kNotInDatabase);

    QTest::newRow("one meaning each")
        << "random" << QStringList{"RANDOM - ergodic", "RANDOM - haphazard"}
        << QStringList{"adj · meaning 1 · similar term", "adj · meaning 1 · similar term"};
    QTest::newRow("a synonym of several meanings tells each; an antonym is no row")
        << "Bright"
        << QStringList{"BRIGHT - smart", "BRIGHT - clever", "BRIGHT - shining",
                       "BRIGHT - brilliant", "BRIGHT - cheerful"}
        << QStringList{"adj · meaning 1 · synonym\nadj · meaning 3 · related term",
                       "adj · meaning 1 · similar term", "adj · meaning 2 · synonym",
                       "adj · meaning 2 · similar term", "adj · meaning 3 · synonym"};
    QTest::newRow("not found") << "zzyzx"
                               << QStringList{"ZZYZX - this word not found in the database."}
                               << QStringList{notIn};
    const QString withNul = QStringLiteral("bright") + QChar(0);
    QTest::newRow("a word with a NUL is not found")
        << withNul << QStringList{withNul.toUpper() + " - this word not found in the database."}
        << QStringList{notIn};
}

void TestLookupRun::meaningsBesideRows() {
    QFETCH(QString, word);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, meanings);
    QTemporaryDir other;
    DbConnection db;
    db.Open(DbConnection::ConnectionString(BuildFixtureDatabase(other.path(), "meanings.dat")));
    LookupRun lookup(*host_, *desktop_, db);
    host_->words = {word, word}; // the second word reads its meanings anew
    lookup.PushButton17_Click();
    QCOMPARE(host_->results, rows + rows); // the rows are as they always were
    QCOMPARE(host_->meanings(db.store()), meanings + meanings);
    QCOMPARE(desktop_->boxTexts(), QStringList({"Done."}));
}

void TestLookupRun::formThroughAMarkedPrefix() {
    QTemporaryDir other;
    DbConnection db;
    db.Open(DbConnection::ConnectionString(BuildElisionDatabase(other.path())));
    LookupRun lookup(*host_, *desktop_, db);
    host_->words = {"Dell'Amici", "l'casa"};
    lookup.PushButton17_Click();
    QCOMPARE(host_->results, QStringList({"DELL'AMICI - compagno", "DELL'AMICI - socio",
                                          "L'CASA - this word not found in the database."}));
    const QString noun = QStringLiteral("noun · meaning 1 · synonym");
    QCOMPARE(host_->meanings(db.store()),
             QStringList({noun, noun, QString::fromLatin1(kNotInDatabase)}));
}

void TestLookupRun::meaningLine_data() {
    QTest::addColumn<QByteArrayList>("record"); // pos, sense, relation, note
    QTest::addColumn<QString>("line");
    QTest::newRow("all parts") << QByteArrayList{"noun", "2", "synonym", "informal"}
                               << "noun · meaning 2 · synonym · informal";
    QTest::newRow("no part of speech")
        << QByteArrayList{"", "1", "related term", ""} << "meaning 1 · related term";
    QTest::newRow("no sense (a database without meanings' places)")
        << QByteArrayList{"adj", "", "similar term", ""} << "adj · similar term";
}

void TestLookupRun::meaningLine() {
    QFETCH(QByteArrayList, record);
    QFETCH(QString, line);
    SynonymRecord meaning;
    meaning.synonym = "x";
    meaning.pos = record[0];
    meaning.sense = record[1];
    meaning.relation = record[2];
    meaning.note = record[3];
    QByteArray out = "kept ";
    SynonymMeanings::AppendLine(out, meaning);
    QCOMPARE(QString::fromUtf8(out), "kept " + line);
}

QTEST_GUILESS_MAIN(TestLookupRun)
#include "test_lookuprun.moc"
