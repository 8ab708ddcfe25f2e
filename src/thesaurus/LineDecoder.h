#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <cstring>
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

// Splits a whole file into lines without copying it: after a UTF-8 byte-order mark, at each LF,
// with a CR before the LF taken off.
class ByteLines {
  public:
    explicit ByteLines(QByteArrayView data) : data_(data) {
        if (data_.startsWith("\xEF\xBB\xBF"))
            data_ = data_.sliced(3);
    }

    bool next(QByteArrayView& line) {
        if (pos_ >= data_.size())
            return false;
        const char* begin = data_.data() + pos_;
        const qsizetype left = data_.size() - pos_;
        const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', left));
        qsizetype length = newline ? newline - begin : left;
        pos_ += newline ? length + 1 : length;
        if (length > 0 && begin[length - 1] == '\r')
            --length;
        line = QByteArrayView(begin, length);
        ++number_;
        return true;
    }

    // The 1-based number of the line next() gave last.
    int number() const { return number_; }
    // Bytes read so far and in all, for progress.
    qsizetype position() const { return pos_; }
    qsizetype size() const { return data_.size(); }
    QByteArrayView data() const { return data_; }

  private:
    QByteArrayView data_;
    qsizetype pos_ = 0;
    int number_ = 0;
};
