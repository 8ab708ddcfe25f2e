#include "SynonymQuery.h"

QString QuoteSqlText(const QString& text) {
    QString quoted = text;
    return quoted.replace(u'\'', QStringLiteral("''"));
}

QString SynonymQueryText(const QString& quotedWord) {
    return QStringLiteral("select * from qrySynonyms where word='") + quotedWord + u'\'';
}

QString RelationQueryText(const QString& quotedWord) {
    return QStringLiteral("select * from qryRelations where word='") + quotedWord + u'\'';
}

bool IsSynonymKind(QByteArrayView relation) {
    return relation == "synonym" || relation == "similar term" || relation == "related term";
}

QString BuildSynonymQuery(const QString& word) {
    return SynonymQueryText(QuoteSqlText(word));
}

QString SynonymRowPrefix(const QString& word) {
    return word.toUpper() + QStringLiteral(" - ");
}

QString NotFoundRow(const QString& word) {
    return SynonymRowPrefix(word) + QStringLiteral("this word not found in the database.");
}
