#include "ResultFormatter.h"

#include "ResultSink.h"
#include "ResultsExport.h"
#include "SynonymQuery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace {
constexpr qsizetype kChunkBytes = 64 * 1024;

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

ResultFormatter::ResultFormatter(CommandLine::Format format, ResultSink& sink)
    : format_(format), sink_(sink) {
    if (format_ == CommandLine::Table)
        pending_ += "word,synonym,pos,relation\r\n";
}

void ResultFormatter::startWord(const QString& word) {
    word_ = word;
    prefix_.truncate(0);
    switch (format_) {
    case CommandLine::Table:
        appendCsvField(prefix_, word.toUtf8());
        break;
    case CommandLine::JsonLines:
        prefix_ += "{\"word\": ";
        appendJsonString(prefix_, word.toUtf8());
        break;
    default:
        prefix_ += SynonymRowPrefix(word).toUtf8();
    }
}

void ResultFormatter::pair(QByteArrayView synonym, QByteArrayView partOfSpeech,
                           QByteArrayView relation) {
    switch (format_) {
    case CommandLine::Table:
        pending_ += prefix_;
        for (const QByteArrayView field : {synonym, partOfSpeech, relation})
            appendCsvField(pending_, field);
        pending_.chop(1); // the comma after the last field
        pending_ += "\r\n";
        return flushWhenFull();
    case CommandLine::JsonLines: {
        static const char* const keys[] = {", \"synonym\": ", ", \"pos\": ", ", \"relation\": "};
        const QByteArrayView fields[] = {synonym, partOfSpeech, relation};
        pending_ += prefix_;
        for (int i = 0; i < 3; ++i) {
            pending_ += keys[i];
            appendJsonString(pending_, fields[i]);
        }
        pending_ += "}\n";
        return flushWhenFull();
    }
    default:
        row_.truncate(0);
        row_ += prefix_;
        row_ += synonym;
        row(row_);
    }
}

void ResultFormatter::notFound() {
    switch (format_) {
    case CommandLine::Table:
        pending_ += prefix_;
        pending_ += ",,\r\n";
        return flushWhenFull();
    case CommandLine::JsonLines:
        pending_ += prefix_;
        pending_ += ", \"synonym\": null, \"pos\": null, \"relation\": null}\n";
        return flushWhenFull();
    default:
        row(NotFoundRow(word_).toUtf8());
    }
}

void ResultFormatter::row(QByteArrayView utf8) {
    switch (format_) {
    case CommandLine::CommaDelimited: {
        const qsizetype start = pending_.size();
        pending_ += utf8;
        CloseCommaDelimitedField(pending_, start);
        break;
    }
    case CommandLine::Aligned:
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
    if (format_ != CommandLine::Aligned) {
        sink_.writeUtf8(pending_);
        pending_.truncate(0);
    }
    sink_.flush();
}

void ResultFormatter::finish() {
    if (format_ == CommandLine::CommaDelimited)
        pending_ += "\r\n";
    if (format_ != CommandLine::Aligned) {
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
