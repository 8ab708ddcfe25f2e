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
} // namespace

ThesaurusLabels::ThesaurusLabels(const QByteArray& table, const QString& sourceName,
                                 const QString& language) {
    const QStringList lines = QString::fromUtf8(table).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u'\t');
        const auto kind = kinds().constFind(fields.value(2));
        if (fields.size() < 3 || fields.size() > 5 || fields[0].isEmpty() ||
            kind == kinds().constEnd())
            throw ThesaurusError(sourceName, int(i + 1),
                                 QStringLiteral("expected label, language, pos|relation|note, "
                                                "value and note separated by tabs"));
        if (!language.isEmpty() && fields[1] != language && fields[1] != u'*')
            continue;
        // The rule for a language's unlisted labels holds for that language alone.
        if (fields[0] == u'*') {
            if (fields[1] == language && !language.isEmpty())
                unlistedAreNotes_ = *kind == LabelMeaning::Note;
            continue;
        }
        const QString value = fields.value(3);
        if (!value.isEmpty() && !values_[*kind].contains(value))
            values_[*kind] << value;
        const QString key = fields[0].toCaseFolded();
        if (!labels_.contains(key))
            labels_.insert(key, LabelMeaning{*kind, fields.value(3), fields.value(4)});
    }
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
    QFile file(kBuiltInPath);
    if (!file.open(QIODevice::ReadOnly))
        throw ThesaurusError(kBuiltInPath, 0, QStringLiteral("the label table is missing"));
    return file.readAll();
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
