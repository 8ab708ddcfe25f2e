#pragma once

#include "OutputFormat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <memory>
#include <span>
#include <vector>

class ResultSink;
class Workbook;

// The names of the fields of each table, jsonl and xlsx record, in order.
QList<QByteArray> RecordFieldNames();

// Turns each word's (synonym, part of speech, relation, sense, note) records
// into the chosen format's bytes: rows, aligned and csv exactly as the window
// writes its rows and exports; table, jsonl and xlsx one record each, the word
// as given.
class ResultFormatter {
  public:
    ResultFormatter(OutputFormat format, ResultSink& sink);
    ~ResultFormatter();

    // The word whose pairs follow.
    void startWord(const QString& word);
    // sense: the meaning's place in its entry, as text; empty when the database keeps none.
    void pair(QByteArrayView synonym, QByteArrayView partOfSpeech, QByteArrayView relation,
              QByteArrayView sense = {}, QByteArrayView note = {});
    // The word has no pair: the not-found row, or a record without a synonym.
    void notFound();
    void finish();
    // Hands the rows made so far on to the sink and its reader; the aligned
    // format has none to give before finish(), which knows the width.
    void flush();

  private:
    void record(std::span<const QByteArrayView> fields);
    void row(QByteArrayView utf8);
    void flushWhenFull();
    template <class Text> void forEachAligned(Text&& text);

    OutputFormat format_;
    ResultSink& sink_;
    QString word_;
    // What each of the word's rows or records starts with.
    QByteArray prefix_;
    QByteArray row_;
    QByteArray pending_;
    std::vector<qsizetype> ends_;
    std::unique_ptr<Workbook> workbook_;
};
