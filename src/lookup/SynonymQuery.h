#pragma once

#include <QByteArrayView>
#include <QString>

// Every apostrophe doubled, so the word stays inside its quotes.
QString QuoteSqlText(const QString& text);

// The select statement for a word that has already been quoted.
QString SynonymQueryText(const QString& quotedWord);

// The select statement for every (term, meaning) of a word, whatever its relation, for a word
// that has already been quoted.
QString RelationQueryText(const QString& quotedWord);

// The relations that count as synonyms, which qrySynonyms answers; the database may hold
// others (antonym, generic term, narrower term).
bool IsSynonymKind(QByteArrayView relation);

// The select statement for a word as the word list holds it.
QString BuildSynonymQuery(const QString& word);

// What every results row of a word starts with: the word in upper case and " - ".
QString SynonymRowPrefix(const QString& word);

// The one row of a word that the database does not hold.
QString NotFoundRow(const QString& word);
