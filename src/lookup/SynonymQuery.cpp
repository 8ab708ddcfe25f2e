#include "SynonymQuery.h"

namespace {
constexpr char kSynonymQueryHead[] = "select * from qrySynonyms where word='";
} // namespace

QString QuoteSqlText(const QString& text) {
    QString quoted = text;
    return quoted.replace(u'\'', QStringLiteral("''"));
}

QString SynonymQueryText(const QString& quotedWord) {
    return QLatin1StringView(kSynonymQueryHead) + quotedWord + u'\'';
}

QString RelationQueryText(const QString& quotedWord) {
    return QStringLiteral("select * from qryRelations where word='") + quotedWord + u'\'';
}

QString BuildSynonymQuery(const QString& word) {
    return SynonymQueryText(QuoteSqlText(word));
}

void BuildSynonymQueryUtf8(QByteArray& out, QByteArrayView word) {
    out.truncate(0); // keeps the buffer
    out += kSynonymQueryHead;
    // An apostrophe is one byte in UTF-8 and never part of a longer character.
    for (qsizetype from = 0;;) {
        const qsizetype quote = word.indexOf('\'', from);
        if (quote < 0) {
            out += word.sliced(from);
            break;
        }
        out += word.sliced(from, quote + 1 - from);
        out += '\'';
        from = quote + 1;
    }
    out += '\'';
}
