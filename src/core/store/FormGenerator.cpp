// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormGenerator.h"

#include "Utf8Text.h"

#include <QSet>
#include <algorithm>
#include <sqlite3.h>
#include <utility>

namespace {
QByteArrayView columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(stmt, column)) : QByteArrayView();
}

void bindView(sqlite3_stmt* stmt, int field, QByteArrayView text) {
    sqlite3_bind_text(stmt, field, text.data() ? text.data() : "", int(text.size()),
                      SQLITE_TRANSIENT);
}

// Rewound whatever way the caller leaves.
struct Reset {
    sqlite3_stmt* stmt;
    ~Reset() { sqlite3_reset(stmt); }
};
// A slot a dictionary writes in its own fields (French "po:ipre po:spre po:2sg", "is:fem is:pl")
// is a set of features; a form of another suffix fills it when it has the word's first tense,
// person, number and gender (a word of both genders or numbers agrees with either): "tasses",
// present indicative before subjunctive, gives "farcis", not "farcisses".
bool Agrees(QByteArrayView word, QByteArrayView form) {
    if (word == form)
        return true;
    if (!word.contains(':') || !form.contains(':'))
        return false;
    const QList<QByteArray> formFields = form.toByteArray().split(' ');
    const auto category = [](const QByteArray& field) {
        if (field.startsWith("is:"))
            return field == "is:sg" || field == "is:pl" || field == "is:inv" ? 1 : 2;
        return field.size() == 6 && field[3] >= '1' && field[3] <= '3' ? 3 : 4;
    };
    bool seen[5] = {};
    for (const QByteArray& field : word.toByteArray().split(' ')) {
        const int kind = category(field);
        if (std::exchange(seen[kind], true))
            continue;
        const bool any = field == "is:inv" || field == "is:epi";
        if (!any && !formFields.contains(field) && !formFields.contains("is:inv") &&
            !formFields.contains("is:epi"))
            return false;
    }
    return true;
}
} // namespace

FormGenerator::FormGenerator(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select id, flag, strip, append, slot, pos from how order by id",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto id = size_t(sqlite3_column_int64(stmt, 0));
        if (id == 0 || id > 1'000'000)
            continue;
        hows_.resize(std::max(hows_.size(), id + 1));
        How& how = hows_[id];
        how.suffix = columnText(stmt, 1) != "@";
        how.strip = WordFromUtf8(columnText(stmt, 2));
        how.append = WordFromUtf8(columnText(stmt, 3));
        how.slot = columnText(stmt, 4).toByteArray();
        for (const QByteArray& part : columnText(stmt, 5).toByteArray().split(' '))
            if (!part.isEmpty())
                how.pos << part;
        if (!how.slot.isEmpty())
            bySlot_[how.slot].push_back(int(id));
    }
    sqlite3_finalize(stmt);
    if (hows_.empty())
        return;
    // The word's rows under the headwords that give the synonym; the synonym's own headwords;
    // one form row.
    sqlite3_prepare_v2(db,
                       "select f.how, f.headword_id from form f where f.key = ?1 and f.how <> 0 "
                       "and exists (select 1 from synonym s where s.headword_id = f.headword_id "
                       "and s.synonym = ?2)",
                       -1, &wordRows_, nullptr);
    sqlite3_prepare_v2(db,
                       "select h.id, h.word from form f join headword h on h.id = f.headword_id "
                       "where f.key = ?1",
                       -1, &ownRows_, nullptr);
    sqlite3_prepare_v2(db, "select how from form where key = ?1 and headword_id = ?2", -1,
                       &formRow_, nullptr);
}

FormGenerator::~FormGenerator() {
    for (sqlite3_stmt* stmt : {wordRows_, ownRows_, formRow_})
        sqlite3_finalize(stmt);
}

QByteArray FormGenerator::inflected(QByteArrayView word, QByteArrayView synonym,
                                    QByteArrayView pos) {
    if (!wordRows_ || !ownRows_ || !formRow_)
        return {};
    QByteArray pair = word.toByteArray();
    pair.append('\0').append(synonym).append('\0').append(pos);
    if (const auto known = cache_.constFind(pair); known != cache_.constEnd())
        return *known;
    if (cache_.size() >= kCached)
        cache_.clear();
    QByteArray form = work(word, synonym, pos);
    cache_.insert(std::move(pair), form);
    return form;
}

int FormGenerator::howOf(const QByteArray& key, qint64 headword) {
    Reset reset{formRow_};
    bindView(formRow_, 1, key);
    sqlite3_bind_int64(formRow_, 2, headword);
    return sqlite3_step(formRow_) == SQLITE_ROW ? sqlite3_column_int(formRow_, 0) : 0;
}

QByteArray FormGenerator::work(QByteArrayView word, QByteArrayView synonym, QByteArrayView pos) {
    const QString text = WordFromUtf8(synonym);
    if (text.isEmpty() || text.contains(u' '))
        return {};
    const auto known = [&](int how) { return how > 0 && size_t(how) < hows_.size(); };
    // The slots the word is in, under the headwords that give the synonym.
    std::vector<int> wordHows;
    {
        Reset reset{wordRows_};
        const QByteArray wordKey = WordKey(word);
        bindView(wordRows_, 1, wordKey);
        bindView(wordRows_, 2, synonym);
        while (sqlite3_step(wordRows_) == SQLITE_ROW) {
            const int how = sqlite3_column_int(wordRows_, 0);
            if (known(how) && !hows_[size_t(how)].slot.isEmpty())
                wordHows.push_back(how);
        }
    }
    if (wordHows.empty())
        return {};
    // The synonym as a headword of its own, under every entry of its spelling.
    const QByteArray key = WordKey(synonym);
    std::vector<qint64> own;
    {
        Reset reset{ownRows_};
        bindView(ownRows_, 1, key);
        while (sqlite3_step(ownRows_) == SQLITE_ROW) {
            if (WordKey(columnText(ownRows_, 1)) == key)
                own.push_back(sqlite3_column_int64(ownRows_, 0));
        }
    }
    QList<QByteArray> meaning = pos.toByteArray().split(' ');
    meaning.removeAll(QByteArray());
    QSet<QString> forms;
    for (const int wordHow : wordHows) {
        QHash<QString, bool> tried;
        const How& slot = hows_[size_t(wordHow)];
        // A form of another part of speech than the meaning's is another word's form.
        if (!meaning.isEmpty() && !slot.pos.isEmpty() &&
            std::none_of(meaning.begin(), meaning.end(),
                         [&](const QByteArray& part) { return slot.pos.contains(part); }))
            continue;
        auto agreeing = agreeing_.find(slot.slot);
        if (agreeing == agreeing_.end()) {
            std::vector<int> ids = bySlot_.value(slot.slot);
            if (slot.slot.contains("po:") || slot.slot.contains("is:")) {
                for (auto it = bySlot_.cbegin(); it != bySlot_.cend(); ++it) {
                    if (it.key() != slot.slot && Agrees(slot.slot, it.key()))
                        ids.insert(ids.end(), it.value().begin(), it.value().end());
                }
            }
            agreeing = agreeing_.insert(slot.slot, std::move(ids));
        }
        for (const int id : *agreeing) {
            const How& how = hows_[size_t(id)];
            if (!how.suffix || text.size() <= how.strip.size() || !text.endsWith(how.strip))
                continue;
            const QString built = text.chopped(how.strip.size()) + how.append;
            // Many flags share a suffix: the form it builds is looked for once.
            if (forms.contains(built) || std::exchange(tried[built], true))
                continue;
            const QByteArray builtKey = WordKey(QByteArrayView(built.toUtf8()));
            for (const qint64 headword : own) {
                const int found = howOf(builtKey, headword);
                if (known(found) && Agrees(slot.slot, hows_[size_t(found)].slot))
                    forms.insert(built);
            }
        }
    }
    return forms.size() == 1 ? forms.begin()->toUtf8() : QByteArray();
}
