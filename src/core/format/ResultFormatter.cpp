// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultFormatter.h"

#include "AlignedWriter.h"
#include "ResultSink.h"
#include "RowFormats.h"
#include "Utf8Text.h"
#include "Workbook.h"

#include <algorithm>

namespace {
// The fields of a table, jsonl or xlsx record after the word, in order. The inflected form
// came last, after files of the earlier five had readers.
constexpr const char* kPairFields[] = {"synonym", "pos", "relation", "sense", "note", "inflected"};
// The sense is a number in JSON and in a workbook.
constexpr int kSenseField = 3;
// null in JSON where there is no form, as the sense where there is no meaning.
constexpr int kInflectedField = 5;
constexpr int kPairFieldCount = int(std::size(kPairFields));
} // namespace

QList<QByteArray> RecordFieldNames() {
    QList<QByteArray> names{"word"};
    for (const char* name : kPairFields)
        names << name;
    return names;
}

ResultFormatter::ResultFormatter(OutputFormat format, ResultSink& sink)
    : format_(format), sink_(sink) {
    switch (format_) {
    case OutputFormat::Rows:
        rows_.emplace(sink_);
        break;
    case OutputFormat::CommaDelimited:
        csv_.emplace(sink_);
        break;
    case OutputFormat::Table:
        table_.emplace(sink_, RecordFieldNames());
        break;
    case OutputFormat::JsonLines:
        jsonLines_.emplace(sink_, RecordFieldNames(), kSenseField, kInflectedField);
        break;
    case OutputFormat::Xlsx:
        workbook_ = std::make_unique<Workbook>(RecordFieldNames(), 1 + kSenseField);
        break;
    case OutputFormat::Aligned:
        break;
    }
}

ResultFormatter::~ResultFormatter() = default;

void ResultFormatter::startWord(QByteArrayView word) {
    prefix_.truncate(0);
    if (table_)
        table_->startRecords(word);
    else if (jsonLines_)
        jsonLines_->startRecords(word);
    else if (workbook_)
        prefix_ += word;
    else
        AppendSynonymRowPrefix(prefix_, word);
}

void ResultFormatter::pair(QByteArrayView synonym, QByteArrayView partOfSpeech,
                           QByteArrayView relation, QByteArrayView sense, QByteArrayView note,
                           QByteArrayView inflected) {
    const QByteArrayView fields[] = {synonym, partOfSpeech, relation, sense, note, inflected};
    static_assert(std::size(fields) == kPairFieldCount);
    if (table_)
        return table_->record(fields);
    if (jsonLines_)
        return jsonLines_->record(fields);
    if (workbook_) {
        QByteArrayView cells[1 + kPairFieldCount] = {prefix_};
        std::copy(std::begin(fields), std::end(fields), cells + 1);
        return workbook_->addRow(cells);
    }
    row_.truncate(0);
    AppendBytes(row_, prefix_);
    AppendBytes(row_, inflected.isEmpty() ? synonym : inflected);
    row(row_);
}

void ResultFormatter::notFound() {
    if (table_)
        return table_->record({});
    if (jsonLines_)
        return jsonLines_->nullRecord();
    if (workbook_) {
        const QByteArrayView cells[1 + kPairFieldCount] = {prefix_};
        return workbook_->addRow(cells);
    }
    row_.truncate(0);
    AppendBytes(row_, prefix_);
    AppendBytes(row_, kNotFoundText);
    row(row_);
}

void ResultFormatter::row(QByteArrayView utf8) {
    if (rows_)
        return rows_->row(utf8);
    if (csv_) {
        csv_->field(utf8);
        return csv_->handOnWhenFull();
    }
    // Aligned: every row counts for the width before the first line is written.
    held_ += utf8;
    ends_.push_back(held_.size());
}

void ResultFormatter::handOnGathered() {
    if (rows_)
        rows_->flush();
    else if (csv_)
        csv_->flush();
    else if (table_)
        table_->flush();
    else if (jsonLines_)
        jsonLines_->flush();
}

void ResultFormatter::flush() {
    handOnGathered();
    sink_.flush();
}

void ResultFormatter::finish() {
    if (workbook_)
        return workbook_->finish([this](const QByteArray& bytes) { sink_.writeBytes(bytes); });
    if (csv_)
        return csv_->finish();
    if (format_ != OutputFormat::Aligned)
        return handOnGathered();
    const QString header = ResultsHeader();
    int width = CodePointLength(header);
    forEachHeld([&](const QString& text) { width = std::max(width, CodePointLength(text)); });
    AlignedWriter writer(sink_, {width});
    const auto writeLine = [&](const QString& text) {
        writer.cell(0, text);
        writer.endLine();
    };
    writeLine(header);
    forEachHeld(writeLine);
}

template <class Text> void ResultFormatter::forEachHeld(Text&& text) {
    qsizetype start = 0;
    for (const qsizetype end : ends_) {
        text(WordFromUtf8(QByteArrayView(held_).sliced(start, end - start)));
        start = end;
    }
}
