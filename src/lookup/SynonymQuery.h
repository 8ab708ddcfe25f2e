// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringEncoder>
#include <QStringView>

// The select statement for a word in UTF-8, written over out: a run builds one per word into
// the same buffer.
void BuildSynonymQueryUtf8(QByteArray& out, QByteArrayView word);

// A word of the list in UTF-8 and its select statement, rebuilt in place for each word of a
// run: neither holds more than the longest word needs, three bytes a UTF-16 unit.
class WordQuery {
  public:
    // False, with nothing built, for a word with an unpaired surrogate: it has no UTF-8 form.
    bool build(QStringView word);
    QByteArrayView word() const { return word_; }
    QByteArrayView text() const { return text_; }

  private:
    QStringEncoder toUtf8_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    QByteArray word_, text_;
};
