// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeaningFilter.h"
#include "SynonymStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QStringList>
#include <vector>

// One (synonym, meaning) record of a word; sense and note are empty where the layout asks for
// no meanings, pos and relation too where it asks for neither meanings nor a filter.
struct SynonymRecord {
    QByteArrayView synonym, pos, relation, sense, note;
};

// The records of one word as a front end shows them: read from the view the layout needs,
// kept or dropped by --pos and --relation, each synonym once where only synonyms are shown.
// Records come straight from the database, valid until the next call.
class WordRecords {
  public:
    // meanings: every meaning of every synonym is wanted (a record per meaning); otherwise
    // each synonym once. Throws UnknownKind for a value the database does not hold, AppError
    // when it cannot be read.
    WordRecords(SynonymStore& store, bool meanings, const QStringList& partsOfSpeech,
                const QStringList& relations);

    // Each throws AppError with the database's reason when it cannot be read.
    void start(QByteArrayView word);
    bool next(SynonymRecord& record);

  private:
    bool atEnd() const { return prefixed_.empty() ? rows_.atEnd() : at_ == prefixed_.size(); }
    void advance() { prefixed_.empty() ? rows_.next() : void(++at_); }
    // Stands on the first record again when the word's records, read whole, hold no synonym
    // kind but broader or narrower terms: those are then its answer, as in qrySynonyms.
    bool readAgainForStandIns();

    SynonymStore& store_;
    const bool meanings_;
    // Files made before meanings were kept have no qryRelations; their one view still answers.
    const bool relations_;
    const MeaningFilter filter_;
    const bool filtered_;
    const SynonymStore::View view_;
    SynonymStore::Rows rows_;
    // The records of a word found only through a prefix kept as marks, read whole: few words.
    std::vector<SynonymStore::Record> prefixed_;
    size_t at_ = 0;
    QSet<QByteArray> shown_;
    bool handedOut_ = false; // the current row was given by next()
    QByteArrayView word_;
    bool standIns_ = false, sawSynonym_ = false, sawStandIn_ = false;
};
