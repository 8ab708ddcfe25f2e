#include "ResultFormatter.h"

#include "FileSystem.h"
#include "ResultSink.h"
#include "RowFormats.h"
#include "Workbook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace {
// The fields of a table, jsonl or xlsx record after the word, in order.
constexpr const char* kPairFields[] = {"synonym", "pos", "relation", "sense", "note"};
// The sense is a number in JSON.
constexpr int kSenseField = 3;
constexpr int kPairFieldCount = int(std::size(kPairFields));

// What comes before each of those fields' values in a JSON Lines record.
const QByteArray& jsonKey(int field) {
    static const QList<QByteArray> keys = [] {
        QList<QByteArray> all;
        for (const char* name : kPairFields)
            all << QByteArray(", \"") + name + "\": ";
        return all;
    }();
    return keys[field];
}

// Most words are ASCII, and this is far quicker than a full UTF-8 check.
bool isAscii(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
}

// RFC 4180, by the same rule as the comma-delimited export: quoted only when
// it holds a comma, a quote or a line break. Closed with a comma.
void appendCsvField(QByteArray& out, QByteArrayView utf8) {
    const qsizetype start = out.size();
    // A database may hold bytes that are not UTF-8; they become U+FFFD rather
    // than output that a reader cannot decode.
    if (isAscii(utf8) || utf8.isValidUtf8())
        out += utf8;
    else
        out += QString::fromUtf8(utf8).toUtf8();
    CloseCommaDelimitedField(out, start);
}

// Qt's JSON writer does the escaping; text that needs none (no quote,
// backslash or control character, valid UTF-8) goes out as it is, as the
// writer would give it too, without building a document per value.
void appendJsonString(QByteArray& out, QByteArrayView utf8) {
    const bool plain = std::none_of(
        utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x20 || c == '"' || c == '\\'; });
    if (plain && (isAscii(utf8) || utf8.isValidUtf8())) {
        out += '"';
        out += utf8;
        out += '"';
        return;
    }
    const QByteArray array =
        QJsonDocument(QJsonArray{QString::fromUtf8(utf8)}).toJson(QJsonDocument::Compact);
    out += QByteArrayView(array).sliced(1, array.size() - 2); // without [ and ]
}
} // namespace

QList<QByteArray> RecordFieldNames() {
    QList<QByteArray> names{"word"};
    for (const char* name : kPairFields)
        names << name;
    return names;
}

ResultFormatter::ResultFormatter(OutputFormat format, ResultSink& sink)
    : format_(format), sink_(sink) {
    if (format_ == OutputFormat::Table)
        pending_ += RecordFieldNames().join(',') + "\r\n";
    if (format_ == OutputFormat::Xlsx)
        workbook_ = std::make_unique<Workbook>(RecordFieldNames());
}

ResultFormatter::~ResultFormatter() = default;

void ResultFormatter::startWord(const QString& word) {
    word_ = word;
    prefix_.truncate(0);
    switch (format_) {
    case OutputFormat::Table:
        appendCsvField(prefix_, word.toUtf8());
        break;
    case OutputFormat::JsonLines:
        prefix_ += "{\"word\": ";
        appendJsonString(prefix_, word.toUtf8());
        break;
    case OutputFormat::Xlsx:
        prefix_ += word.toUtf8();
        break;
    default:
        prefix_ += SynonymRowPrefix(word).toUtf8();
    }
}

void ResultFormatter::pair(QByteArrayView synonym, QByteArrayView partOfSpeech,
                           QByteArrayView relation, QByteArrayView sense, QByteArrayView note) {
    const QByteArrayView fields[] = {synonym, partOfSpeech, relation, sense, note};
    static_assert(std::size(fields) == kPairFieldCount);
    if (format_ == OutputFormat::Table || format_ == OutputFormat::JsonLines ||
        format_ == OutputFormat::Xlsx)
        return record(fields);
    row_.truncate(0);
    row_ += prefix_;
    row_ += synonym;
    row(row_);
}

void ResultFormatter::notFound() {
    switch (format_) {
    case OutputFormat::Table:
    case OutputFormat::Xlsx:
        return record({});
    case OutputFormat::JsonLines:
        pending_ += prefix_;
        for (int i = 0; i < kPairFieldCount; ++i)
            pending_ += jsonKey(i) + "null";
        pending_ += "}\n";
        return flushWhenFull();
    default:
        row(NotFoundRow(word_).toUtf8());
    }
}

// One record of the word, with `fields` after it; no fields: the record of a
// word without synonyms, whose other fields are empty.
void ResultFormatter::record(std::span<const QByteArrayView> fields) {
    switch (format_) {
    case OutputFormat::Table:
        pending_ += prefix_;
        for (int i = 0; i < kPairFieldCount; ++i)
            appendCsvField(pending_, fields.empty() ? QByteArrayView() : fields[i]);
        pending_.chop(1); // the comma after the last field
        pending_ += "\r\n";
        break;
    case OutputFormat::JsonLines:
        pending_ += prefix_;
        for (int i = 0; i < kPairFieldCount; ++i) {
            pending_ += jsonKey(i);
            if (i != kSenseField)
                appendJsonString(pending_, fields[i]);
            else // null when the database keeps no senses, as for a word without any
                pending_ += fields[i].isEmpty() ? QByteArrayView("null") : fields[i];
        }
        pending_ += "}\n";
        break;
    default: {
        QByteArrayView cells[1 + kPairFieldCount] = {prefix_};
        std::copy(fields.begin(), fields.end(), cells + 1);
        return workbook_->addRow(cells);
    }
    }
    flushWhenFull();
}

void ResultFormatter::row(QByteArrayView utf8) {
    switch (format_) {
    case OutputFormat::CommaDelimited: {
        const qsizetype start = pending_.size();
        pending_ += utf8;
        CloseCommaDelimitedField(pending_, start);
        break;
    }
    case OutputFormat::Aligned:
        // Every row counts for the width before the first line is written.
        ends_.push_back(pending_.size() + utf8.size());
        pending_ += utf8;
        return;
    default:
        pending_ += utf8;
        pending_ += '\n';
    }
    flushWhenFull();
}

void ResultFormatter::flushWhenFull() {
    if (pending_.size() >= kChunkBytes) {
        sink_.writeUtf8(pending_);
        pending_.truncate(0);
    }
}

void ResultFormatter::flush() {
    if (format_ != OutputFormat::Aligned) {
        sink_.writeUtf8(pending_);
        pending_.truncate(0);
    }
    sink_.flush();
}

void ResultFormatter::finish() {
    if (workbook_)
        return workbook_->finish([this](const QByteArray& bytes) { sink_.writeBytes(bytes); });
    if (format_ == OutputFormat::CommaDelimited)
        pending_ += "\r\n";
    if (format_ != OutputFormat::Aligned) {
        sink_.writeUtf8(pending_);
        return;
    }
    const QString header = ResultsHeader();
    int width = CodePointLength(header);
    forEachAligned([&](const QString& text) { width = std::max(width, CodePointLength(text)); });
    QString line;
    const auto writeLine = [&](const QString& text) {
        line.truncate(0);
        AppendPaddedCell(line, text, width);
        sink_.write(line += QStringLiteral("\r\n"));
    };
    writeLine(header);
    forEachAligned(writeLine);
}

template <class Text> void ResultFormatter::forEachAligned(Text&& text) {
    qsizetype start = 0;
    for (const qsizetype end : ends_) {
        text(QString::fromUtf8(QByteArrayView(pending_).sliced(start, end - start)));
        start = end;
    }
}
