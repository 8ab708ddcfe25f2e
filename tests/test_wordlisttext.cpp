// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "WordListText.h"
#include "WordStream.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <csignal>
#include <thread>
#include <unistd.h>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define HAVE_ICONV
#endif

namespace {
// Entries as the window's list gets them.
class Entries : public WordSink {
  public:
    void reserveText(std::size_t) override {}
    void appendValidUtf8(QByteArrayView text) override {
        allValid = allValid && text.isValidUtf8();
        list << WordFromUtf8(text);
    }
    void append(const QString& text) override { list << text; }
    QStringList list;
    bool allValid = true;
};

QStringList entriesOf(const QByteArray& bytes) {
    Entries entries;
    ReadWordList(bytes, entries);
    if (!entries.allValid)
        return {"invalid UTF-8 handed to the list"};
    return entries.list;
}

// The words of fd as the command line reads them; waits on a pipe as it does.
QStringList streamed(int fd) {
    WordStream stream(fd, QStringLiteral("words.txt"));
    QStringList words;
    QByteArrayView word;
    for (WordStream::Next next; (next = stream.next(word)) != WordStream::End;) {
        if (next == WordStream::Waiting)
            stream.waitForInput();
        else
            words << WordFromUtf8(word);
    }
    return words;
}

QStringList streamedFromFile(const QByteArray& bytes) {
    QTemporaryDir dir;
    QFile file(dir.filePath("words.txt"));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {"cannot write the file"};
    file.close();
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY);
    const QStringList words = streamed(fd);
    ::close(fd);
    return words;
}

// Written from another thread while it is read, as a pipe is.
QStringList streamedFromPipe(const QByteArray& bytes) {
    int ends[2];
    if (::pipe(ends) != 0)
        return {"no pipe"};
    std::thread writer([&] {
        // A reader that gives up closes its end: the write then fails with EPIPE, and the
        // signal, held in this thread, ends with it instead of killing the test.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t wrote = ::write(ends[1], bytes.constData() + at, size_t(bytes.size() - at));
            if (wrote <= 0)
                break;
            at += wrote;
        }
        ::close(ends[1]);
    });
    QStringList words;
    try {
        words = streamed(ends[0]);
    } catch (...) {
        ::close(ends[0]); // the writer's next write fails instead of blocking
        writer.join();
        throw;
    }
    ::close(ends[0]);
    writer.join();
    return words;
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
    void streamedWords_data();
    void streamedWords();
    void longestLine_data();
    void longestLine();
    void utf8Validation_data();
    void utf8Validation();
    void lookedUp_data();
    void lookedUp();
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
    QByteArray buffer;
    const QString decoded = encoding.isUtf16()
                                ? encoding.decodeUtf16()
                                : WordFromUtf8(encoding.toUtf8(encoding.body(), buffer));
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
        QByteArray utf8;
        AppendWindows1252AsUtf8(utf8, QByteArrayView(&in, 1));
        const QString decoded = QString::fromUtf8(utf8);
        QCOMPARE(decoded, QString(QChar(defined ? out : char16_t(value))));
    }
    iconv_close(converter);
    QCOMPARE(holes, 5);
#endif
}

void TestWordListText::streamedWords_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fromFile");
    QTest::addColumn<QStringList>("fromPipe");

    const auto same = [](const char* name, const QByteArray& bytes, const QStringList& words) {
        QTest::newRow(name) << bytes << words << words;
    };
    same("CR LF", "cat\r\ndog\r\n", {"cat", "dog"});
    same("final LF gives no empty word", "cat\ndog\n", {"cat", "dog"});
    same("CR only, no final line end", "cat\rdog", {"cat", "dog"});
    same("lone LF in a CR LF file", "one\r\ntwo\nthree\r\n", {"one", "two", "three"});
    same("LF just before CR", "a\n\rb", {"a", "", "b"});
    same("two final LFs", "a\n\n", {"a", ""});
    same("only LF", "\n", {""});
    same("empty", "", {});
    same("blank lines and spaces kept", "  cat  \r\n\r\nCat\r\n", {"  cat  ", "", "Cat"});
    same("NUL kept", QByteArray("a\0b\n", 4), {QString("a") + QChar(0) + "b"});
    same("BOM dropped, a later one kept",
         "\xEF\xBB\xBF"
         "cat\n\xEF\xBB\xBF"
         "dog",
         {"cat", text(u"\uFEFFdog")});
    same("Windows-1252", "\x93hi\x94\n", {text(u"\u201Chi\u201D")});
    same("UTF-16 LE", utf16File(QStringEncoder::Utf16LE, text(u"happy\r\n\u010A\n")),
         {"happy", text(u"\u010A")});
    // The file is read in 64 KiB parts: here a CR ends one and its LF starts the next.
    same("CR LF split between reads", QByteArray(65535, 'a') + "\r\nb",
         {QString(65535, u'a'), "b"});
    QTest::newRow("a file decides from all its bytes, a pipe line by line")
        << QByteArray("caf\xC3\xA9\n\xE9") << QStringList{text(u"caf\u00C3\u00A9"), text(u"\u00E9")}
        << QStringList{text(u"caf\u00E9"), text(u"\u00E9")};
}

void TestWordListText::streamedWords() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fromFile);
    QFETCH(QStringList, fromPipe);
    QCOMPARE(streamedFromFile(bytes), fromFile);
    QCOMPARE(streamedFromPipe(bytes), fromPipe);
}

void TestWordListText::longestLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("lastLength"); // of the last word, in bytes of UTF-8
    QTest::addColumn<QString>("error");

    const qsizetype limit = WordStream::kLongestLine;
    const QByteArray longest(limit, 'a');
    const QString refused = "Cannot read words.txt: line 2 is longer than 1048576 bytes, the "
                            "longest line a word file may hold.";
    QTest::newRow("the longest, LF") << "look\n" + longest + "\nend" << qsizetype(3) << QString();
    QTest::newRow("the longest, CR LF") << "look\r\n" + longest + "\r\n" << limit << QString();
    QTest::newRow("the longest, last") << "look\n" + longest << limit << QString();
    QTest::newRow("one byte more, LF") << "look\n" + longest + "a\nend" << qsizetype(0) << refused;
    QTest::newRow("one byte more, last") << "look\n" + longest + "a" << qsizetype(0) << refused;
    QTest::newRow("1,114,111 bytes")
        << "look\n" + QByteArray(1114111, 'a') + "\n" << qsizetype(0) << refused;
    // Counted in the file's bytes: each Windows-1252 byte here is two in UTF-8.
    QTest::newRow("the longest, Windows-1252")
        << "look\n" + QByteArray(limit, '\xE9') << 2 * limit << QString();
}

void TestWordListText::longestLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, lastLength);
    QFETCH(QString, error);
    for (const bool pipe : {false, true}) {
        QString told;
        QStringList words;
        try {
            words = pipe ? streamedFromPipe(bytes) : streamedFromFile(bytes);
        } catch (const AppError& failure) {
            told = failure.description();
        }
        QCOMPARE(told, error);
        if (error.isEmpty())
            QCOMPARE(words.constLast().toUtf8().size(), lastLength);
    }
}

// The edges of UTF-8, where a file stops being read as UTF-8.
void TestWordListText::utf8Validation_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    const auto row = [](const char* name, const QByteArray& bytes, bool valid) {
        QTest::newRow(name) << bytes << valid;
    };
    row("ASCII", "synonyms", true);
    row("U+0080", "\xC2\x80", true);
    row("overlong U+0000", "\xC0\x80", false);
    row("U+0800", "\xE0\xA0\x80", true);
    row("overlong U+07FF", "\xE0\x9F\xBF", false);
    row("U+D7FF", "\xED\x9F\xBF", true);
    row("surrogate D800", "\xED\xA0\x80", false);
    row("surrogate DFFF", "\xED\xBF\xBF", false);
    row("surrogate pair as CESU-8", "\xED\xA0\xBD\xED\xB8\x80", false);
    row("U+E000", "\xEE\x80\x80", true);
    row("overlong U+FFFF", "\xF0\x8F\xBF\xBF", false);
    row("U+10FFFF", "\xF4\x8F\xBF\xBF", true);
    row("U+110000", "\xF4\x90\x80\x80", false);
    row("F5 lead", "\xF5\x80\x80\x80", false);
    row("5-byte form", "\xF8\x88\x80\x80\x80", false);
    row("FE", "\xFE", false);
    row("cut short, 2 of 2", "ab\xC3", false);
    row("cut short, 4 of 4", "ab\xF0\x9F\x98", false);
    row("cut short before ASCII", "\xE2\x82"
                                  "A",
        false);
    row("stray continuation", "a\x80", false);
    row("bad byte last of eight", "synonymssynonym\xE9", false);
    row("UTF-8 after a long ASCII run", "synonyms\xC3\xA9synonym\xC3\xA9", true);
}

void TestWordListText::utf8Validation() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(QByteArrayView(bytes).isValidUtf8(), valid);
    QCOMPARE((WordListEncoding(bytes).kind() == WordListEncoding::Kind::Utf8), valid);
}

void TestWordListText::lookedUp_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<bool>("lookedUp");
    QTest::newRow("word") << QByteArray("cat") << true;
    QTest::newRow("astral") << text(u"\U0001F600").toUtf8() << true;
    QTest::newRow("NUL inside") << QByteArray("a\0b", 3) << false;
}

void TestWordListText::lookedUp() {
    QFETCH(QByteArray, word);
    QFETCH(bool, lookedUp);
    QCOMPARE(CanBeLookedUp(word), lookedUp);
}

QTEST_APPLESS_MAIN(TestWordListText)
#include "test_wordlisttext.moc"
