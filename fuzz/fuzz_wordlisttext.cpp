// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a word-list file: the entries, each followed by the line end
// that closed it, make up exactly the text the whole file decodes to.
#include "FuzzSupport.h"
#include "WordListText.h"

#include <QStringDecoder>
#include <QStringList>
#include <vector>

namespace {
class Entries : public WordSink {
  public:
    void reserveText(std::size_t) override {}
    void appendValidUtf8(QByteArrayView text) override {
        FUZZ_CHECK(text.isValidUtf8(), "an entry handed on as UTF-8 is not UTF-8");
        list << WordFromUtf8(text);
    }
    void append(const QString& text) override { list << text; }
    QStringList list;
};

// Decoded in one go rather than piece by piece, so that splitting before
// decoding is checked against decoding first.
QString decodeWhole(const WordListEncoding& encoding) {
    if (encoding.kind() != WordListEncoding::Kind::Utf8) {
        QByteArray utf8;
        AppendWindows1252AsUtf8(utf8, encoding.body());
        return QString::fromUtf8(utf8);
    }
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8(encoding.body());
    FUZZ_CHECK(!utf8.hasError(), "bytes taken for UTF-8 that Qt's UTF-8 decoder rejects");
    return text;
}

bool isLineEnd(QByteArrayView bytes) {
    return bytes == "\r\n" || bytes == "\r" || bytes == "\n";
}

// The lines of text given to the splitter in two parts, cut at cut, as a
// stream receives them.
std::vector<QByteArrayView> linesInTwoParts(QByteArrayView text, qsizetype cut) {
    LineSplitter lines(LineSplitter::FinalLineFeed::EmptyLineAfter);
    std::vector<QByteArrayView> found;
    qsizetype start = 0, scanned = 0, lineStart = 0, lineEnd = 0;
    for (const QByteArrayView part : {text.first(cut), text})
        while (lines.next(part, start, scanned, lineStart, lineEnd))
            found.push_back(part.sliced(lineStart, lineEnd - lineStart));
    if (lines.lastLine(text.size() - start))
        found.push_back(text.sliced(start));
    return found;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView file(reinterpret_cast<const char*>(data), qsizetype(size));
    Entries sink;
    ReadWordList(file, sink);
    const QStringList& entries = sink.list;

    const WordListEncoding encoding(file);
    if (encoding.isUtf16()) {
        // Decoded first, split after: the line rules apply to the text.
        const QString text = encoding.decodeUtf16();
        QStringList pieces;
        ForEachLinePiece(QStringView(text), [&](QStringView piece) { pieces << piece.toString(); });
        FUZZ_CHECK(pieces == entries, "UTF-16 entries are not the lines of the decoded text");
        return 0;
    }
    const QByteArrayView body = encoding.body();
    if (encoding.kind() != WordListEncoding::Kind::Utf8) {
        // Windows-1252 is the fallback only for text that is not UTF-8.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString asUtf8 = utf8(body);
        FUZZ_CHECK(utf8.hasError(), "valid UTF-8 was read as Windows-1252");
    }

    // The pieces point into the body, so the bytes between two of them are
    // the line end that separated them.
    std::vector<QByteArrayView> pieces;
    ForEachLinePiece(body, [&](QByteArrayView piece) { pieces.push_back(piece); });
    FUZZ_CHECK(qsizetype(pieces.size()) == entries.size(), "pieces and entries differ in number");
    FUZZ_CHECK(pieces.empty() == body.isEmpty(), "an empty file has entries or a full one none");
    const qsizetype cut = body.isEmpty() ? 0 : qsizetype(data[0]) % (body.size() + 1);
    FUZZ_CHECK(linesInTwoParts(body, cut) == pieces, "text cut in two splits otherwise than whole");

    const char* const end = body.data() + body.size();
    const char* at = body.data();
    QString rejoined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const QString& entry = entries[qsizetype(i)];
        FUZZ_CHECK(pieces[i].data() == at, "a piece does not start where the last line end stops");
        FUZZ_CHECK(!entry.contains(u'\r') && !entry.contains(u'\n'), "an entry holds a line end");
        QByteArray buffer;
        FUZZ_CHECK(entry == WordFromUtf8(encoding.toUtf8(pieces[i], buffer)),
                   "an entry is not its decoded piece");
        rejoined += entry;
        at = pieces[i].data() + pieces[i].size();
        const char* const next = i + 1 < pieces.size() ? pieces[i + 1].data() : end;
        const QByteArrayView separator(at, next - at);
        if (i + 1 < pieces.size())
            FUZZ_CHECK(isLineEnd(separator), "two entries are not separated by one line end");
        else
            FUZZ_CHECK(separator.isEmpty() || separator == "\r" || separator == "\r\n",
                       "the file ends in a lone LF without an empty entry after it");
        FUZZ_CHECK(separator != "\r" || next == end || *next != '\n',
                   "a CR LF was split into two line ends");
        rejoined += QLatin1StringView(separator);
        at = next;
    }
    FUZZ_CHECK(at == end, "the pieces and line ends do not cover the file");
    FUZZ_CHECK(rejoined == decodeWhole(encoding),
               "entries rejoined with their line ends differ from the decoded file");
    return 0;
}
