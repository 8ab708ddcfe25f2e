// SPDX-License-Identifier: GPL-3.0-or-later
// Very large inputs through the window: a word list of a million entries, a
// 50 MB file of one line, and a word of a megabyte looked up. None may crash,
// and the memory each needs must stay proportional to its size.
#include "FixtureDatabase.h"
#include "Form1.h"
#include "ListView.h"
#include "ProgressBar.h"
#include "ScriptedDesktop.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif
constexpr qint64 kMB = 1 << 20;
const QString kNotFound = QStringLiteral(" - this word not found in the database.");
// What the window needs beyond the input's copies (fonts, views, the
// database's cache); under AddressSanitizer also the 256 MB that it keeps
// of freed memory to catch late uses, and its shadow of every allocation.
constexpr qint64 kOverhead = (kSanitized ? 400 : 64) * kMB;
constexpr qint64 kCopiesAllowed = 20;

qint64 statusBytes(const char* field) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// The peak of the process's resident memory while it is alive, above what it
// held when it was made. Where the peak cannot be reset, it counts from the
// earlier peak instead, which can only understate the growth.
class PeakMeter {
  public:
    PeakMeter() {
        QFile clear("/proc/self/clear_refs");
        reset_ = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
        clear.close();
        base_ = statusBytes(reset_ ? "VmRSS:" : "VmHWM:");
    }
    qint64 growth() const { return statusBytes("VmHWM:") - base_; }
    bool wasReset() const { return reset_; }

  private:
    bool reset_ = false;
    qint64 base_ = 0;
};
} // namespace

class TestLimits : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void millionEntryWordList();
    void fiftyMegabyteLine();
    void megabyteWord();

  private:
    template <class T = QWidget> T* child(const char* name) {
        return form_->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { child<QPushButton>(name)->click(); }
    QString writeFile(const QString& name, QByteArray bytes);
    void loadThroughTheDialog(const QString& path);
    void draw();
    void checkMemory(const PeakMeter& meter, qint64 input, const char* what);

    QTemporaryDir folder_;
    std::unique_ptr<ScriptedDesktop> desktop_;
    std::unique_ptr<Form1> form_;
};

void TestLimits::initTestCase() {
    QVERIFY(folder_.isValid());
    BuildFixtureDatabase(folder_.path());
    if (statusBytes("VmHWM:") < 0)
        QSKIP("needs /proc/self/status to measure memory");
}

void TestLimits::init() {
    desktop_ = std::make_unique<ScriptedDesktop>();
    form_ = std::make_unique<Form1>(*desktop_, folder_.path());
    QVERIFY(form_->Form_Load());
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TestLimits::cleanup() {
    form_.reset();
    desktop_.reset();
}

QString TestLimits::writeFile(const QString& name, QByteArray bytes) {
    const QString path = folder_.filePath(name);
    QFile file(path);
    [&] { QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()); }();
    return path;
}

void TestLimits::loadThroughTheDialog(const QString& path) {
    desktop_->openAnswers << QStringList{path};
    click("PushButton3");
    // The view learns of the new rows and draws them.
    draw();
}

// What is pending, handled and drawn now, as a screen would show it.
void TestLimits::draw() {
    QCoreApplication::processEvents();
    form_->repaint();
}

void TestLimits::checkMemory(const PeakMeter& meter, qint64 input, const char* what) {
    const qint64 growth = meter.growth();
    qInfo("%s: input %.1f MB, peak memory grew by %.1f MB (%.1f times the input)%s%s", what,
          double(input) / kMB, double(growth) / kMB, double(growth) / double(input),
          meter.wasReset() ? "" : ", counted from an earlier peak",
          kSanitized ? ", with AddressSanitizer" : "");
    QVERIFY2(growth <= kCopiesAllowed * input + kOverhead, what);
}

void TestLimits::millionEntryWordList() {
    QByteArray lines;
    lines.reserve(13 * 1000000);
    for (int i = 1; i <= 1000000; ++i)
        lines += "word" + QByteArray::number(i).rightJustified(7, '0') + "\r\n";
    const qint64 size = lines.size();
    const QString path = writeFile("million.txt", std::move(lines));

    const PeakMeter meter;
    loadThroughTheDialog(path);
    auto* words = child<ListView>("ListView1");
    QCOMPARE(words->count(), 1000000);
    QCOMPARE(words->text(1), "word0000001");
    QCOMPARE(words->text(1000000), "word1000000");
    QCOMPARE(words->model()->rowCount(), 1000000);
    QCOMPARE(form_->MousePointer(), 0);
    QVERIFY(desktop_->boxes.isEmpty());
    checkMemory(meter, size, "a word list of 1,000,000 entries");
    click("PushButton1");
    QCOMPARE(words->count(), 0);
}

void TestLimits::fiftyMegabyteLine() {
    const qint64 size = 50 * kMB;
    QByteArray line(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        line[i] = char('a' + i % 26);
    const QString path = writeFile("line.txt", std::move(line));

    const PeakMeter meter;
    loadThroughTheDialog(path);
    auto* words = child<ListView>("ListView1");
    QCOMPARE(words->count(), 1);
    const QString entry = words->text(1);
    QCOMPARE(entry.size(), size);
    QVERIFY(entry.startsWith("abcdefghijklmnopqrstuvwxyzabc"));
    QCOMPARE(entry.back(), QChar(char16_t('a' + (size - 1) % 26)));
    QVERIFY(desktop_->boxes.isEmpty());
    checkMemory(meter, size, "a 50 MB file of one line");

    // Looked up as one word: the window draws its progress text meanwhile.
    const PeakMeter lookup;
    QString shown;
    desktop_->onYield[2] = [&] {
        draw();
        shown = child<ProgressBar>("ProgressBar1")->text();
    };
    click("PushButton17");
    // The bar shows the start of such a text, never lays out megabytes.
    QVERIFY(shown.startsWith("Processing: abcdefghijklmnopqrstuvwxyzabcdef"));
    QVERIFY(shown.size() < 1000);
    QCOMPARE(desktop_->boxTexts(), QStringList{"Done."});
    auto* results = child<ListView>("ListView2");
    QCOMPARE(results->count(), 1);
    QVERIFY(results->text(1).endsWith(QStringLiteral("ABCDEFGH") + kNotFound));
    draw();
    checkMemory(lookup, size, "a 50 MB word looked up");
}

void TestLimits::megabyteWord() {
    // Apostrophes double in the query; the rest is one long word.
    QString word(kMB, u'x');
    for (qsizetype i = 0; i < word.size(); i += 1000)
        word[i] = u'\'';
    const qint64 size = word.size();
    desktop_->typed << word;
    click("PushButton6");
    word.clear();

    const PeakMeter meter;
    // The window draws the progress text while the word is looked up.
    desktop_->onYield[2] = [this] { draw(); };
    click("PushButton17");
    auto* results = child<ListView>("ListView2");
    QCOMPARE(desktop_->boxTexts(), QStringList{"Done."});
    QCOMPARE(results->count(), 1);
    const QString row = results->text(1);
    QCOMPARE(row.size(), size + 39);
    QVERIFY(row.startsWith("'XXX"));
    QVERIFY(row.endsWith("XXX - this word not found in the database."));

    results->setAllChecked(true);
    click("PushButton5");
    QCOMPARE(desktop_->clipboard.size(), size + 41);
    const QString csv = folder_.filePath("row.csv");
    desktop_->saveAnswers << csv;
    click("PushButton9");
    QCOMPARE(QFileInfo(csv).size(), size + 42);
    draw();
    checkMemory(meter, size, "a word of 1 MB looked up, copied and saved");
}

QTEST_MAIN(TestLimits)
#include "test_limits.moc"
