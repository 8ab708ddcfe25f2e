// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeaningFilter.h"

#include "AppError.h"
#include "DatabaseFormat.h"
#include "ShellQuote.h"
#include "SynonymStore.h"

#include <algorithm>

namespace {
// A thesaurus may hold many labels no table maps; the first few tell the user enough.
constexpr qsizetype kListedValues = 20;

bool hasWord(QByteArrayView words, QByteArrayView word) {
    for (qsizetype at = words.indexOf(word); at >= 0; at = words.indexOf(word, at + 1)) {
        const qsizetype end = at + word.size();
        if ((at == 0 || words[at - 1] == ' ') && (end == words.size() || words[end] == ' '))
            return true;
    }
    return false;
}

// accepted: the values a filter may name; known: those the database holds, listed when a
// value is none of the accepted.
QList<QByteArray> chosen(const QStringList& given, const QStringList& accepted, QStringList known,
                         const char* option, const char* kind) {
    known.removeDuplicates();
    // The common vocabulary first, in its own order, then the labels kept as written.
    static const QStringList common = {
        QStringLiteral("noun"),         QStringLiteral("adj"),
        QStringLiteral("verb"),         QStringLiteral("adv"),
        QStringLiteral("synonym"),      QStringLiteral("similar term"),
        QStringLiteral("related term"), QStringLiteral("antonym"),
        QStringLiteral("generic term"), QStringLiteral("narrower term")};
    std::sort(known.begin(), known.end(), [](const QString& a, const QString& b) {
        const qsizetype rankA = common.indexOf(a), rankB = common.indexOf(b);
        if (rankA >= 0 || rankB >= 0)
            return rankA >= 0 && (rankB < 0 || rankA < rankB);
        return a < b;
    });
    QStringList shown;
    for (const QString& value : known.mid(0, kListedValues))
        shown << ShownText(value);
    QString listed = shown.join(QStringLiteral(", "));
    if (known.size() > kListedValues)
        listed += QStringLiteral(" and %1 more").arg(known.size() - kListedValues);
    QList<QByteArray> values;
    for (const QString& value : given) {
        if (!accepted.contains(value))
            throw UnknownKind{QStringLiteral("%1: this database holds no %2 %3; it holds: %4")
                                  .arg(QLatin1StringView(option), QLatin1StringView(kind),
                                       QuotedText(value), listed)};
        values << value.toUtf8();
    }
    return values;
}

QString fromUtf8(QByteArrayView text) {
    return text.data() ? QString::fromUtf8(text) : QString();
}
} // namespace

MeaningFilter::MeaningFilter(SynonymStore& store, const QStringList& partsOfSpeech,
                             const QStringList& relations, const QString& view) {
    if (partsOfSpeech.isEmpty() && relations.isEmpty())
        return;
    QStringList knownPos, knownRelations, acceptedPos, acceptedRelations;
    SynonymStore::Rows rows;
    if (store.holdsKinds()) {
        // The importer's list: the shared vocabulary, held or not, and every value held.
        try {
            store.run(rows, "select field, value, pairs from kinds");
        } catch (const AppError& error) {
            throw AppError(QStringLiteral("its table kinds is not the one lexigrove-import makes, "
                                          "with the columns field, value and pairs (%1).")
                               .arg(error.description()));
        }
        for (; !rows.atEnd(); rows.next()) {
            const bool pos = rows.text(0) == "pos";
            const QString value = fromUtf8(rows.text(1));
            (pos ? acceptedPos : acceptedRelations) << value;
            if (rows.text(2) != "0")
                (pos ? knownPos : knownRelations) << value;
        }
    } else {
        // Another program's file, or one from before the list: what the view holds, read
        // whole.
        store.run(rows, (QStringLiteral("select distinct pos, relation from ") + view).toUtf8());
        for (; !rows.atEnd(); rows.next()) {
            knownPos << fromUtf8(rows.text(0)).split(u' ', Qt::SkipEmptyParts);
            knownRelations << fromUtf8(rows.text(1));
        }
        acceptedPos = knownPos;
        acceptedRelations = knownRelations;
    }
    pos_ = chosen(partsOfSpeech, acceptedPos, knownPos, "--pos", "part of speech");
    relations_ = chosen(relations, acceptedRelations, knownRelations, "--relation", "relation");
}

bool MeaningFilter::keeps(QByteArrayView pos, QByteArrayView relation, bool standIns) const {
    const bool posKept =
        pos_.isEmpty() || std::any_of(pos_.begin(), pos_.end(), [&](const QByteArray& kept) {
            return hasWord(pos, kept);
        });
    return posKept &&
           (relations_.isEmpty() ? IsSynonymKind(relation) || (standIns && IsStandInKind(relation))
                                 : relations_.contains(relation));
}
