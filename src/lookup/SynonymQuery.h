// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

// Every apostrophe doubled, so the word stays inside its quotes.
QString QuoteSqlText(const QString& text);

// The select statement for a word that has already been quoted.
QString SynonymQueryText(const QString& quotedWord);

// The select statement for a word as the word list holds it.
QString BuildSynonymQuery(const QString& word);
// The same statement in UTF-8, for a word in UTF-8, written over out: a run builds one per
// word into the same buffer.
void BuildSynonymQueryUtf8(QByteArray& out, QByteArrayView word);
