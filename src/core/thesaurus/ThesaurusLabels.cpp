// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThesaurusLabels.h"

#include "Thesaurus.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <map>

namespace {
const QHash<QString, LabelMeaning::Kind>& kinds() {
    static const QHash<QString, LabelMeaning::Kind> all = {
        {QStringLiteral("pos"), LabelMeaning::PartOfSpeech},
        {QStringLiteral("relation"), LabelMeaning::Relation},
        {QStringLiteral("note"), LabelMeaning::Note},
    };
    return all;
}

void apply(const LabelMeaning& meaning, LabelReading& reading) {
    reading.anyKnown = true;
    switch (meaning.kind) {
    case LabelMeaning::PartOfSpeech:
        if (!meaning.value.isEmpty() && !reading.partsOfSpeech.contains(meaning.value))
            reading.partsOfSpeech << meaning.value;
        if (!meaning.note.isEmpty())
            reading.notes << meaning.note;
        break;
    case LabelMeaning::Relation:
        reading.relation = meaning.value;
        break;
    case LabelMeaning::Note:
        // An empty note is a word joining labels ("Olt. și Ban."): known, but no label itself.
        if (!meaning.value.isEmpty())
            reading.notes << meaning.value;
        break;
    }
}
// Calls row(fields, line number) for each row of a built-in table: tab-separated fields, lines
// starting with # and blank lines skipped.
template <class Row> void forEachRow(const QByteArray& table, Row&& row) {
    const QStringList lines = QString::fromUtf8(table).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty() && !line.startsWith(u'#'))
            row(line.split(u'\t'), int(i + 1));
    }
}

QByteArray builtInFile(const QString& path, const char* what) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ThesaurusError(path, 0,
                             QStringLiteral("the %1 is missing").arg(QLatin1StringView(what)));
    return file.readAll();
}
} // namespace

ThesaurusLabels::ThesaurusLabels(const QByteArray& table, const QString& sourceName,
                                 const QString& language) {
    forEachRow(table, [&](const QStringList& fields, int line) {
        const auto kind = kinds().constFind(fields.value(2));
        if (fields.size() < 3 || fields.size() > 5 || fields[0].isEmpty() ||
            kind == kinds().constEnd())
            throw ThesaurusError(sourceName, line,
                                 QStringLiteral("expected label, language, pos|relation|note, "
                                                "value and note separated by tabs"));
        if (!language.isEmpty() && fields[1] != language && fields[1] != u'*')
            return;
        // The rule for a language's unlisted labels holds for that language alone.
        if (fields[0] == u'*') {
            if (fields[1] == language && !language.isEmpty())
                unlistedAreNotes_ = *kind == LabelMeaning::Note;
            return;
        }
        const QString value = fields.value(3);
        if (!value.isEmpty() && !values_[*kind].contains(value))
            values_[*kind] << value;
        const QString key = fields[0].toCaseFolded();
        if (!labels_.contains(key))
            labels_.insert(key, LabelMeaning{*kind, fields.value(3), fields.value(4)});
    });
}

namespace {
const QString kBuiltInPath = QStringLiteral(":/lexigrove/labels.tsv");
} // namespace

const ThesaurusLabels& ThesaurusLabels::builtIn(const QString& language) {
    static QMutex mutex;
    static std::map<QString, ThesaurusLabels> byLanguage;
    const QMutexLocker lock(&mutex);
    auto found = byLanguage.find(language);
    if (found == byLanguage.end()) {
        found = byLanguage
                    .emplace(language, ThesaurusLabels(builtInTable(), kBuiltInPath, language))
                    .first;
    }
    return found->second;
}

QByteArray ThesaurusLabels::builtInTable() {
    return builtInFile(kBuiltInPath, "label table");
}

QStringList ReversingPrefixes(const QString& language) {
    static const QString path = QStringLiteral(":/lexigrove/reversing.tsv");
    QStringList prefixes;
    forEachRow(builtInFile(path, "table of prefixes"), [&](const QStringList& fields, int line) {
        if (fields.size() != 2 || fields[0].isEmpty())
            throw ThesaurusError(path, line,
                                 QStringLiteral("expected prefix and language separated by a tab"));
        if (fields[1] == language)
            prefixes << WordKey(fields[0]);
    });
    return prefixes;
}

const LabelMeaning* ThesaurusLabels::find(QStringView label) const {
    const auto found = labels_.constFind(label.toString().toCaseFolded());
    return found == labels_.constEnd() ? nullptr : &*found;
}

LabelReading ThesaurusLabels::read(QStringView text) const {
    LabelReading reading;
    if (const LabelMeaning* whole = find(text.trimmed())) {
        apply(*whole, reading);
        return reading;
    }
    static const QRegularExpression separators(QStringLiteral("[,/;]"));
    QStringList unknown;
    for (const QString& part : text.toString().split(separators, Qt::SkipEmptyParts)) {
        if (const LabelMeaning* meaning = find(QStringView(part).trimmed())) {
            apply(*meaning, reading);
            continue;
        }
        for (const QStringView word : QStringView(part).tokenize(u' ', Qt::SkipEmptyParts)) {
            if (const LabelMeaning* meaning = find(word))
                apply(*meaning, reading);
            else
                unknown << word.toString();
        }
    }
    reading.rest = unknown.join(u' ');
    return reading;
}

QString ThesaurusLanguage(const QString& path) {
    static const QRegularExpression name(QStringLiteral("^(?:th|thes)_([a-z]{2,3})(?:[_.]|$)"));
    const QRegularExpressionMatch match = name.match(QFileInfo(path).fileName());
    return match.hasMatch() ? match.captured(1) : QString();
}
