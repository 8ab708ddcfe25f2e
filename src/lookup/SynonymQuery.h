#pragma once

#include <QString>

// Every apostrophe doubled, so the word stays inside its quotes.
QString QuoteSqlText(const QString& text);

// The select statement for a word that has already been quoted.
QString SynonymQueryText(const QString& quotedWord);

// The select statement for a word as the word list holds it.
QString BuildSynonymQuery(const QString& word);

// What every results row of a word starts with: the word in upper case and " - ".
QString SynonymRowPrefix(const QString& word);

// The one row of a word that the database does not hold.
QString NotFoundRow(const QString& word);
