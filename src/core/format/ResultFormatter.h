// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommaDelimitedWriter.h"
#include "JsonLinesWriter.h"
#include "OutputFormat.h"
#include "RowsWriter.h"
#include "TableWriter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class ResultSink;
class Workbook;

// The names of the fields of each table, jsonl and xlsx record, in order.
QList<QByteArray> RecordFieldNames();

// Turns each word's (synonym, part of speech, relation, sense, note, inflected)
// records into the chosen format's bytes, through that format's writer: rows,
// aligned and csv exactly as the window writes its rows and exports, the
// inflected form in place of the synonym where one is given; table, jsonl and
// xlsx one record each, the word as given.
class ResultFormatter {
  public:
    ResultFormatter(OutputFormat format, ResultSink& sink);
    ~ResultFormatter();

    // The word whose pairs follow, in UTF-8.
    void startWord(QByteArrayView word);
    // sense: the meaning's place in its entry, as text; empty when the database keeps none.
    // inflected: the synonym in the word's form; empty for none, or when none was asked for.
    void pair(QByteArrayView synonym, QByteArrayView partOfSpeech, QByteArrayView relation,
              QByteArrayView sense = {}, QByteArrayView note = {}, QByteArrayView inflected = {});
    // The word has no pair: the not-found row, or a record without a synonym.
    void notFound();
    void finish();
    // Hands the rows made so far on to the sink and its reader; the aligned
    // format has none to give before finish(), which knows the width.
    void flush();

  private:
    void row(QByteArrayView utf8);
    // What the streaming formats have gathered, to the sink.
    void handOnGathered();
    template <class Text> void forEachHeld(Text&& text);

    OutputFormat format_;
    ResultSink& sink_;
    // What each of the word's rows starts with; the word itself for xlsx.
    QByteArray prefix_;
    QByteArray row_;
    // The aligned format's width is its longest row's, so every row is held
    // until finish(): the rows' UTF-8 one after the other, and where each
    // ends. That is the output's size and 8 bytes a row, nothing more.
    QByteArray held_;
    std::vector<qsizetype> ends_;
    std::optional<RowsWriter> rows_;
    std::optional<CommaDelimitedWriter> csv_;
    std::optional<TableWriter> table_;
    std::optional<JsonLinesWriter> jsonLines_;
    std::unique_ptr<Workbook> workbook_;
};
