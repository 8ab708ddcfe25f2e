// SPDX-License-Identifier: GPL-3.0-or-later
// Any text as a word of the list, quoted and queried on a small synonym
// database: exactly the rows of the headwords equal to it ignoring letter
// case (ASCII or not) and composition, each row filed under the word's key, and a
// failure only for text that SQLite cannot hold; the word bound directly finds as many.
#include "AppError.h"
#include "DbConnection.h"
#include "FuzzSupport.h"
#include "RecordSet.h"
#include "SynonymQuery.h"
#include "Thesaurus.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

namespace {
struct Fixture {
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/lexigrove-fuzz-XXXXXX")};
    DbConnection db;
    // The synonyms each word should give, keyed by its folded and composed form.
    QHash<QString, QSet<QString>> synonymsByWord;
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
    // Headwords of one key answer together, each synonym once.
    for (const ThesaurusEntry& entry : ParseThesaurus(file.readAll(), source))
        for (const ThesaurusSynonym& synonym : entry.synonyms)
            if (synonym.listed)
                fixture.synonymsByWord[WordKey(entry.headword)].insert(synonym.text);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString word = FuzzText(data, size);
    const bool storable = !word.contains(QChar(0)) && word.isValidUtf16();
    RecordSet rs;
    qsizetype rows = 0;
    try {
        // As a lookup run sends it: a word UTF-8 cannot carry goes as it is.
        WordQuery query;
        if (query.build(word))
            rs.OpenUtf8(query.text(), fixture.db, RecordSet::adOpenStatic,
                        RecordSet::adLockReadOnly);
        else
            rs.Open(word, fixture.db, RecordSet::adOpenStatic, RecordSet::adLockReadOnly);
        for (; !rs.Eof(); rs.MoveNext()) {
            FUZZ_CHECK(rs.Field(QStringLiteral("word")) == WordKey(word),
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
    // The word bound as UTF-8, as the command line sends it, finds the same rows.
    const QByteArray utf8 = word.toUtf8();
    SynonymStore::Rows bound;
    fixture.db.store().lookUp(bound, utf8, SynonymStore::View::SynonymsAlone);
    qsizetype boundRows = 0;
    for (; !bound.atEnd(); bound.next())
        ++boundRows;
    FUZZ_CHECK(boundRows == rows, QStringLiteral("%1 rows bound, %2 from the query text")
                                      .arg(boundRows)
                                      .arg(rows));
    const qsizetype expected = fixture.synonymsByWord.value(WordKey(word)).size();
    FUZZ_CHECK(rows == expected,
               QStringLiteral("%1 rows where the fixture has %2").arg(rows).arg(expected));
    return 0;
}
