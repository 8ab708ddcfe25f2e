// Any text as a word of the list, quoted and queried on a small synonym
// database: exactly the rows of the headwords equal to it ignoring letter
// case (ASCII or not), each row filed under the word's folded key, and a
// failure only for text that SQLite cannot hold.
#include "AppError.h"
#include "DbConnection.h"
#include "FuzzSupport.h"
#include "RecordSet.h"
#include "SynonymQuery.h"
#include "Thesaurus.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

namespace {
struct Fixture {
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/lexigrove-fuzz-XXXXXX")};
    DbConnection db;
    // Rows each word should give, keyed by its case-folded form.
    QHash<QString, qsizetype> rowsByWord;
};
// A static rather than a heap object, so that the folder is removed when
// the run ends.
Fixture fixture;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const QString source = QStringLiteral(LEXIGROVE_TEST_DATA "/lookup.dat");
    const QString path = fixture.folder.filePath(QStringLiteral("words.mdb"));
    ImportThesaurus(source, path);
    fixture.db.Open(DbConnection::ConnectionString(path));

    QFile file(source);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly), "cannot read the fixture");
    for (const ThesaurusEntry& entry : ParseThesaurus(file.readAll(), source))
        fixture.rowsByWord[entry.headword.toCaseFolded()] += qsizetype(entry.synonyms.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString word = FuzzText(data, size);
    const bool storable = !word.contains(QChar(0)) && word.isValidUtf16();
    RecordSet rs;
    qsizetype rows = 0;
    try {
        rs.Open(BuildSynonymQuery(word), fixture.db, RecordSet::adOpenStatic,
                RecordSet::adLockReadOnly);
        for (; !rs.Eof(); rs.MoveNext()) {
            FUZZ_CHECK(rs.Field(QStringLiteral("word")) == word.toCaseFolded(),
                       QStringLiteral("a row of another word: ") +
                           rs.Field(QStringLiteral("word")));
            ++rows;
        }
    } catch (const AppError& error) {
        FUZZ_CHECK(!storable, QStringLiteral("a word SQLite can hold failed: ") + error.what());
        FUZZ_CHECK(rs.State() == DbConnection::adStateClosed, "a failed query stays open");
        return 0;
    }
    FUZZ_CHECK(storable, "a word with a NUL or an unpaired surrogate was queried, not refused");
    FUZZ_CHECK(rows == fixture.rowsByWord.value(word.toCaseFolded()),
               QStringLiteral("%1 rows where the fixture has %2")
                   .arg(rows)
                   .arg(fixture.rowsByWord.value(word.toCaseFolded())));
    return 0;
}
