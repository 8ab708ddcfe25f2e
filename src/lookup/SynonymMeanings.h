// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WordRecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <optional>
#include <vector>

class SynonymStore;

// What each synonym of a word means, as the results list tells it: one line per meaning in
// which the word's entries give the synonym as a synonym kind, part of speech, the meaning's
// place, relation and note, "adj · meaning 1 · similar term". Read from the store's records of
// the word (WordRecords), once per word, into buffers kept from word to word: they hold one
// word's records at a time.
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
