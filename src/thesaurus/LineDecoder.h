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

    LineDecoder(Kind kind, const QString& name) : m_kind(kind), m_name(name) {}

    bool decodeWithQt(QStringDecoder& decoder, QByteArrayView bytes, QString& text,
                      QString& problem);

    Kind m_kind;
    QString m_name;
    QStringDecoder m_decoder;
};

// Splits a whole file into lines without copying it: after a UTF-8 byte-order mark, at each LF,
// with a CR before the LF taken off.
class ByteLines {
  public:
    explicit ByteLines(QByteArrayView data) : m_data(data) {
        if (m_data.startsWith("\xEF\xBB\xBF"))
            m_data = m_data.sliced(3);
    }

    bool next(QByteArrayView& line) {
        if (m_pos >= m_data.size())
            return false;
        const char* begin = m_data.data() + m_pos;
        const qsizetype left = m_data.size() - m_pos;
        const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', left));
        qsizetype length = newline ? newline - begin : left;
        m_pos += newline ? length + 1 : length;
        if (length > 0 && begin[length - 1] == '\r')
            --length;
        line = QByteArrayView(begin, length);
        ++m_number;
        return true;
    }

    // The 1-based number of the line next() gave last.
    int number() const { return m_number; }
    // Bytes read so far and in all, for progress.
    qsizetype position() const { return m_pos; }
    qsizetype size() const { return m_data.size(); }
    QByteArrayView data() const { return m_data; }

  private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    int m_number = 0;
};
