// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WordRecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class SynonymStore;

// What a not-found row means.
inline constexpr char kNotInDatabase[] = "This word is not in the database.";

// What a list keeps of a word for the run of its rows (LookupHost::startWordRows): the word,
// or, for the many that are ASCII without capitals and shorter than 128 bytes, only its length
// in a byte that UTF-8 never holds alone: such a word is the lower case of its rows' prefix.
// Empty for a word that is not in the database.
QByteArray RowsKey(QByteArrayView wordUtf8);

// What a row of a lookup run means, read when it is asked for (a tool-tip, a screen reader):
// the meaning lines of the row's synonym among its word's records in store, and a last line
// with the synonym in the word's form where the store gives one; or, for an empty key, that
// the word is not in the database. Empty when the row is not one of the word's.
QString RowMeaning(SynonymStore& store, QByteArrayView key, QByteArrayView rowUtf8);

class SynonymMeanings {
  public:
    // A database that cannot tell meanings gives none; its rows still show.
    explicit SynonymMeanings(SynonymStore& store);

    // Reads the word's meanings (UTF-8, as the store binds it). A word whose meanings cannot
    // be read has none: its rows are read and reported on their own way.
    void load(QByteArrayView wordUtf8);
    // No meanings until the next load: for a word that is in no database.
    void forget();
    // The synonym's meaning lines, joined by line feeds; empty when the word gives none.
    // Valid until the next call.
    QByteArrayView of(QByteArrayView synonym);

    // The line one meaning is told in; empty parts are left out.
    static void AppendLine(QByteArray& out, const SynonymRecord& record);

  private:
    struct Entry {
        std::uint32_t synonymAt, synonymLength, lineAt, lineLength;
    };
    QByteArrayView synonymOf(const Entry& entry) const;

    std::optional<WordRecords> records_;
    QByteArray text_;
    std::vector<Entry> entries_; // sorted by synonym, in thesaurus order within one
    QByteArray joined_;
};
