// SPDX-License-Identifier: GPL-3.0-or-later
#include "DbConnection.h"
#include "LookupRun.h"
#include "RecordSet.h"
#include "ScriptedDesktop.h"
#include "Thesaurus.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Collects the rows of a run over the database the build made from the
// English thesaurus.
class RowsHost : public LookupHost {
  public:
    int wordCount() const override { return int(words.size()); }
    QString wordText(int position) const override { return words.at(position - 1); }
    void clearResults() override { rows.clear(); }
    void startWordRows(QByteArrayView) override {}
    void appendResult(const QString& text) override { rows << text; }
    void setProgressValue(double) override {}
    void setProgressText(const QString&) override {}
    QString startCaption() const override { return caption; }
    void setStartCaption(const QString& text) override { caption = text; }
    int pointerMode() const override { return 0; }
    void setPointerMode(int) override {}

    QStringList words;
    QStringList rows;
    QString caption = QStringLiteral("Start Looking Up Synonyms");
};
} // namespace

class TestRealDatabase : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void happy();
    void sampleWordsAllHaveRows();
    void wordsThatAreNotHeadwords();
    void inflectedForms_data();
    void inflectedForms();
    void keysInOrderForTheProgram();
    void frenchThesaurus();

  private:
    QStringList lookUp(const QStringList& words, DbConnection& db);
    QStringList lookUp(const QStringList& words) { return lookUp(words, db_); }
    static QString integrity(DbConnection& db);
    DbConnection db_;
};

void TestRealDatabase::initTestCase() {
    const QString path = DbConnection::DatabasePath(LEXIGROVE_BIN_DIR);
    QVERIFY2(DbConnection::DatabasePresent(path), qPrintable(path));
    db_.Open(DbConnection::ConnectionString(path));
}

QStringList TestRealDatabase::lookUp(const QStringList& words, DbConnection& db) {
    RowsHost host;
    ScriptedDesktop desktop;
    host.words = words;
    LookupRun(host, desktop, db).PushButton17_Click();
    [&] { QCOMPARE(desktop.boxTexts(), QStringList({"Done."})); }();
    return host.rows;
}

void TestRealDatabase::happy() {
    QStringList rows = lookUp({"Happy"});
    for (const char* synonym : {"glad", "cheerful", "contented", "felicitous", "fortunate"})
        QVERIFY2(rows.contains(QStringLiteral("HAPPY - ") + synonym), synonym);
    QVERIFY(!rows.contains("HAPPY - unhappy")); // an antonym
    QVERIFY(!rows.contains("HAPPY - happy"));   // never the word itself
    QCOMPARE(rows.removeDuplicates(), 0);       // each synonym once
    QCOMPARE(rows.first(), "HAPPY - blessed");  // thesaurus order
}

void TestRealDatabase::sampleWordsAllHaveRows() {
    const QStringList words = {"random", "look", "advantage", "response"};
    const QStringList rows = lookUp(words);
    qsizetype at = 0;
    for (const QString& word : words) {
        const QString prefix = word.toUpper() + " - ";
        QVERIFY2(at < rows.size() && rows[at].startsWith(prefix), qPrintable(word));
        while (at < rows.size() && rows[at].startsWith(prefix)) {
            QVERIFY(!rows[at].endsWith("not found in the database."));
            ++at;
        }
    }
    QCOMPARE(at, rows.size());
    // Generic terms are not synonyms.
    QVERIFY(!rows.contains("LOOK - visage"));
}

void TestRealDatabase::wordsThatAreNotHeadwords() {
    QCOMPARE(lookUp({"qwzxv", "don't'"}),
             QStringList({"QWZXV - this word not found in the database.",
                          "DON'T' - this word not found in the database."}));
}

// The program compares words with its own case folding; the keys must be in order under it
// too, or index searches would miss words.
QString TestRealDatabase::integrity(DbConnection& db) {
    RecordSet rs;
    rs.Open("pragma integrity_check", db, 3, 1);
    return rs.Field("integrity_check");
}

void TestRealDatabase::inflectedForms_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("base");
    QTest::newRow("past tense") << "looked"
                                << "look";
    QTest::newRow("comparative") << "Happier"
                                 << "happy";
    QTest::newRow("plural") << "ADVANTAGES"
                            << "advantage";
    QTest::newRow("possessive") << "advantage's"
                                << "advantage";
}

void TestRealDatabase::inflectedForms() {
    QFETCH(QString, form);
    QFETCH(QString, base);
    const QString basePrefix = base.toUpper() + " - ";
    QStringList expected;
    for (const QString& row : lookUp({base}))
        expected << form.toUpper() + " - " + row.mid(basePrefix.size());
    QVERIFY(!expected.isEmpty());
    QCOMPARE(lookUp({form}), expected);
}

void TestRealDatabase::keysInOrderForTheProgram() {
    QCOMPARE(integrity(db_), "ok");
}

void TestRealDatabase::frenchThesaurus() {
    const QString french = QStringLiteral("/usr/share/mythes/th_fr_FR_v2.dat");
    if (!QFileInfo::exists(french))
        QSKIP("the French thesaurus (mythes-fr) is not installed");
    QTemporaryDir folder;
    const QString path = DbConnection::DatabasePath(folder.path());
    ImportThesaurus(french, path);
    DbConnection db;
    db.Open(DbConnection::ConnectionString(path));
    const QStringList rows = lookUp({"ÉCOLE", "Été"}, db);
    for (const char* row : {"ÉCOLE - lycée", "ÉCOLE - université", "ÉTÉ - canicule"})
        QVERIFY2(rows.contains(QString::fromUtf8(row)), row);
    QCOMPARE(integrity(db), "ok");
}

QTEST_GUILESS_MAIN(TestRealDatabase)
#include "test_englishdatabase.moc"
