// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

class SynonymStore;

// A value of --pos or --relation that the database does not hold.
struct UnknownKind {
    QString text;
};

// Which (synonym, meaning) pairs --pos and --relation keep. The values are the database's own:
// in the importer's files, its table kinds names the vocabulary every language shares, where
// a value this database does not hold keeps nothing, and any other value it holds (a label kept
// as written); in other files, the values the view holds. A combined part of speech ("adj
// noun", from French "Adjectif Nom") is kept for each of its words. Without --relation only
// the synonym kinds are kept, or for a word that has none the stand-ins (IsStandInKind): an
// antonym is shown only when asked for.
class MeaningFilter {
  public:
    // view: the view whose rows are filtered (qrySynonyms or qryRelations). Throws
    // UnknownKind for a value the database does not accept, AppError when it cannot be read.
    MeaningFilter(SynonymStore& store, const QStringList& partsOfSpeech,
                  const QStringList& relations, const QString& view);

    bool active() const { return !pos_.isEmpty() || !relations_.isEmpty(); }
    bool choosesRelations() const { return !relations_.isEmpty(); }
    // standIns: the word has no synonym kind, or its rows come from qrySynonyms, which has
    // chosen.
    bool keeps(QByteArrayView pos, QByteArrayView relation, bool standIns = false) const;

  private:
    QList<QByteArray> pos_, relations_;
};
