// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordRecords.h"

#include "DatabaseFormat.h"

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
    word_ = word;
    standIns_ = view_ == SynonymStore::View::Synonyms;
    sawSynonym_ = sawStandIn_ = false;
    store_.lookUp(rows_, word, view_);
    prefixed_.clear();
    at_ = 0;
    if (rows_.atEnd() && store_.keepsPrefixes())
        prefixed_ = store_.prefixedRecords(word, view_);
    shown_.clear();
    handedOut_ = false;
}

bool WordRecords::next(SynonymRecord& record) {
    const bool withMeaning = filtered_ || meanings_;
    const bool senses = relations_ && meanings_;
    const bool prefixed = !prefixed_.empty();
    // The row given last is left only now: its texts live until the next step.
    if (std::exchange(handedOut_, false))
        advance();
    for (;; advance()) {
        if (atEnd() && (!readAgainForStandIns() || atEnd()))
            break;
        const auto field = [&](SynonymStore::Column column) -> QByteArrayView {
            if (!prefixed)
                return rows_.text(column);
            const SynonymStore::Record& row = prefixed_[at_];
            const QByteArray* fields[] = {&row.synonym, &row.pos, &row.relation, &row.sense,
                                          &row.note};
            return *fields[column];
        };
        record.pos = withMeaning ? field(SynonymStore::Pos) : QByteArrayView();
        record.relation = withMeaning ? field(SynonymStore::Relation) : QByteArrayView();
        if (view_ == SynonymStore::View::Relations) {
            sawSynonym_ = sawSynonym_ || IsSynonymKind(record.relation);
            sawStandIn_ = sawStandIn_ || IsStandInKind(record.relation);
        }
        if (withMeaning && !filter_.keeps(record.pos, record.relation, standIns_))
            continue;
        record.synonym = field(SynonymStore::Synonym);
        // The meanings view lists a synonym once per meaning; the row layouts give it once,
        // as qrySynonyms does.
        if (relations_ && !meanings_) {
            const QByteArray text = record.synonym.toByteArray();
            if (shown_.contains(text))
                continue;
            shown_.insert(text);
        }
        record.sense = senses ? field(SynonymStore::Sense) : QByteArrayView();
        record.note = senses ? field(SynonymStore::Note) : QByteArrayView();
        handedOut_ = true;
        return true;
    }
    rows_.close();
    prefixed_.clear();
    return false;
}

bool WordRecords::readAgainForStandIns() {
    if (view_ != SynonymStore::View::Relations || standIns_ || sawSynonym_ || !sawStandIn_ ||
        filter_.choosesRelations())
        return false;
    standIns_ = true;
    if (prefixed_.empty())
        store_.lookUp(rows_, word_, view_);
    else
        at_ = 0;
    return true;
}
