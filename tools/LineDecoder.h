#pragma once

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

    LineDecoder(Kind kind, const QString& name) : m_kind(kind), m_name(name) {}

    bool decodeWithQt(QStringDecoder& decoder, QByteArrayView bytes, QString& text,
                      QString& problem);

    Kind m_kind;
    QString m_name;
    QStringDecoder m_decoder;
};
