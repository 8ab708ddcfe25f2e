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

QString BuildSynonymQuery(const QString& word) {
    return SynonymQueryText(QuoteSqlText(word));
}
