// SPDX-License-Identifier: GPL-3.0-or-later
#include "Thesaurus.h"
#include "ThesaurusLabels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <sqlite3.h>
#include <stdexcept>

namespace {

const QString kFixture = QStringLiteral(LEXIGROVE_TEST_DATA "/mini_thesaurus.dat");
const QString kImporter = QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove-import");
const QString kEnglishDatabase = QStringLiteral(LEXIGROVE_BIN_DIR "/words.mdb");

QString describe(const ThesaurusSynonym& synonym) {
    return synonym.text + QStringLiteral(" / ") + synonym.partOfSpeech + QStringLiteral(" / ") +
           synonym.relation;
}

// What qrySynonyms answers for the entry.
QStringList describeAll(const ThesaurusEntry& entry) {
    QStringList all;
    for (const ThesaurusSynonym& synonym : entry.synonyms)
        if (synonym.listed)
            all << describe(synonym);
    return all;
}

// Every (term, meaning) of the entry, as qryRelations answers it; "*", "+" mark the listed ones.
QStringList describeSenses(const ThesaurusEntry& entry) {
    QStringList all;
    for (const ThesaurusSynonym& synonym : entry.synonyms)
        all << QStringLiteral("%1 / %2 / %3%4")
                   .arg(describe(synonym))
                   .arg(synonym.sense)
                   .arg(synonym.note, QStringList{"", " *", " +"}[synonym.listed]);
    return all;
}

QStringList headwords(const std::vector<ThesaurusEntry>& entries) {
    QStringList words;
    for (const ThesaurusEntry& entry : entries)
        words << entry.headword;
    return words;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(("cannot read " + path).toStdString());
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error(("cannot write " + path).toStdString());
}

QStringList folderListing(const QString& path) {
    return QDir(path).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Reads a written database back with the plain C API, independently of the writer's code.
class Database {
  public:
    explicit Database(const QString& path) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK)
            fail("open");
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Every row, its columns joined with " / ".
    QStringList rows(const QString& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &statement, nullptr) !=
            SQLITE_OK)
            fail(sql);
        QStringList result;
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                columns << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
            }
            result << columns.join(QStringLiteral(" / "));
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE)
            fail(sql);
        return result;
    }

    qint64 number(const QString& sql) { return rows(sql).value(0).toLongLong(); }

  private:
    [[noreturn]] void fail(const QString& what) {
        throw std::runtime_error(
            (what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(db_))).toStdString());
    }

    sqlite3* db_ = nullptr;
};

struct ImporterRun {
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString standardError;
};

ImporterRun runImporter(const QStringList& arguments) {
    QProcess process;
    process.start(kImporter, arguments);
    ImporterRun run;
    if (!process.waitForFinished(-1))
        return run;
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.standardError = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

std::vector<ThesaurusEntry> validEntries() {
    return {ThesaurusEntry{QStringLiteral("happy"),
                           {ThesaurusSynonym{QStringLiteral("glad"), QStringLiteral("adj"),
                                             QStringLiteral("synonym"), QString(), 1, true}},
                           1}};
}

} // namespace

class TestImporter : public QObject {
    Q_OBJECT

  private slots:
    void fixtureHeadwordsInFileOrder();
    void fixtureSynonyms_data();
    void fixtureSynonyms();
    void parseRules_data();
    void parseRules();
    void labels_data();
    void labels();
    void labelTableRejects_data();
    void labelTableRejects();
    void languageOfFileName_data();
    void languageOfFileName();
    void realThesauri_data();
    void realThesauri();
    void realMeanings_data();
    void realMeanings();
    void encodings_data();
    void encodings();
    void cp1251AgreesWithIcu();
    void malformed_data();
    void malformed();
    void databaseHoldsParsedEntries();
    void databaseLookups_data();
    void databaseLookups();
    void lookupUsesIndex();
    void keyUnderSeveralHeadwords_data();
    void keyUnderSeveralHeadwords();
    void importedRows_data();
    void importedRows();
    void failedWriteLeavesNothing_data();
    void failedWriteLeavesNothing();
    void successfulWriteReplacesTarget();
    void importerFails_data();
    void importerFails();
    void importerSucceeds();
    void englishDatabase();
};

void TestImporter::fixtureHeadwordsInFileOrder() {
    const auto entries = ParseThesaurus(readFile(kFixture), kFixture);
    // The second "happy" block merges into the first instead of adding an entry.
    QCOMPARE(headwords(entries),
             QStringList({"happy", "don't", "café", "lincoln", "void", "catfish"}));
}

void TestImporter::fixtureSynonyms_data() {
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("tags, duplicates, self, empty terms, repeated headword")
        << "happy" << QStringList{"glad / adj / synonym",           "cheerful / adj / related term",
                                  "joyful / adj / similar term",    "felicitous / adj / synonym",
                                  "fortunate / adj / similar term", "content / adj / related term",
                                  "merry / adj / synonym"};
    QTest::newRow("apostrophe") << "don't"
                                << QStringList{"do not / verb / synonym",
                                               "refrain / verb / related term"};
    QTest::newRow("non-ASCII headword, itself in other case")
        << "café"
        << QStringList{"coffee shop / noun / synonym", "coffeehouse / noun / synonym",
                       "bistro / noun / similar term", "brasserie / noun / related term"};
    QTest::newRow("parentheses that are not tags")
        << "lincoln"
        << QStringList{"Lincoln (city) / noun / synonym", "Abraham Lincoln / noun / synonym"};
    QTest::newRow("only a generic term") << "void" << QStringList{"emptiness / noun / generic term"};
    QTest::newRow("part of speech without parentheses")
        << "catfish" << QStringList{"mudcat / noun / synonym", "bullhead / noun / related term"};
}

void TestImporter::fixtureSynonyms() {
    QFETCH(QString, headword);
    QFETCH(QStringList, expected);
    const auto entries = ParseThesaurus(readFile(kFixture), kFixture);
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const ThesaurusEntry& e) {
        return e.headword == headword;
    });
    QVERIFY2(entry != entries.end(), qPrintable(headword));
    QCOMPARE(describeAll(*entry), expected);
}

void TestImporter::parseRules_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expectedHeadwords");
    QTest::addColumn<QStringList>("firstSynonyms");

    QTest::newRow("tags set the relation and are removed")
        << QByteArray("UTF-8\nw|1\n(adj)|a|b (similar term)|c (related term)\n") << QStringList{"w"}
        << QStringList{"a / adj / synonym", "b / adj / similar term", "c / adj / related term"};
    QTest::newRow("antonyms and generic terms left out")
        << QByteArray("UTF-8\nw|1\n(noun)|a (antonym)|b (generic term)|c\n") << QStringList{"w"}
        << QStringList{"c / noun / synonym"};
    QTest::newRow("only brackets apart at either end are labels, in any letter case")
        << QByteArray("UTF-8\nw|1\n(adj)|a (Similar Term)|b(antonym)|c (related term) d\n")
        << QStringList{"w"}
        << QStringList{"a / adj / similar term", "b(antonym) / adj / synonym",
                       "c (related term) d / adj / synonym"};
    QTest::newRow("other parentheses belong to the term")
        << QByteArray("UTF-8\nw|1\n(noun)|Lincoln (city)|bar (music) (related term)\n")
        << QStringList{"w"}
        << QStringList{"Lincoln (city) / noun / synonym", "bar (music) / noun / related term"};
    QTest::newRow("first occurrence wins across meanings")
        << QByteArray("UTF-8\nw|2\n(adj)|a (related term)|b\n(verb)|a|b (similar term)|c\n")
        << QStringList{"w"}
        << QStringList{"a / adj / related term", "b / adj / synonym", "c / verb / synonym"};
    QTest::newRow("duplicates compared by exact text")
        << QByteArray("UTF-8\nw|1\n(adj)|Glad|glad|Glad\n") << QStringList{"w"}
        << QStringList{"Glad / adj / synonym", "glad / adj / synonym"};
    QTest::newRow("headword left out ignoring case")
        << QByteArray("UTF-8\nCaf\xC3\xA9|1\n(noun)|CAF\xC3\x89|caf\xC3\xA9 (similar term)|cafe\n")
        << QStringList{"Café"} << QStringList{"cafe / noun / synonym"};
    QTest::newRow("empty terms skipped")
        << QByteArray("UTF-8\nw|1\n(adj)||a|| |b|\n") << QStringList{"w"}
        << QStringList{"a / adj / synonym", "b / adj / synonym"};
    QTest::newRow("part of speech kept when not parenthesised")
        << QByteArray("UTF-8\nw|3\nnoun|a\n()|b\n|c\n") << QStringList{"w"}
        << QStringList{"a / noun / synonym", "b /  / synonym", "c /  / synonym"};
    // French names the four classes in its own words, German gives "-" for none.
    QTest::newRow("other languages' parts of speech: the four classes named alike")
        << QByteArray("UTF-8\nw|8\n(Nom)|a\n(Adjectif)|b\n(verbe)|c\n(ADVERBE)|d\n"
                      "(Adjectif Nom)|e\n(?)|f\n-|g\n(Noun)|h\n")
        << QStringList{"w"}
        << QStringList{"a / noun / synonym", "b / adj / synonym",      "c / verb / synonym",
                       "d / adv / synonym",  "e / adj noun / synonym", "f /  / synonym",
                       "g /  / synonym",     "h / noun / synonym"};
    QTest::newRow("headword is the text before the last bar")
        << QByteArray("UTF-8\na|b|1\n(noun)|c\n") << QStringList{"a|b"}
        << QStringList{"c / noun / synonym"};
    QTest::newRow("CR LF line ends")
        << QByteArray("UTF-8\r\nw|1\r\n(adj)|a|b\r\nv|1\r\n(adj)|c\r\n") << QStringList{"w", "v"}
        << QStringList{"a / adj / synonym", "b / adj / synonym"};
    QTest::newRow("no line end after the last line")
        << QByteArray("UTF-8\nw|1\n(adj)|a") << QStringList{"w"}
        << QStringList{"a / adj / synonym"};
    QTest::newRow("blank lines between entries and at the end")
        << QByteArray("UTF-8\n\n\nw|1\n(adj)|a\n\n \t\r\nv|1\n(adj)|b\n\n\n")
        << QStringList{"w", "v"} << QStringList{"a / adj / synonym"};
    QTest::newRow("repeated headword merged into the first")
        << QByteArray("UTF-8\nw|1\n(adj)|a|b\nx|1\n(adj)|y\nw|1\n(verb)|b|c\n")
        << QStringList{"w", "x"}
        << QStringList{"a / adj / synonym", "b / adj / synonym", "c / verb / synonym"};
    QTest::newRow("headwords differing in case are distinct")
        << QByteArray("UTF-8\nw|1\n(adj)|a\nW|1\n(adj)|b\n") << QStringList{"w", "W"}
        << QStringList{"a / adj / synonym"};
    QTest::newRow("headword without synonyms kept")
        << QByteArray("UTF-8\nw|1\n(adj)|W|x (antonym)\n") << QStringList{"w"} << QStringList{};
    QTest::newRow("UTF-8 BOM before the encoding name")
        << QByteArray("\xEF\xBB\xBFUTF-8\nw|1\n(adj)|a\n") << QStringList{"w"}
        << QStringList{"a / adj / synonym"};
    QTest::newRow("encoding name padded and in another case")
        << QByteArray(" utf-8 \r\nw|1\r\n(adj)|a\r\n") << QStringList{"w"}
        << QStringList{"a / adj / synonym"};
    QTest::newRow("empty headword: entry left out")
        << QByteArray("UTF-8\nw|1\n(adj)|a\n|1\n(adj)|b\nv|1\n(adj)|c\n") << QStringList{"w", "v"}
        << QStringList{"a / adj / synonym"};
    QTest::newRow("blank headword first: entry left out")
        << QByteArray("UTF-8\n  |2\n-|b\n-|c\nw|1\n(adj)|a\n") << QStringList{"w"}
        << QStringList{"a / adj / synonym"};
    QTest::newRow("only the encoding line")
        << QByteArray("UTF-8\n") << QStringList{} << QStringList{};
}

void TestImporter::parseRules() {
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expectedHeadwords);
    QFETCH(QStringList, firstSynonyms);
    const auto entries = ParseThesaurus(data, QStringLiteral("rules.dat"));
    QCOMPARE(headwords(entries), expectedHeadwords);
    if (!entries.empty())
        QCOMPARE(describeAll(entries.front()), firstSynonyms);
}

void TestImporter::labels_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("a synonym in several meanings: each kept, the first listed")
        << ""
        << QByteArray("UTF-8\nrock|3\n(noun)|stone|shake (related term)\n(verb)|sway|shake\n"
                      "(verb)|shake|stone (antonym)\n")
        << QStringList{"stone / noun / synonym / 1 /  *", "shake / noun / related term / 1 /  *",
                       "sway / verb / synonym / 2 /  *",  "shake / verb / synonym / 2 / ",
                       "shake / verb / synonym / 3 / ",   "stone / verb / antonym / 3 / "};
    QTest::newRow("antonyms and generic terms kept, never listed")
        << "" << QByteArray("UTF-8\nw|1\n(noun)|a (antonym)|b (generic term)|c\n")
        << QStringList{"a / noun / antonym / 1 / ", "b / noun / generic term / 1 / ",
                       "c / noun / synonym / 1 /  *"};
    QTest::newRow("no synonym kind: broader and narrower terms listed once, never an antonym")
        << "pl"
        << QByteArray("UTF-8\nw|1\n-|a (pojęcie podrzędne)|b (pojęcie nadrzędne)|"
                      "a (pot.) (pojęcie podrzędne)|c (antonim)|b (pojęcie podrzędne)\n")
        << QStringList{"a /  / narrower term / 1 /  +", "b /  / generic term / 1 /  +",
                       "a /  / narrower term / 1 / pot.", "c /  / antonym / 1 / ",
                       "b /  / narrower term / 1 / "};
    QTest::newRow("an antonym first does not hide a later synonym")
        << "" << QByteArray("UTF-8\nw|2\n(adj)|a (antonym)\n(adj)|a\n")
        << QStringList{"a / adj / antonym / 1 / ", "a / adj / synonym / 2 /  *"};
    QTest::newRow("a repeat within one meaning dropped, each other relation kept")
        << ""
        << QByteArray("UTF-8\nw|1\n(verb)|a (generic term)|a|a (similar term)|a (generic term)\n")
        << QStringList{"a / verb / generic term / 1 / ", "a / verb / synonym / 1 /  *",
                       "a / verb / similar term / 1 / "};
    QTest::newRow("a space inside a label's bracket")
        << "uk" << QByteArray("UTF-8\nw|1\n|(перен. )(див.) базікати|(див. )грудь|a ( розм.)\n")
        << QStringList{"базікати /  / synonym / 1 / перен., див. *",
                       "грудь /  / synonym / 1 / див. *", "a /  / synonym / 1 / розм. *"};
    QTest::newRow("a repeated entry: its meanings once")
        << "de" << QByteArray("UTF-8\nw|2\n-|a|b (ugs.)\n-|c\nw|2\n-|a|b (ugs.)\n-|c\n")
        << QStringList{"a /  / synonym / 1 /  *", "b /  / synonym / 1 / ugs. *",
                       "c /  / synonym / 2 /  *"};
    QTest::newRow("a repeated meaning: later meanings counted without it")
        << "" << QByteArray("UTF-8\nw|3\n(adj)|a\n(adj)|a\n(verb)|a\nw|1\n(noun)|b\n")
        << QStringList{"a / adj / synonym / 1 /  *", "a / verb / synonym / 2 / ",
                       "b / noun / synonym / 3 /  *"};
    QTest::newRow("meanings differing in a label, a note or the terms' order all kept")
        << "de" << QByteArray("UTF-8\nw|4\n-|a\n-|a (ugs.)\n(adj)|a\n-|b|a\nw|2\n-|a|b\n-|a|b|c\n")
        << QStringList{"a /  / synonym / 1 /  *",  "a /  / synonym / 2 / ugs.",
                       "a / adj / synonym / 3 / ", "b /  / synonym / 4 /  *",
                       "a /  / synonym / 4 / ",    "a /  / synonym / 5 / ",
                       "b /  / synonym / 5 / ",    "a /  / synonym / 6 / ",
                       "b /  / synonym / 6 / ",    "c /  / synonym / 6 /  *"};
    QTest::newRow("meaning lines without a bar: labels in front, then one term")
        << "" << QByteArray("UTF-8\nw|4\n(adj) b\n(noun)c d\nno bar\nverb\n")
        << QStringList{"b / adj / synonym / 1 /  *", "c d / noun / synonym / 2 /  *",
                       "no bar /  / synonym / 3 /  *"};
    QTest::newRow("a repeated headword goes on counting its meanings")
        << "" << QByteArray("UTF-8\nw|1\n(adj)|a\nw|1\n(verb)|a|b\n")
        << QStringList{"a / adj / synonym / 1 /  *", "a / verb / synonym / 2 / ",
                       "b / verb / synonym / 2 /  *"};
    QTest::newRow("Russian relations where English has its part of speech")
        << "ru"
        << QByteArray("UTF-8\nад|3\n(синоним)|пекло (прост.)\n(сходный термин)|бездна\n"
                      "(антоним)|рай\n")
        << QStringList{"пекло /  / synonym / 1 / прост. *", "бездна /  / similar term / 2 /  *",
                       "рай /  / antonym / 3 / "};
    QTest::newRow("Spanish antonym as Debian's file spells it")
        << "es" << QByteArray("ISO8859-1\nahorrador|1\n-|gastador (Ant\xEF\xBF\xBDnimo)|frugal\n")
        << QStringList{"gastador /  / antonym / 1 / ", "frugal /  / synonym / 1 /  *"};
    QTest::newRow("German labels: relation, usage notes, the headword as main form dropped")
        << "de"
        << QByteArray("UTF-8\nAuto|1\n-|Auto (Hauptform)|Karre (ugs.)|Fahrzeug (Oberbegriff)|"
                      "Kiste (ugs., fig.)|(sich) etwas leisten|Wagen (mit)\n")
        << QStringList{"Karre /  / synonym / 1 / ugs. *", "Fahrzeug /  / generic term / 1 / ",
                       "Kiste /  / synonym / 1 / ugs., fig. *",
                       "(sich) etwas leisten /  / synonym / 1 /  *",
                       "Wagen (mit) /  / synonym / 1 /  *"};
    QTest::newRow("Italian parts of speech, gender and definitions to the note")
        << "it" << QByteArray("UTF-8\nw|4\n(s.f.)|a\n(agg.)|b\n(v. Avvilire)|c\n(avv.)|d\n")
        << QStringList{"a / noun / synonym / 1 / s.f. *", "b / adj / synonym / 2 /  *",
                       "c / verb / synonym / 3 / Avvilire *", "d / adv / synonym / 4 /  *"};
    QTest::newRow("Portuguese: a relation followed by a word is no part of speech")
        << "pt" << QByteArray("UTF-8\naba|2\n(Sinônimo)amparo|amparo|apoio\n(s.)|borda\n")
        << QStringList{"amparo /  / synonym / 1 / amparo *", "apoio /  / synonym / 1 / amparo *",
                       "borda / noun / synonym / 2 /  *"};
    QTest::newRow("Galician and Czech labels of several words")
        << "gl"
        << QByteArray("UTF-8\nw|2\n(adxectivo / substantivo masculino)|a\n(verbo transitivo)|b\n")
        << QStringList{"a / adj noun / synonym / 1 / masculino *",
                       "b / verb / synonym / 2 / transitivo *"};
    QTest::newRow("Czech") << "cs"
                           << QByteArray("UTF-8\nw|2\n(podst. jm.)|a (angl.)|b (do vody)\n"
                                         "(příd. jm.)|c\n")
                           << QStringList{"a / noun / synonym / 1 / angl. *",
                                          "b (do vody) / noun / synonym / 1 /  *",
                                          "c / adj / synonym / 2 /  *"};
    QTest::newRow("Romanian label in front of the term")
        << "ro" << QByteArray("UTF-8\nw|1\n(subst)|(înv. și reg.) a|(la) b\n")
        << QStringList{"a / noun / synonym / 1 / înv. și reg. *",
                       "(la) b / noun / synonym / 1 /  *"};
    QTest::newRow("a word joining two labels")
        << "ro" << QByteArray("UTF-8\nw|1\n(subst)|(Maram. și Olt.) a|(Olt. și la) b\n")
        << QStringList{"a / noun / synonym / 1 / Maram., Olt. *",
                       "(Olt. și la) b / noun / synonym / 1 /  *"};
    QTest::newRow("Indonesian square brackets")
        << "id" << QByteArray("UTF-8\nw|2\n[n]|a\n[ant]|b\n")
        << QStringList{"a / noun / synonym / 1 /  *", "b /  / antonym / 2 / "};
    QTest::newRow("Slovene and Polish broader and narrower terms")
        << "sl" << QByteArray("UTF-8\nw|1\n(sam.)|a (podpomenka)|b (nadpomenka)|c (pogovorno)\n")
        << QStringList{"a / noun / narrower term / 1 / ", "b / noun / generic term / 1 / ",
                       "c / noun / synonym / 1 / pogovorno *"};
    QTest::newRow("a label not in the table stays as written")
        << "bg" << QByteArray("UTF-8\nw|2\n(словосъч.)|a\n(гл.)|b\n")
        << QStringList{"a / словосъч. / synonym / 1 /  *", "b / verb / synonym / 2 /  *"};
    QTest::newRow("a definition where the part of speech goes is a note")
        << "uk" << QByteArray("UTF-8\nw|1\n(про переливи кольорів)|a|(пор.) b\n")
        << QStringList{"a /  / synonym / 1 / про переливи кольорів *",
                       "b /  / similar term / 1 / про переливи кольорів *"};
    QTest::newRow("a label between other brackets")
        << "uk" << QByteArray("UTF-8\nw|1\n|(легковий) (розм.) авто|(a) b (c)\n")
        << QStringList{"(легковий) авто /  / synonym / 1 / розм. *",
                       "(a) b (c) /  / synonym / 1 /  *"};
    QTest::newRow("a definition, then usage labels in a bracket of their own")
        << "uk" << QByteArray("UTF-8\nw|1\n(кидати) (розм.)|a\n")
        << QStringList{"a /  / synonym / 1 / кидати, розм. *"};
    QTest::newRow("a language without parts of speech: unlisted labels are notes")
        << "uk" << QByteArray("UTF-8\nw|1\n(кого)|a\n")
        << QStringList{"a /  / synonym / 1 / кого *"};
    QTest::newRow("that rule holds for its language alone")
        << "" << QByteArray("UTF-8\nw|1\n(кого)|a\n") << QStringList{"a / кого / synonym / 1 /  *"};
    QTest::newRow("a character's code is no part of speech")
        << "hu" << QByteArray("UTF-8\n\xE2\x85\x99|1\n(U+2159)|egyhatod\n")
        << QStringList{"egyhatod /  / synonym / 1 / U+2159 *"};
    QTest::newRow("a square bracket closed by a brace")
        << "id" << QByteArray("UTF-8\nw|1\n[v}|a\n") << QStringList{"a / verb / synonym / 1 /  *"};
    QTest::newRow("another language's labels do not apply")
        << "fr" << QByteArray("UTF-8\nw|1\n(s.f.)|a (ugs.)\n")
        << QStringList{"a (ugs.) / s.f. / synonym / 1 /  *"};
}

void TestImporter::labels() {
    QFETCH(QString, language);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expected);
    const auto entries = ParseThesaurus(data, QStringLiteral("labels.dat"), language);
    QCOMPARE(entries.size(), size_t(1));
    QCOMPARE(describeSenses(entries.front()), expected);
}

void TestImporter::labelTableRejects_data() {
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<int>("line");

    QTest::newRow("unknown kind") << QByteArray("# c\nugs.\tde\tnote\tugs.\nx\tde\tgenre\tx\n")
                                  << 3;
    QTest::newRow("too few fields") << QByteArray("\nugs.\tde\n") << 2;
    QTest::newRow("too many fields") << QByteArray("a\tde\tpos\tnoun\tn\textra\n") << 1;
    QTest::newRow("empty label") << QByteArray("\tde\tnote\tx\n") << 1;
}

void TestImporter::labelTableRejects() {
    QFETCH(QByteArray, table);
    QFETCH(int, line);
    try {
        ThesaurusLabels(table, QStringLiteral("labels.tsv"), QStringLiteral("de"));
        QFAIL("accepted");
    } catch (const ThesaurusError& error) {
        QCOMPARE(error.line(), line);
        QCOMPARE(error.sourceName(), QStringLiteral("labels.tsv"));
    }
}

void TestImporter::languageOfFileName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("language");
    QTest::newRow("versioned") << "/usr/share/mythes/th_de_DE_v2.dat"
                               << "de";
    QTest::newRow("three letters") << "th_gug_PY_v2.dat"
                                   << "gug";
    QTest::newRow("no version") << "th_pt_BR.dat"
                                << "pt";
    QTest::newRow("French's other name") << "thes_fr.dat"
                                         << "fr";
    QTest::newRow("none") << "mini_thesaurus.dat"
                          << "";
    QTest::newRow("folder name not used") << "th_de_DE/words.dat"
                                          << "";
}

void TestImporter::languageOfFileName() {
    QFETCH(QString, path);
    QFETCH(QString, language);
    QCOMPARE(ThesaurusLanguage(path), language);
}

// Debian's own files, as bootstrap installs them: a word of each and what it must answer.
void TestImporter::realThesauri_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QString>("synonym");
    QTest::addColumn<QString>("expected"); // pos / relation / note of its first meaning

    QTest::newRow("Russian antonym") << "th_ru_RU_v2.dat"
                                     << "ад"
                                     << "рай"
                                     << " / antonym / ";
    QTest::newRow("Spanish antonym") << "th_es_ES_v2.dat"
                                     << "ahorrador"
                                     << "gastador"
                                     << "adj / antonym / ";
    QTest::newRow("German generic term") << "th_de_DE_v2.dat"
                                         << "auto"
                                         << "Fahrzeug"
                                         << " / generic term / ";
    QTest::newRow("Italian noun") << "th_it_IT_v2.dat"
                                  << "casa"
                                  << "abitazione"
                                  << "noun / synonym / s.f.";
    QTest::newRow("French combined part of speech") << "th_fr_FR_v2.dat"
                                                    << "rouge"
                                                    << "écarlate"
                                                    << "adv adj noun / synonym / ";
}

void TestImporter::realThesauri() {
    QFETCH(QString, file);
    QFETCH(QString, headword);
    QFETCH(QString, synonym);
    QFETCH(QString, expected);
    const QString path = QStringLiteral("/usr/share/mythes/") + file;
    const auto entries = ParseThesaurus(readFile(path), path, ThesaurusLanguage(path));
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const ThesaurusEntry& e) {
        return e.headword == headword;
    });
    QVERIFY2(entry != entries.end(), qPrintable(headword));
    const auto found = std::find_if(entry->synonyms.begin(), entry->synonyms.end(),
                                    [&](const ThesaurusSynonym& s) { return s.text == synonym; });
    QVERIFY2(found != entry->synonyms.end(), qPrintable(describeSenses(*entry).join('\n')));
    QCOMPARE(found->partOfSpeech + " / " + found->relation + " / " + found->note, expected);
    // Whatever a bracket held, no label is left on a term the table knows.
    for (const ThesaurusSynonym& s : entry->synonyms)
        QVERIFY2(!s.text.endsWith(QStringLiteral("(Oberbegriff)")) &&
                     !s.text.endsWith(QStringLiteral("nimo)")),
                 qPrintable(s.text));
}

// Debian's files read exactly: every (pos / relation / sense / note) of one synonym of a word.
void TestImporter::realMeanings_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QString>("synonym");
    QTest::addColumn<QStringList>("expected");
    const auto row = [](const char* name, const char* file, const char* headword,
                        const char* synonym, const QStringList& expected) {
        QTest::newRow(name) << QString::fromUtf8(file) << QString::fromUtf8(headword)
                            << QString::fromUtf8(synonym) << expected;
    };
    row("English similar and related term", "th_en_US_v2.dat", "abundant", "ample",
        {"adj / similar term / 1 / ", "adj / related term / 1 / "});
    row("Ukrainian synonym and compared term", "th_uk_UA_v2.dat", "лютий", "жорстокий",
        {" / synonym / 1 / ", " / similar term / 1 / "});
    // The entry is given three times: its last meaning is the third, with both labels.
    row("German entry given three times", "th_de_DE_v2.dat", "schön", "wacker",
        {" / synonym / 3 / ugs., ruhrdt."});
}

void TestImporter::realMeanings() {
    QFETCH(QString, file);
    QFETCH(QString, headword);
    QFETCH(QString, synonym);
    QFETCH(QStringList, expected);
    const QString path = QStringLiteral("/usr/share/mythes/") + file;
    QStringList found;
    for (const ThesaurusEntry& entry :
         ParseThesaurus(readFile(path), path, ThesaurusLanguage(path)))
        for (const ThesaurusSynonym& s : entry.synonyms)
            if (entry.headword == headword && s.text == synonym)
                found << s.partOfSpeech + " / " + s.relation + " / " + QString::number(s.sense) +
                             " / " + s.note;
    QCOMPARE(found, expected);
}

void TestImporter::encodings_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QString>("synonym");

    const QByteArray latin1Body("caf\xE9|1\n(noun)|na\xEFve\n");
    QTest::newRow("ISO8859-1") << "ISO8859-1\n" + latin1Body << "café"
                               << "naïve";
    QTest::newRow("ISO-8859-1") << "ISO-8859-1\n" + latin1Body << "café"
                                << "naïve";
    QTest::newRow("latin1") << "Latin1\n" + latin1Body << "café"
                            << "naïve";

    // Each of the eight code points where Latin-9 departs from Latin-1, plus one where it does not.
    const QByteArray latin9Body("c\xBDur|1\n(noun)|\xA4 \xA6\xA8\xB4\xB8\xBC\xBE caf\xE9\n");
    QTest::newRow("ISO8859-15") << "ISO8859-15\n" + latin9Body << "cœur"
                                << "€ ŠšŽžŒŸ café";
    QTest::newRow("ISO-8859-15") << "iso-8859-15\n" + latin9Body << "cœur"
                                 << "€ ŠšŽžŒŸ café";

    const QByteArray cyrillicBody("\xEC\xE8\xF0|1\n(noun)|\xF1\xE2\xE5\xF2\n");
    QTest::newRow("microsoft-cp1251") << "microsoft-cp1251\n" + cyrillicBody << "мир"
                                      << "свет";
    QTest::newRow("windows-1251") << "windows-1251\n" + cyrillicBody << "мир"
                                  << "свет";
    QTest::newRow("CP1251 outside the alphabet block")
        << QByteArray("CP1251\n\xA8\xEB\xEA\xE0|1\n(noun)|\xB8\xEB\xEA\xE0 \x80\x90 \xB9\n")
        << "Ёлка"
        << "ёлка Ђђ №";

    QTest::newRow("UTF8") << QByteArray("UTF8\ncaf\xC3\xA9|1\n(noun)|\xE2\x82\xAC\n") << "café"
                          << "€";
    QTest::newRow("left to Qt: KOI8-R")
        << QByteArray("KOI8-R\n\xCD\xC9\xD2|1\n(noun)|\xD3\xD7\xC5\xD4\n") << "мир"
        << "свет";
}

void TestImporter::encodings() {
    QFETCH(QByteArray, data);
    QFETCH(QString, headword);
    QFETCH(QString, synonym);
    if (data.startsWith("KOI8-R") && !QStringDecoder("KOI8-R").isValid())
        QSKIP("this Qt decodes no KOI8-R");
    const auto entries = ParseThesaurus(data, QStringLiteral("encoded.dat"));
    QCOMPARE(entries.size(), size_t(1));
    QCOMPARE(entries.front().headword, headword);
    QCOMPARE(entries.front().synonyms.size(), size_t(1));
    QCOMPARE(entries.front().synonyms.front().text, synonym);
}

void TestImporter::cp1251AgreesWithIcu() {
    QStringDecoder reference("windows-1251");
    if (!reference.isValid())
        QSKIP("no independent windows-1251 decoder in this Qt");
    QByteArray high;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (byte != 0x98)
            high += char(byte);
    }
    // Letters around the bytes keep NBSP at the edges from being trimmed away.
    const QByteArray term = "a" + high + "z";
    const auto entries = ParseThesaurus("cp1251\nw|1\n(noun)|" + term + "\n", "cp1251.dat");
    QCOMPARE(entries.front().synonyms.front().text, QString(reference.decode(term)));
}

void TestImporter::malformed_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("problemContains");

    QTest::newRow("empty file") << QByteArray() << 1 << "";
    QTest::newRow("only a BOM") << QByteArray("\xEF\xBB\xBF") << 1 << "";
    QTest::newRow("blank encoding line") << QByteArray("\nw|1\n(adj)|a\n") << 1 << "";
    QTest::newRow("unknown encoding")
        << QByteArray("NO-SUCH-CHARSET\nw|1\n(adj)|a\n") << 1 << "unknown encoding NO-SUCH-CHARSET";
    QTest::newRow("headword line without bar") << QByteArray("UTF-8\nw|1\n(adj)|a\nlonely\n") << 4
                                               << "expected a headword line \"word|count\"";
    QTest::newRow("zero count") << QByteArray("UTF-8\nw|0\n(adj)|a\n") << 2 << "";
    QTest::newRow("negative count") << QByteArray("UTF-8\nw|-1\n(adj)|a\n") << 2 << "";
    QTest::newRow("count with letters") << QByteArray("UTF-8\nw|2x\n(adj)|a\n(adj)|b\n") << 2 << "";
    QTest::newRow("missing count") << QByteArray("UTF-8\nw|\n(adj)|a\n") << 2 << "";
    QTest::newRow("entry without headword, bad meaning line")
        << QByteArray("UTF-8\n|1\n(adj)|caf\xC3\nw|1\n(adj)|a\n") << 3 << "";
    // Blamed on the headword line, not on the trailing blank line the count runs into.
    QTest::newRow("more meanings claimed than lines left")
        << QByteArray("UTF-8\nw|1\n(adj)|a\nv|4\n(adj)|b\n(adj)|c\n\n") << 4 << "";
    QTest::newRow("absurd count")
        << QByteArray("UTF-8\nw|99999999999999999999999\n(adj)|a\nv|1\n(adj)|b\n\n") << 2 << "";
    QTest::newRow("blank line among meanings")
        << QByteArray("UTF-8\nw|2\n(adj)|a\n\n(adj)|b\n") << 4 << "";
    QTest::newRow("NUL in encoding line")
        << QByteArrayLiteral("UTF-8\0\nw|1\n(adj)|a\n") << 1 << "";
    QTest::newRow("NUL in headword line")
        << QByteArrayLiteral("UTF-8\nw\0|1\n(adj)|a\n") << 2 << "";
    QTest::newRow("NUL in meaning line")
        << QByteArrayLiteral("UTF-8\nw|1\n(adj)|a\0b\n") << 3 << "";
    QTest::newRow("bad UTF-8 in headword") << QByteArray("UTF-8\nw\xFF|1\n(adj)|a\n") << 2 << "";
    QTest::newRow("bad UTF-8 in meaning")
        << QByteArray("UTF-8\nw|1\n(adj)|a\nv|1\n(adj)|caf\xC3\n") << 5 << "";
    QTest::newRow("overlong UTF-8") << QByteArray("UTF-8\nw|1\n(adj)|\xC0\xAF\n") << 3 << "";
    QTest::newRow("UTF-8 sequence cut by the line end")
        << QByteArray("UTF-8\nw|1\n(adj)|\xE2\x82\n\xAC\n") << 3 << "";
    QTest::newRow("undefined cp1251 byte")
        << QByteArray("cp1251\nw|1\n(noun)|a\x98z\n") << 3 << "0x98";
    QTest::newRow("CR LF file") << QByteArray("UTF-8\r\nw|1\r\n(adj)|a\r\nv|x\r\n") << 4 << "";
    QTest::newRow("BOM does not shift lines")
        << QByteArray("\xEF\xBB\xBFUTF-8\nlonely\n") << 2 << "";
}

void TestImporter::malformed() {
    QFETCH(QByteArray, data);
    QFETCH(int, line);
    QFETCH(QString, problemContains);
    const QString source = QStringLiteral("/data/bad.dat");
    try {
        const auto entries = ParseThesaurus(data, source);
        QFAIL(qPrintable(QStringLiteral("accepted, giving %1 entries").arg(entries.size())));
    } catch (const ThesaurusError& error) {
        QCOMPARE(error.sourceName(), source);
        QCOMPARE(error.line(), line);
        QVERIFY(!error.problem().isEmpty());
        QVERIFY2(error.problem().contains(problemContains), error.what());
        QCOMPARE(QString::fromUtf8(error.what()),
                 QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(error.problem()));
    }
}

void TestImporter::databaseHoldsParsedEntries() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("words.mdb"));
    const auto entries = ParseThesaurus(readFile(kFixture), kFixture);
    WriteSynonymDatabase(entries, path);
    QCOMPARE(folderListing(dir.path()), QStringList{"words.mdb"});

    QStringList expectedHeadwords;
    QStringList expectedSynonyms;
    int id = 0;
    for (const ThesaurusEntry& entry : entries) {
        expectedHeadwords << QStringLiteral("%1 / %2").arg(++id).arg(entry.headword);
        int seq = 0;
        for (const QString& synonym : describeSenses(entry))
            expectedSynonyms << QStringLiteral("%1 / %2 / %3").arg(id).arg(++seq).arg(synonym);
    }

    Database db(path);
    QCOMPARE(db.number("PRAGMA application_id"), qint64(0x4C584756));
    QCOMPARE(db.number("PRAGMA user_version"), qint64(7));
    QCOMPARE(db.rows("SELECT id, word FROM headword ORDER BY id"), expectedHeadwords);
    // Without inflected forms, each headword is filed under its own folded key alone.
    QStringList expectedKeys;
    for (const QString& row : expectedHeadwords)
        expectedKeys << row.toCaseFolded();
    QCOMPARE(db.rows("SELECT headword_id, key FROM form ORDER BY headword_id"), expectedKeys);
    QCOMPARE(db.rows("SELECT headword_id, seq, synonym, pos, relation, sense, note || "
                     "iif(listed = 1, ' *', iif(listed, ' +', '')) FROM synonym "
                     "ORDER BY headword_id, seq"),
             expectedSynonyms);
    QCOMPARE(db.rows("PRAGMA integrity_check"), QStringList{"ok"});
}

void TestImporter::databaseLookups_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("thesaurus order, any letter case")
        << "word='HAPPY'"
        << QStringList{"glad", "cheerful", "joyful", "felicitous", "fortunate", "content", "merry"};
    QTest::newRow("apostrophe") << "word='don''t'" << QStringList{"do not", "refrain"};
    QTest::newRow("non-ASCII") << "word='café'"
                               << QStringList{"coffee shop", "coffeehouse", "bistro", "brasserie"};
    QTest::newRow("term with parentheses")
        << "word='Lincoln'" << QStringList{"Lincoln (city)", "Abraham Lincoln"};
    QTest::newRow("only a generic term") << "word='void'" << QStringList{"emptiness"};
    QTest::newRow("unknown word") << "word='sad'" << QStringList{};
}

void TestImporter::databaseLookups() {
    QFETCH(QString, where);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("words.mdb"));
    ImportThesaurus(kFixture, path);
    Database db(path);
    QCOMPARE(db.rows("SELECT synonym FROM qrySynonyms WHERE " + where), expected);
}

void TestImporter::lookupUsesIndex() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("words.mdb"));
    ImportThesaurus(kFixture, path);
    Database db(path);
    QCOMPARE(db.number("SELECT count(*) FROM headword WHERE word='void'"), qint64(1));
    const QStringList plan =
        db.rows("EXPLAIN QUERY PLAN SELECT * FROM qrySynonyms WHERE word='happy'");
    // Columns are id / parent / notused / detail; only the detail matters.
    QVERIFY2(plan.join('\n').contains("SEARCH f USING PRIMARY KEY (key=?)"),
             qPrintable(plan.join('\n')));
    for (const QString& step : plan)
        QVERIFY2(!step.section(" / ", 3).startsWith("SCAN"), qPrintable(step));
}

void TestImporter::keyUnderSeveralHeadwords_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<QStringList>("expected");
    // casas is filed under casa and under casar; "b" is a synonym of both.
    QTest::newRow("qrySynonyms: each synonym once, headwords in thesaurus order")
        << "SELECT synonym FROM qrySynonyms WHERE word='Casas'" << QStringList{"a", "b", "c"};
    QTest::newRow("qryRelations: every meaning of each headword")
        << "SELECT synonym, sense, relation FROM qryRelations WHERE word='casas'"
        << QStringList{"a / 1 / synonym", "b / 1 / synonym", "d / 2 / antonym", "b / 1 / synonym",
                       "c / 1 / synonym"};
    QTest::newRow("a headword alone keeps its own") << "SELECT synonym FROM qrySynonyms WHERE "
                                                       "word='casar'"
                                                    << QStringList{"b", "c"};
    QTest::newRow("qrySynonyms: no stand-in beside a synonym, nor hiding one")
        << "SELECT synonym FROM qrySynonyms WHERE word='cosas'" << QStringList{"b", "h"};
    QTest::newRow("qrySynonyms: stand-ins where no headword gives a synonym, each once")
        << "SELECT synonym FROM qrySynonyms WHERE word='cosos'" << QStringList{"e", "b", "g"};
}

void TestImporter::keyUnderSeveralHeadwords() {
    QFETCH(QString, view);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("words.mdb"));
    const auto entries = ParseThesaurus(
        "UTF-8\ncasa|2\n(noun)|a|b\n(noun)|d (antonym)\ncasar|1\n(verb)|b|c\n"
        "cosa|1\n(noun)|e (generic term)|b (narrower term)|f (antonym)\ncose|1\n(verb)|b|h\n"
        "coso|1\n(noun)|e (generic term)|g (narrower term)\n",
        "casas.dat");
    WriteSynonymDatabase(entries, path,
                         InflectedForms{{{"casas", "casa"}, {"casas", "casar"}, {"cosas", "cosa"},
                                         {"cosas", "cose"}, {"cosos", "cosa"}, {"cosos", "coso"}},
                                        {}});
    Database db(path);
    QCOMPARE(db.rows(view), expected);
}

void TestImporter::importedRows_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("thesaurus");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");

    const QByteArray abundant("UTF-8\nabundant|1\n(adj)|ample (similar term)|rich|"
                              "ample (related term)|scarce (antonym)\n");
    QTest::newRow("qryRelations: a row per term, meaning and relation")
        << "th_en_US.dat" << abundant
        << "SELECT synonym, relation, sense FROM qryRelations WHERE word='abundant'"
        << QStringList{"ample / similar term / 1", "rich / synonym / 1", "ample / related term / 1",
                       "scarce / antonym / 1"};
    QTest::newRow("qrySynonyms: each synonym once")
        << "th_en_US.dat" << abundant
        << "SELECT synonym, relation FROM qrySynonyms WHERE word='abundant'"
        << QStringList{"ample / similar term", "rich / synonym"};
    QTest::newRow("entries differing in letter case stay merged under one key")
        << "th_cs_CZ.dat" << QByteArray("UTF-8\nPětka|1\n|Nedostatečná\npětka|1\n|pět\n")
        << "SELECT synonym, sense FROM qryRelations WHERE word='pětka'"
        << QStringList{"Nedostatečná / 1", "pět / 1"};
    // The shared vocabulary with 0 where this file holds none, and a label kept as written.
    QTest::newRow("kinds: the vocabulary and what is held")
        << "th_bg_BG.dat"
        << QByteArray("UTF-8\nw|3\n(прил.)|a|b (antonym)\n(словосъч.)|c\n(adj noun)|d\n")
        << "SELECT field, value, pairs FROM kinds WHERE pairs > 0 OR value IN ('adv', "
           "'narrower term', 'prep') ORDER BY field, value"
        << QStringLiteral("pos / adj / 3, pos / adv / 0, pos / noun / 1, pos / prep / 0, "
                          "pos / словосъч. / 1, relation / antonym / 1, "
                          "relation / narrower term / 0, relation / synonym / 3")
               .split(QStringLiteral(", "));
}

void TestImporter::importedRows() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, thesaurus);
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath(fileName), thesaurus);
    const QString path = dir.filePath(QStringLiteral("words.mdb"));
    ImportThesaurus(dir.filePath(fileName), path);
    Database db(path);
    QCOMPARE(db.rows(query), expected);
}

void TestImporter::failedWriteLeavesNothing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("setUp");

    QTest::newRow("output folder missing") << "missing/words.mdb"
                                           << "";
    QTest::newRow("target is a folder") << "words.mdb"
                                        << "folder";
    QTest::newRow("failure while writing over an existing file") << "words.mdb"
                                                                 << "file";
}

void TestImporter::failedWriteLeavesNothing() {
    QFETCH(QString, target);
    QFETCH(QString, setUp);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(target);
    auto entries = validEntries();
    if (setUp == "folder")
        QVERIFY(QDir(dir.path()).mkdir(target));
    if (setUp == "file") {
        writeFile(path, "previous database");
        // Rejected only when its row is reached, after the temporary file exists.
        entries.push_back(ThesaurusEntry{QString(), {}});
    }
    const QStringList before = folderListing(dir.path());

    try {
        WriteSynonymDatabase(entries, path);
        QFAIL("write succeeded");
    } catch (const ThesaurusError& error) {
        QCOMPARE(error.sourceName(), path);
        QCOMPARE(error.line(), 0);
        QVERIFY(!error.problem().isEmpty());
        QCOMPARE(QString::fromUtf8(error.what()), path + ": " + error.problem());
    }

    QCOMPARE(folderListing(dir.path()), before);
    if (setUp == "folder")
        QVERIFY(QFileInfo(path).isDir());
    if (setUp == "file")
        QCOMPARE(readFile(path), QByteArray("previous database"));
}

void TestImporter::successfulWriteReplacesTarget() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("words.mdb"));
    writeFile(path, "previous database");
    WriteSynonymDatabase(validEntries(), path);
    QCOMPARE(folderListing(dir.path()), QStringList{"words.mdb"});
    Database db(path);
    QCOMPARE(db.rows("SELECT word, synonym, pos, relation FROM qrySynonyms"),
             QStringList{"happy / glad / adj / synonym"});
}

void TestImporter::importerFails_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("blamed");
    QTest::addColumn<QString>("location");

    const QByteArray valid("UTF-8\nw|1\n(adj)|a\n");
    QTest::newRow("malformed thesaurus")
        << QByteArray("UTF-8\nw|1\n(adj)|a\nv|two\n(adj)|b\n") << QStringList() << "thesaurus.dat"
        << ":4: ";
    QTest::newRow("missing thesaurus") << QByteArray() << QStringList() << "thesaurus.dat"
                                       << ": ";
    QTest::newRow("missing dictionary")
        << valid << QStringList{"--hunspell", "xx.dic", "--word-list", "thesaurus.dat"} << "xx.aff"
        << ": cannot read";
    QTest::newRow("missing dictionary, no word list")
        << valid << QStringList{"--hunspell", "xx.dic"} << "xx.aff"
        << ": cannot read";
    QTest::newRow("word list without dictionary")
        << valid << QStringList{"--word-list", "bad.txt"} << "bad.txt"
        << ": a word list needs a Hunspell dictionary";
    QTest::newRow("word list not UTF-8")
        << valid << QStringList{"--hunspell", "en.dic", "--word-list", "bad.txt"} << "bad.txt"
        << ":2: ";
}

void TestImporter::importerFails() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, options);
    QFETCH(QString, blamed);
    QFETCH(QString, location);
    QVERIFY2(QFileInfo::exists(kImporter), "build the lexigrove-import target first");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString datPath = dir.filePath(QStringLiteral("thesaurus.dat"));
    if (!input.isNull())
        writeFile(datPath, input);
    writeFile(dir.filePath("en.aff"), "SET UTF-8\n");
    writeFile(dir.filePath("en.dic"), "1\nword\n");
    writeFile(dir.filePath("bad.txt"), "word\ncaf\xE9\n");
    const QStringList before = folderListing(dir.path());

    QStringList arguments;
    for (const QString& option : options)
        arguments << (option.startsWith("--") ? option : dir.filePath(option));
    const ImporterRun run =
        runImporter(arguments << datPath << dir.filePath(QStringLiteral("words.mdb")));
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.standardError.startsWith("lexigrove-import: " + dir.filePath(blamed) + location),
             qPrintable(run.standardError));
    QVERIFY2(run.standardError.endsWith('\n') && run.standardError.count('\n') == 1,
             qPrintable(run.standardError));
    QCOMPARE(folderListing(dir.path()), before);
}

void TestImporter::importerSucceeds() {
    QVERIFY2(QFileInfo::exists(kImporter), "build the lexigrove-import target first");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("words.mdb"));

    const ImporterRun wrongUse = runImporter({kFixture});
    QCOMPARE(wrongUse.exitCode, 2);
    QVERIFY(wrongUse.standardError.contains("lexigrove-import --help"));

    const ImporterRun run = runImporter({kFixture, path});
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QVERIFY2(run.standardError.startsWith("lexigrove-import: wrote " + path + ": 6 headwords"),
             qPrintable(run.standardError));
    QCOMPARE(run.exitCode, 0);
    // One line of what it wrote.
    QCOMPARE(run.standardError.count(u'\n'), 1);
    QCOMPARE(folderListing(dir.path()), QStringList{"words.mdb"});
    Database db(path);
    QCOMPARE(db.number("SELECT count(*) FROM headword"),
             qint64(ParseThesaurus(readFile(kFixture), kFixture).size()));
}

void TestImporter::englishDatabase() {
    if (!QFileInfo::exists(kEnglishDatabase))
        QSKIP("words.mdb has not been built from the English thesaurus");
    Database db(kEnglishDatabase);
    const QStringList happy = db.rows("SELECT synonym FROM qrySynonyms WHERE word='happy'");
    for (const char* expected : {"glad", "cheerful", "contented"})
        QVERIFY2(happy.contains(expected), expected);
    QVERIFY(!happy.contains("unhappy"));
    QVERIFY(!happy.contains("happy", Qt::CaseInsensitive));
}

QTEST_GUILESS_MAIN(TestImporter)
#include "test_importer.moc"
