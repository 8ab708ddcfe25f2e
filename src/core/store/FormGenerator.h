// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Puts a synonym in the form a word has in a text, from how the database's form rows were
// built (table how): the word's slot (plural, past, a tense and person) and the suffixes of
// that slot applied to the synonym, kept only where the result is a form row of the synonym's
// own headword in the same slot. SynonymStore::inflected tells the rule.
class FormGenerator {
  public:
    // Reads table how of db; a file without one gives no form.
    explicit FormGenerator(sqlite3* db);
    ~FormGenerator();
    FormGenerator(const FormGenerator&) = delete;
    FormGenerator& operator=(const FormGenerator&) = delete;

    QByteArray inflected(QByteArrayView word, QByteArrayView synonym, QByteArrayView pos);

  private:
    struct How {
        QString strip, append;
        QByteArray slot;
        QList<QByteArray> pos;
        bool suffix = false;
    };
    QByteArray work(QByteArrayView word, QByteArrayView synonym, QByteArrayView pos);
    // The how of the form row (key, headword), 0 when there is none.
    int howOf(const QByteArray& key, qint64 headword);

    std::vector<How> hows_; // by id; 0 is none
    QHash<QByteArray, std::vector<int>> bySlot_;
    // The hows whose slot agrees with a word's, as they are asked for.
    QHash<QByteArray, std::vector<int>> agreeing_;
    sqlite3_stmt* wordRows_ = nullptr;
    sqlite3_stmt* ownRows_ = nullptr;
    sqlite3_stmt* formRow_ = nullptr;
    // Each pair asked, with its answer. A lookup run asks for a few pairs per word; when the
    // cache holds kCached pairs it starts again empty, so a run over a whole thesaurus keeps
    // its memory bounded (some ten megabytes) while repeated words still cost one lookup.
    static constexpr qsizetype kCached = 100'000;
    QHash<QByteArray, QByteArray> cache_;
};
