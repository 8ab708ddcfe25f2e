// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// What the label table (labels.tsv, built into the importer) says a label means.
struct LabelMeaning {
    enum Kind { PartOfSpeech, Relation, Note };
    Kind kind = Note;
    QString value;
    // A part of speech's detail the common name leaves out ("s.f." filed as noun).
    QString note;
};

// What the labels of one bracket say, every part of "Adjectif Nom" or "ugs., fig." read.
struct LabelReading {
    QStringList partsOfSpeech;
    QString relation;
    QStringList notes;
    // The words of the bracket that the table does not know, in order.
    QString rest;
    bool anyKnown = false;
};

// The label table's rows for one language.
class ThesaurusLabels {
  public:
    // The built-in table's rows for language and for every language ("*"); an empty language
    // takes every row, the first row of a label winning.
    static const ThesaurusLabels& builtIn(const QString& language);
    // The built-in table's bytes, as compiled into the program. Throws ThesaurusError when it
    // is missing.
    static QByteArray builtInTable();
    // Throws ThesaurusError naming sourceName and the line of a row it cannot use.
    ThesaurusLabels(const QByteArray& table, const QString& sourceName, const QString& language);

    // The values the table files as kind (PartOfSpeech or Relation), in its order, each once:
    // with builtIn(QString()), the vocabulary every language shares.
    QStringList values(LabelMeaning::Kind kind) const { return values_[kind]; }

    // Letter case ignored; null when the table does not list the label.
    const LabelMeaning* find(QStringView label) const;
    // The label as a whole, else each part between commas, slashes or semicolons as a whole,
    // else each of that part's words.
    LabelReading read(QStringView text) const;
    // Whether a label the table does not list, where a meaning's part of speech goes, is a
    // usage note rather than a part of speech kept as written: the table's "*" label for the
    // language (Ukrainian puts only usage labels there).
    bool unlistedAreNotes() const { return unlistedAreNotes_; }

  private:
    QHash<QString, LabelMeaning> labels_;
    QStringList values_[LabelMeaning::Note + 1];
    bool unlistedAreNotes_ = false;
};

// The prefixes that reverse the meaning of the word they are put on in language (English
// "un", "dis"), folded (WordKey), from the built-in table reversing.tsv. Throws
// ThesaurusError naming the row it cannot use.
QStringList ReversingPrefixes(const QString& language);

// The language code a MyThes file name carries (th_de_DE_v2.dat, thes_fr.dat), empty when it
// carries none.
QString ThesaurusLanguage(const QString& path);
