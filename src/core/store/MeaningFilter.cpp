#include "MeaningFilter.h"

#include "DatabaseFormat.h"
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

QList<QByteArray> chosen(const QStringList& given, QStringList known, const char* option,
                         const char* kind) {
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
    QString listed = known.mid(0, kListedValues).join(QStringLiteral(", "));
    if (known.size() > kListedValues)
        listed += QStringLiteral(" and %1 more").arg(known.size() - kListedValues);
    QList<QByteArray> values;
    for (const QString& value : given) {
        if (!known.contains(value))
            throw UnknownKind{QStringLiteral("%1: this database holds no %2 '%3'; it holds: %4")
                                  .arg(QLatin1StringView(option), QLatin1StringView(kind), value,
                                       listed)};
        values << value.toUtf8();
    }
    return values;
}
} // namespace

MeaningFilter::MeaningFilter(SynonymStore& store, const QStringList& partsOfSpeech,
                             const QStringList& relations, const QString& view) {
    if (partsOfSpeech.isEmpty() && relations.isEmpty())
        return;
    QStringList knownPos, knownRelations;
    SynonymStore::Rows rows;
    store.run(rows, (QStringLiteral("select distinct pos, relation from ") + view).toUtf8());
    for (; !rows.atEnd(); rows.next()) {
        const QByteArrayView pos = rows.text(0), relation = rows.text(1);
        knownPos << (pos.data() ? QString::fromUtf8(pos) : QString())
                        .split(u' ', Qt::SkipEmptyParts);
        knownRelations << (relation.data() ? QString::fromUtf8(relation) : QString());
    }
    pos_ = chosen(partsOfSpeech, knownPos, "--pos", "part of speech");
    relations_ = chosen(relations, knownRelations, "--relation", "relation");
}

bool MeaningFilter::keeps(QByteArrayView pos, QByteArrayView relation) const {
    const bool posKept =
        pos_.isEmpty() || std::any_of(pos_.begin(), pos_.end(), [&](const QByteArray& kept) {
            return hasWord(pos, kept);
        });
    return posKept &&
           (relations_.isEmpty() ? IsSynonymKind(relation) : relations_.contains(relation));
}
