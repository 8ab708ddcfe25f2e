// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <optional>

// Turns the bytes of one thesaurus line into text, in the encoding named on the file's first
// line. Lines are decoded one at a time so that a bad byte can be blamed on its line.
class LineDecoder {
  public:
    // Empty when the encoding is neither one we know nor one Qt can decode.
    static std::optional<LineDecoder> forName(const QString& name);

    // Returns false, with the reason in problem, when the bytes are not valid in the encoding.
    bool decode(QByteArrayView bytes, QString& text, QString& problem);

  private:
    enum class Kind { Utf8, Latin1, Latin9, Cp1251, Qt };

    LineDecoder(Kind kind, const QString& name) : kind_(kind), name_(name) {}

    bool decodeWithQt(QStringDecoder& decoder, QByteArrayView bytes, QString& text,
                      QString& problem);

    Kind kind_;
    QString name_;
    QStringDecoder decoder_;
};

// The lines of an importer input, after a UTF-8 byte-order mark, cut where the word files'
// lines end (LineSplitter: CR LF, CR or LF) and no longer than the command line takes a word
// file's line (WordStream::kLongestLine). A file is read in pieces as its lines are taken, so
// memory stays the same whatever it holds: /dev/zero, a pipe that never ends, a sparse file.
class ByteLines : private LineReader {
  public:
    // Text already in memory, named sourceName in messages.
    explicit ByteLines(QByteArrayView data, QString sourceName = QString());
    // The file at path, opened here. Throws ThesaurusError naming it when it cannot be.
    explicit ByteLines(const QString& path);
    ~ByteLines() override;
    ByteLines(ByteLines&& other) noexcept;
    ByteLines& operator=(ByteLines&&) = delete;
    ByteLines(const ByteLines&) = delete;
    ByteLines& operator=(const ByteLines&) = delete;

    // The next line without its line end, valid until the next call. Throws ThesaurusError
    // naming the file and line when the file cannot be read or the line is too long.
    bool next(QByteArrayView& line);
    // Throws ThesaurusError naming the file and the line next() gave last when it holds a NUL
    // byte: no word or affix holds one.
    void refuseNul(QByteArrayView line) const;

    // The 1-based number of the line next() gave last.
    int number() const { return int(LineReader::number()); }
    // Bytes taken so far and in all (0 when the size cannot be known: a pipe), for progress.
    qint64 position() const { return LineReader::position(); }
    qint64 size() const { return size_; }
    // How many lines the input holds in all, or -1 when it cannot be known ahead (a pipe, a
    // device). A regular file is counted in a pass of its own that keeps none of its text.
    qint64 total() const;

  private:
    [[noreturn]] void failRead(int error) const override;
    [[noreturn]] void failTooLong(qsizetype line) const override;

    QString source_;
    QByteArrayView memory_; // the text in memory
    qint64 size_ = 0;
    bool markChecked_ = false;
};
