// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordRecords.h"

#include <utility>

WordRecords::WordRecords(SynonymStore& store, bool meanings, const QStringList& partsOfSpeech,
                         const QStringList& relations)
    : store_(store), meanings_(meanings),
      relations_((meanings || !partsOfSpeech.isEmpty() || !relations.isEmpty()) &&
                 store.holdsRelations()),
      filter_(store, partsOfSpeech, relations,
              relations_ ? QStringLiteral("qryRelations") : QStringLiteral("qrySynonyms")),
      filtered_(filter_.active()),
      // Rows that need neither meanings nor a filter read the synonym column alone.
      view_(relations_                 ? SynonymStore::View::Relations
            : filtered_ || meanings_ ? SynonymStore::View::Synonyms
                                     : SynonymStore::View::SynonymsAlone) {}

void WordRecords::start(QByteArrayView word) {
    store_.lookUp(rows_, word, view_);
    shown_.clear();
    handedOut_ = false;
}

bool WordRecords::next(SynonymRecord& record) {
    const bool withMeaning = filtered_ || meanings_;
    // The row given last is left only now: its texts live until the next step.
    if (std::exchange(handedOut_, false))
        rows_.next();
    for (; !rows_.atEnd(); rows_.next()) {
        record.pos = withMeaning ? rows_.text(SynonymStore::Pos) : QByteArrayView();
        record.relation = withMeaning ? rows_.text(SynonymStore::Relation) : QByteArrayView();
        if (withMeaning && !filter_.keeps(record.pos, record.relation))
            continue;
        record.synonym = rows_.text(SynonymStore::Synonym);
        // The meanings view lists a synonym once per meaning; the row layouts give it once,
        // as qrySynonyms does.
        if (relations_ && !meanings_) {
            const QByteArray text = record.synonym.toByteArray();
            if (shown_.contains(text))
                continue;
            shown_.insert(text);
        }
        const bool senses = relations_ && meanings_;
        record.sense = senses ? rows_.text(SynonymStore::Sense) : QByteArrayView();
        record.note = senses ? rows_.text(SynonymStore::Note) : QByteArrayView();
        handedOut_ = true;
        return true;
    }
    rows_.close();
    return false;
}
