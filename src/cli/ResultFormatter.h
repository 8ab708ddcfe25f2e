#pragma once

#include "CommandLine.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

class ResultSink;

// Turns each word's (synonym, part of speech, relation) pairs into the chosen
// format's bytes: rows, aligned and csv exactly as the window writes its rows
// and exports; table and jsonl one record per pair, the word as given.
class ResultFormatter {
  public:
    ResultFormatter(CommandLine::Format format, ResultSink& sink);

    // The word whose pairs follow.
    void startWord(const QString& word);
    void pair(QByteArrayView synonym, QByteArrayView partOfSpeech, QByteArrayView relation);
    // The word has no pair: the not-found row, or a record without a synonym.
    void notFound();
    void finish();
    // Hands the rows made so far on to the sink and its reader; the aligned
    // format has none to give before finish(), which knows the width.
    void flush();

  private:
    void row(QByteArrayView utf8);
    void flushWhenFull();
    template <class Text> void forEachAligned(Text&& text);

    CommandLine::Format format_;
    ResultSink& sink_;
    QString word_;
    // What each of the word's rows or records starts with.
    QByteArray prefix_;
    QByteArray row_;
    QByteArray pending_;
    std::vector<qsizetype> ends_;
};
