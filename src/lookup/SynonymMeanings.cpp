// SPDX-License-Identifier: GPL-3.0-or-later
#include "SynonymMeanings.h"

#include "AppError.h"
#include "RowFormats.h"
#include "Utf8Text.h"

#include <algorithm>

namespace {
const QByteArrayView kSeparator("\xC2\xB7"); // a middle dot
} // namespace

SynonymMeanings::SynonymMeanings(SynonymStore& store) {
    try {
        records_.emplace(store, true, QStringList(), QStringList());
    } catch (const AppError&) {
        // No meanings: the rows alone.
    }
}

void SynonymMeanings::AppendLine(QByteArray& out, const SynonymRecord& record) {
    bool first = true;
    const auto part = [&](QByteArrayView prefix, QByteArrayView text) {
        if (text.isEmpty())
            return;
        if (!first) {
            out += ' ';
            out += kSeparator;
            out += ' ';
        }
        first = false;
        out += prefix;
        out += text;
    };
    part({}, record.pos);
    part("meaning ", record.sense);
    part({}, record.relation);
    part({}, record.note);
}

QByteArrayView SynonymMeanings::synonymOf(const Entry& entry) const {
    return QByteArrayView(text_.constData() + entry.synonymAt, entry.synonymLength);
}

void SynonymMeanings::forget() {
    text_.truncate(0);
    entries_.clear();
}

void SynonymMeanings::load(QByteArrayView wordUtf8) {
    forget();
    if (!records_)
        return;
    try {
        records_->start(wordUtf8);
        SynonymRecord record;
        while (records_->next(record)) {
            Entry entry;
            entry.synonymAt = std::uint32_t(text_.size());
            text_ += record.synonym;
            entry.synonymLength = std::uint32_t(record.synonym.size());
            entry.lineAt = std::uint32_t(text_.size());
            AppendLine(text_, record);
            entry.lineLength = std::uint32_t(text_.size() - entry.lineAt);
            entries_.push_back(entry);
        }
    } catch (const AppError&) {
        forget();
        return;
    }
    // Thesaurus order within one synonym: the later record lies further on in text_.
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
        const QByteArrayView left = synonymOf(a), right = synonymOf(b);
        return left != right ? left < right : a.lineAt < b.lineAt;
    });
}

QByteArrayView SynonymMeanings::of(QByteArrayView synonym) {
    const auto [from, to] = std::equal_range(
        entries_.cbegin(), entries_.cend(), synonym, [this](const auto& a, const auto& b) {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, Entry>)
                return synonymOf(a) < b;
            else
                return a < synonymOf(b);
        });
    if (from == to)
        return {};
    if (to - from == 1)
        return QByteArrayView(text_.constData() + from->lineAt, from->lineLength);
    joined_.truncate(0);
    for (auto entry = from; entry != to; ++entry) {
        const QByteArrayView line(text_.constData() + entry->lineAt, entry->lineLength);
        // A form of two headwords may give the same meaning line twice.
        bool told = false;
        for (auto earlier = from; earlier != entry && !told; ++earlier)
            told = QByteArrayView(text_.constData() + earlier->lineAt, earlier->lineLength) == line;
        if (told)
            continue;
        if (!joined_.isEmpty())
            joined_ += '\n';
        joined_ += line;
    }
    return joined_;
}

QByteArray RowsKey(QByteArrayView wordUtf8) {
    const bool told = !wordUtf8.isEmpty() && wordUtf8.size() < 0x80 && IsAscii(wordUtf8) &&
                      std::none_of(wordUtf8.begin(), wordUtf8.end(),
                                   [](char c) { return c >= 'A' && c <= 'Z'; });
    return told ? QByteArray(1, char(0x80 | wordUtf8.size())) : wordUtf8.toByteArray();
}

QString RowMeaning(SynonymStore& store, QByteArrayView key, QByteArrayView rowUtf8) {
    if (key.isEmpty())
        return QString::fromLatin1(kNotInDatabase);
    QByteArray word;
    if (key.size() == 1 && (uchar(key[0]) & 0x80)) {
        word = rowUtf8.first(std::min<qsizetype>(uchar(key[0]) & 0x7F, rowUtf8.size()))
                   .toByteArray()
                   .toLower();
        key = word;
    }
    QByteArray prefix;
    AppendSynonymRowPrefix(prefix, key);
    // A hover while a query of the run is asking whether it is still wanted: the meaning is
    // read at the next hover rather than through the connection the query holds.
    if (!rowUtf8.startsWith(prefix) || store.asking())
        return QString();
    const QByteArrayView synonym = rowUtf8.sliced(prefix.size());
    SynonymMeanings meanings(store);
    meanings.load(key);
    QString meaning = WordFromUtf8(meanings.of(synonym));
    if (meaning.isEmpty())
        return meaning;
    // As `--inflect` would show the row: no part of speech, since the row stands for them all.
    QByteArray form;
    try {
        form = store.inflected(key, synonym, {});
    } catch (const AppError&) {
        // The meaning alone, as for a word whose meanings cannot be read.
    }
    if (!form.isEmpty())
        meaning += QStringLiteral("\nin the text's form: ") + WordFromUtf8(form);
    return meaning;
}
