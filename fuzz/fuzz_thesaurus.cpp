// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a MyThes file: either a ThesaurusError that names a line of
// the file, or entries that keep the importer's rules and that the database
// writer stores completely.
#include "FuzzSupport.h"
#include "Thesaurus.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <sqlite3.h>

namespace {
const QString kSource = QStringLiteral("fuzz.dat");

// Lines end with LF, CR LF or a CR alone, as the importer reads them.
int lineCount(const QByteArray& bytes) {
    int lines = 0;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        const bool crAlone =
            bytes[at] == '\r' && (at + 1 == bytes.size() || bytes[at + 1] != '\n');
        if (bytes[at] == '\n' || crAlone)
            ++lines;
    }
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
        ++lines;
    return lines;
}

void checkError(const ThesaurusError& error, const QByteArray& bytes) {
    FUZZ_CHECK(error.sourceName() == kSource, "the error names another file");
    FUZZ_CHECK(!error.problem().trimmed().isEmpty(), "the error gives no reason");
    FUZZ_CHECK(error.line() >= 1 && error.line() <= std::max(1, lineCount(bytes)),
               QStringLiteral("the error names line %1, outside the file").arg(error.line()));
    FUZZ_CHECK(QString::fromStdString(error.what())
                   .startsWith(kSource + u':' + QString::number(error.line()) + u':'),
               "the message does not start with file and line");
}

void checkEntries(const std::vector<ThesaurusEntry>& entries) {
    static const QSet<QString> relations = {
        QStringLiteral("synonym"), QStringLiteral("similar term"), QStringLiteral("related term"),
        QStringLiteral("antonym"), QStringLiteral("generic term"), QStringLiteral("narrower term")};
    QSet<QString> headwords;
    for (const ThesaurusEntry& entry : entries) {
        FUZZ_CHECK(!entry.headword.isEmpty() && entry.headword == entry.headword.trimmed(),
                   "a headword is empty or untrimmed");
        FUZZ_CHECK(!headwords.contains(entry.headword), "a headword has two entries");
        headwords.insert(entry.headword);
        QSet<QString> seen, listed, synonymKinds;
        for (const ThesaurusSynonym& synonym : entry.synonyms) {
            FUZZ_CHECK(!synonym.text.isEmpty() && synonym.text == synonym.text.trimmed(),
                       "a synonym is empty or untrimmed");
            FUZZ_CHECK(!synonym.text.contains(u'|'), "a synonym holds a field separator");
            FUZZ_CHECK(synonym.text.compare(entry.headword, Qt::CaseInsensitive) != 0,
                       "a headword is its own synonym");
            const QString meaning =
                synonym.text + u'\n' + QString::number(synonym.sense) + u'\n' + synonym.relation;
            FUZZ_CHECK(!seen.contains(meaning),
                       "a synonym appears twice in one meaning with one relation");
            seen.insert(meaning);
            FUZZ_CHECK(synonym.sense >= 1 && synonym.sense <= entry.senses,
                       "a synonym names a meaning the entry does not have");
            FUZZ_CHECK(relations.contains(synonym.relation), "a synonym has an unknown relation");
            if (IsSynonymKind(synonym.relation))
                synonymKinds.insert(synonym.text);
            if (synonym.listed) {
                // Broader and narrower terms stand in only where the entry gives no synonym.
                FUZZ_CHECK(synonym.listed == kListedSynonym ? IsSynonymKind(synonym.relation)
                                                            : IsStandInKind(synonym.relation),
                           "an antonym, or a term of the wrong kind, is listed");
                FUZZ_CHECK(!listed.contains(synonym.text), "a synonym is listed twice");
                listed.insert(synonym.text);
            }
        }
    }
}

qint64 countRows(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    FUZZ_CHECK(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK,
               QString::fromUtf8(sqlite3_errmsg(db)));
    FUZZ_CHECK(sqlite3_step(statement) == SQLITE_ROW, QString::fromUtf8(sqlite3_errmsg(db)));
    const qint64 rows = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return rows;
}

// Writing a database takes milliseconds against microseconds for parsing, so
// only a fixed sample of the inputs (chosen by content, so a rerun of an input
// decides the same way) goes through the writer.
bool sampled(const QByteArray& bytes) {
    return qHash(bytes, 0) % 16 == 0;
}

void checkWritten(const std::vector<ThesaurusEntry>& entries) {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/lexigrove-fuzz-XXXXXX"));
    FUZZ_CHECK(folder.isValid(), "no temporary folder");
    const QString path = folder.filePath(QStringLiteral("words.mdb"));
    try {
        WriteSynonymDatabase(entries, path);
    } catch (const ThesaurusError& error) {
        FUZZ_CHECK(false, QStringLiteral("parsed entries could not be written: ") + error.what());
    }
    FUZZ_CHECK(QDir(folder.path()).entryList(QDir::Files) == QStringList{"words.mdb"},
               "the writer left another file behind");

    // Headwords of one key ("Happy", "happy") answer together, each synonym once.
    qint64 synonyms = 0, listed = 0;
    QHash<QString, QSet<QString>> listedByKey;
    for (const ThesaurusEntry& entry : entries) {
        synonyms += qint64(entry.synonyms.size());
        for (const ThesaurusSynonym& synonym : entry.synonyms)
            if (synonym.listed)
                listedByKey[WordKey(entry.headword)].insert(synonym.text);
    }
    for (const QSet<QString>& texts : std::as_const(listedByKey))
        listed += texts.size();
    sqlite3* db = nullptr;
    FUZZ_CHECK(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
                   SQLITE_OK,
               "the written database does not open");
    FUZZ_CHECK(countRows(db, "select count(*) from headword") == qint64(entries.size()),
               "the database lost headwords");
    FUZZ_CHECK(countRows(db, "select count(*) from form") == qint64(entries.size()),
               "a headword is not filed under its key exactly once");
    FUZZ_CHECK(countRows(db, "select count(*) from qrySynonyms") == listed,
               "the database lost synonyms");
    FUZZ_CHECK(countRows(db, "select count(*) from qryRelations") == synonyms,
               "the database lost meanings");
    sqlite3_close(db);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<ThesaurusEntry> entries;
    try {
        entries = ParseThesaurus(bytes, kSource);
    } catch (const ThesaurusError& error) {
        checkError(error, bytes);
        return 0;
    }
    checkEntries(entries);
    if (!entries.empty() && sampled(bytes))
        checkWritten(entries);
    return 0;
}
