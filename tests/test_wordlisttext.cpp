#include "WordListText.h"

#include <QStringEncoder>
#include <QTest>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define HAVE_ICONV
#endif

namespace {
QStringList entriesOf(const QByteArray& bytes) {
    QStringList entries;
    ForEachWordListEntry(bytes, [&](const QString& entry) { entries << entry; });
    return entries;
}

// A file as Windows writes "Unicode" text: a byte-order mark, then UTF-16.
QByteArray utf16File(QStringEncoder::Encoding encoding, const QString& text) {
    const QByteArray mark = encoding == QStringEncoder::Utf16LE ? "\xFF\xFE" : "\xFE\xFF";
    return mark + QStringEncoder(encoding).encode(text);
}

QString text(const char16_t* utf16) {
    return QStringView(utf16).toString(); // keeps a leading U+FEFF
}
} // namespace

class TestWordListText : public QObject {
    Q_OBJECT
  private slots:
    void entries_data();
    void entries();
    void windows1252AgreesWithIconv();
};

void TestWordListText::entries_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    const QString nul(QChar(0));

    // Line ends.
    QTest::newRow("CR LF") << QByteArray("cat\r\ndog\r\n") << QStringList{"cat", "dog"};
    QTest::newRow("LF only, final LF") << QByteArray("cat\ndog\n") << QStringList{"cat", "dog", ""};
    QTest::newRow("CR only") << QByteArray("cat\rdog\r") << QStringList{"cat", "dog"};
    QTest::newRow("no final line end") << QByteArray("cat\rdog") << QStringList{"cat", "dog"};
    QTest::newRow("lone LF in a CR LF file") << QByteArray("one\r\ntwo\nthree\r\nfour\r\n")
                                             << QStringList{"one", "two", "three", "four"};
    QTest::newRow("all three mixed")
        << QByteArray("a\r\nb\rc\nd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("LF just before CR") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("two final LFs") << QByteArray("a\n\n") << QStringList{"a", "", ""};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("only CR LF") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("only CR") << QByteArray("\r") << QStringList{""};
    QTest::newRow("only LF") << QByteArray("\n") << QStringList{"", ""};

    // Entries as they stand.
    QTest::newRow("blanks, empty lines, case")
        << QByteArray("  cat  \r\n\r\nCat\r\n") << QStringList{"  cat  ", "", "Cat"};
    QTest::newRow("tabs and duplicates")
        << QByteArray("\tcat\t\r\ncat\r\ncat") << QStringList{"\tcat\t", "cat", "cat"};
    QTest::newRow("NUL bytes") << QByteArray("a\0b\r\n\0\r\n", 8)
                               << QStringList{"a" + nul + "b", nul};

    // Encodings.
    QTest::newRow("BOM dropped") << QByteArray("\xEF\xBB\xBF"
                                               "cat\r\n")
                                 << QStringList{"cat"};
    QTest::newRow("BOM alone") << QByteArray("\xEF\xBB\xBF") << QStringList{};
    QTest::newRow("BOM later is text") << QByteArray("cat\r\n\xEF\xBB\xBF"
                                                     "dog")
                                       << QStringList{"cat", text(u"\uFEFFdog")};
    QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9\r\n\xF0\x9F\x98\x80")
                           << QStringList{text(u"caf\u00E9"), text(u"\U0001F600")};
    QTest::newRow("Windows-1252") << QByteArray("\x93quoted\x94\r\ncaf\xE9\r\n\x80")
                                  << QStringList{text(u"\u201Cquoted\u201D"), text(u"caf\u00E9"),
                                                 text(u"\u20AC")};
    QTest::newRow("one bad byte makes the whole file Windows-1252")
        << QByteArray("caf\xC3\xA9\r\n\xE9")
        << QStringList{text(u"caf\u00C3\u00A9"), text(u"\u00E9")};
    // Long ASCII runs are checked eight bytes at a time; the odd byte may sit anywhere.
    QTest::newRow("bad byte first of eight")
        << QByteArray("synonyms\xE9ynonyms") << QStringList{text(u"synonyms\u00E9ynonyms")};
    QTest::newRow("bad byte last of eight")
        << QByteArray("synonymssynonym\xE9") << QStringList{text(u"synonymssynonym\u00E9")};
    QTest::newRow("UTF-8 after a long ASCII run")
        << QByteArray("synonyms\xC3\xA9\r\nsynonym\xC3\xA9")
        << QStringList{text(u"synonyms\u00E9"), text(u"synonym\u00E9")};
    QTest::newRow("BOM dropped before Windows-1252")
        << QByteArray("\xEF\xBB\xBF\x93hi\x94") << QStringList{text(u"\u201Chi\u201D")};
    // Where UTF-8 ends: the last forms it allows, and the first it refuses.
    QTest::newRow("UTF-8 bounds") << QByteArray(
                                         "\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF")
                                  << QStringList{text(u"\u0800\uD7FF\uFFFF\U0010FFFF")};
    QTest::newRow("overlong, 2 bytes")
        << QByteArray("\xC1\xBF") << QStringList{text(u"\u00C1\u00BF")};
    QTest::newRow("overlong, 3 bytes")
        << QByteArray("\xE0\x9F\xBF") << QStringList{text(u"\u00E0\u0178\u00BF")};
    QTest::newRow("overlong, 4 bytes")
        << QByteArray("\xF0\x8F\xBF\xBF") << QStringList{text(u"\u00F0\u008F\u00BF\u00BF")};
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80")
                               << QStringList{text(u"\u00ED\u00A0\u20AC")};
    QTest::newRow("beyond U+10FFFF")
        << QByteArray("\xF4\x90\x80\x80") << QStringList{text(u"\u00F4\u0090\u20AC\u20AC")};
    QTest::newRow("cut short") << QByteArray("ab\xE2\x82") << QStringList{text(u"ab\u00E2\u201A")};
    QTest::newRow("stray continuation") << QByteArray("a\x80") << QStringList{text(u"a\u20AC")};
    // UTF-16 is decoded before it is split: U+010A holds a 0x0A byte.
    QTest::newRow("UTF-16 LE, as Notepad saves")
        << utf16File(QStringEncoder::Utf16LE, text(u"happy\r\nlook\r\n\u010A\r\n"))
        << QStringList{"happy", "look", text(u"\u010A")};
    QTest::newRow("UTF-16 BE, second mark kept")
        << utf16File(QStringEncoder::Utf16BE, text(u"\uFEFF\u00E9t\u00E9\ncat"))
        << QStringList{text(u"\uFEFF\u00E9t\u00E9"), "cat"};
    QTest::newRow("undefined Windows-1252 bytes")
        << QByteArray("\x81\x8D\x8F\x90\x9D")
        << QStringList{text(u"\u0081\u008D\u008F\u0090\u009D")};
}

void TestWordListText::entries() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(entriesOf(bytes), expected);

    // Pasted text follows the same line rules as a file's bytes.
    const WordListEncoding encoding(bytes);
    const QString decoded = encoding.decode(encoding.body());
    QStringList pieces;
    ForEachLinePiece(QStringView(decoded), [&](QStringView piece) { pieces << piece.toString(); });
    QCOMPARE(pieces, expected);
}

void TestWordListText::windows1252AgreesWithIconv() {
#ifndef HAVE_ICONV
    QSKIP("no iconv to compare with");
#else
    // The system's converter knows the code page; it only refuses the five
    // holes, which are read as the C1 controls of the same value.
    iconv_t converter = iconv_open("UTF-16LE", "WINDOWS-1252");
    QVERIFY(converter != iconv_t(-1));
    int holes = 0;
    for (int value = 0; value < 256; ++value) {
        char in = char(value);
        char16_t out = 0;
        char* inPointer = &in;
        char* outPointer = reinterpret_cast<char*>(&out);
        size_t inLeft = 1, outLeft = sizeof out;
        const bool defined = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) == 0;
        holes += defined ? 0 : 1;
        const QString decoded = DecodeWindows1252(QByteArrayView(&in, 1));
        QCOMPARE(decoded, QString(QChar(defined ? out : char16_t(value))));
    }
    iconv_close(converter);
    QCOMPARE(holes, 5);
#endif
}

QTEST_APPLESS_MAIN(TestWordListText)
#include "test_wordlisttext.moc"
