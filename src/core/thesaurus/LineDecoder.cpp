// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineDecoder.h"

namespace {

// Windows-1251, 0x80-0xFF. 0x98 has no character; 0 marks it so such a byte is refused
// rather than smuggled into the database as a control code.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 0xC0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // 0xC8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 0xD0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // 0xD8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // 0xE0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // 0xE8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // 0xF0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // 0xF8
};

// Latin-9 is Latin-1 with eight code points swapped out.
char16_t latin9Replacement(uchar byte) {
    switch (byte) {
    case 0xA4:
        return 0x20AC;
    case 0xA6:
        return 0x0160;
    case 0xA8:
        return 0x0161;
    case 0xB4:
        return 0x017D;
    case 0xB8:
        return 0x017E;
    case 0xBC:
        return 0x0152;
    case 0xBD:
        return 0x0153;
    case 0xBE:
        return 0x0178;
    default:
        return 0;
    }
}

bool isOneOf(const QString& name, std::initializer_list<const char*> spellings) {
    for (const char* spelling : spellings) {
        if (name.compare(QLatin1StringView(spelling), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Every line is decoded on its own, so partial sequences must not carry over to the next one,
// and a BOM-like sequence mid-file is content, not something to drop silently.
constexpr auto kLineFlags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

} // namespace

std::optional<LineDecoder> LineDecoder::forName(const QString& name) {
    if (isOneOf(name, {"UTF-8", "UTF8"})) {
        LineDecoder decoder(Kind::Utf8, QStringLiteral("UTF-8"));
        decoder.decoder_ = QStringDecoder(QStringConverter::Utf8, kLineFlags);
        return decoder;
    }
    if (isOneOf(name, {"ISO8859-1", "ISO-8859-1", "latin1"}))
        return LineDecoder(Kind::Latin1, name);
    if (isOneOf(name, {"ISO8859-15", "ISO-8859-15"}))
        return LineDecoder(Kind::Latin9, name);
    if (isOneOf(name, {"microsoft-cp1251", "windows-1251", "cp1251"}))
        return LineDecoder(Kind::Cp1251, QStringLiteral("windows-1251"));

    QStringDecoder qtDecoder(name.toLatin1().constData(), kLineFlags);
    if (!qtDecoder.isValid())
        return std::nullopt;
    LineDecoder decoder(Kind::Qt, name);
    decoder.decoder_ = std::move(qtDecoder);
    return decoder;
}

bool LineDecoder::decode(QByteArrayView bytes, QString& text, QString& problem) {
    switch (kind_) {
    case Kind::Utf8:
    case Kind::Qt:
        return decodeWithQt(decoder_, bytes, text, problem);
    case Kind::Latin1:
        text = QString::fromLatin1(bytes);
        return true;
    case Kind::Latin9:
        text = QString::fromLatin1(bytes);
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (const char16_t replacement = latin9Replacement(uchar(bytes[i])))
                text[i] = QChar(replacement);
        }
        return true;
    case Kind::Cp1251:
        text.resize(bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const uchar byte = uchar(bytes[i]);
            const char16_t unit = byte < 0x80 ? char16_t(byte) : kCp1251High[byte - 0x80];
            if (unit == 0 && byte != 0) {
                problem = QStringLiteral("byte 0x%1 is undefined in %2")
                              .arg(QString::number(byte, 16).toUpper(), name_);
                return false;
            }
            text[i] = QChar(unit);
        }
        return true;
    }
    Q_UNREACHABLE();
}

bool LineDecoder::decodeWithQt(QStringDecoder& decoder, QByteArrayView bytes, QString& text,
                               QString& problem) {
    decoder.resetState();
    text = decoder.decode(bytes);
    if (decoder.hasError()) {
        problem = QStringLiteral("bytes not valid in encoding %1").arg(name_);
        return false;
    }
    return true;
}
