#include "Thesaurus.h"

#include "LineDecoder.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <cstring>

ThesaurusError::ThesaurusError(const QString& sourceName, int line, const QString& problem)
    : std::runtime_error((line > 0
                              ? QStringLiteral("%1:%2: %3").arg(sourceName).arg(line).arg(problem)
                              : QStringLiteral("%1: %2").arg(sourceName, problem))
                             .toStdString()),
      m_sourceName(sourceName), m_line(line), m_problem(problem) {}

namespace {

// Decoding happens per line after splitting, so that an invalid byte is reported with the line
// it sits on.
class LineReader : public ByteLines {
  public:
    explicit LineReader(QByteArrayView data) : ByteLines(data) {
        m_total = std::count(data.begin(), data.end(), '\n');
        if (!data.isEmpty() && data.back() != '\n')
            ++m_total;
    }

    qsizetype linesLeft() const { return m_total - number(); }

  private:
    qsizetype m_total = 0;
};

enum class TermKind { Kept, Dropped };

struct Tag {
    QLatin1StringView suffix;
    TermKind kind;
    QString relation;
};

const QString& plainRelation() {
    static const QString relation = QStringLiteral("synonym");
    return relation;
}

// Only these exact trailing tags carry meaning; any other parentheses belong to the term,
// as in "Lincoln (city)".
const std::array<Tag, 4>& tags() {
    static const std::array<Tag, 4> all = {{
        {QLatin1StringView(" (similar term)"), TermKind::Kept, QStringLiteral("similar term")},
        {QLatin1StringView(" (related term)"), TermKind::Kept, QStringLiteral("related term")},
        {QLatin1StringView(" (antonym)"), TermKind::Dropped, QString()},
        {QLatin1StringView(" (generic term)"), TermKind::Dropped, QString()},
    }};
    return all;
}

// Accepts only plain decimal digits; saturates instead of overflowing, since any count
// beyond the lines left in the file is rejected by the caller anyway.
bool parseCount(QStringView text, qint64& count) {
    if (text.isEmpty())
        return false;
    count = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        if (count < (qint64(1) << 40))
            count = count * 10 + (c.unicode() - '0');
    }
    return count > 0;
}

class Parser {
  public:
    Parser(const QByteArray& data, const QString& sourceName, const StepProgress& progress)
        : m_sourceName(sourceName), m_lines(data), m_progress(progress) {}

    std::vector<ThesaurusEntry> run() {
        readEncoding();
        QByteArrayView bytes;
        for (qint64 lines = 1; m_lines.next(bytes); ++lines) {
            if (m_progress && lines % 4096 == 0)
                m_progress(m_lines.position(), m_lines.size());
            const QString text = decode(bytes);
            if (text.trimmed().isEmpty())
                continue;
            readEntry(text);
        }
        return std::move(m_entries);
    }

  private:
    [[noreturn]] void fail(int line, const QString& problem) const {
        throw ThesaurusError(m_sourceName, line, problem);
    }

    void readEncoding() {
        QByteArrayView bytes;
        if (!m_lines.next(bytes))
            fail(1, QStringLiteral("empty file, expected the encoding name on the first line"));
        rejectNul(bytes);
        const QString name = QString::fromLatin1(bytes).trimmed();
        if (name.isEmpty())
            fail(1, QStringLiteral("expected the encoding name on the first line"));
        m_decoder = LineDecoder::forName(name);
        if (!m_decoder)
            fail(1, QStringLiteral("unknown encoding %1").arg(name));
    }

    void rejectNul(QByteArrayView bytes) const {
        if (std::memchr(bytes.data(), '\0', bytes.size()))
            fail(m_lines.number(), QStringLiteral("NUL byte in line"));
    }

    QString decode(QByteArrayView bytes) {
        rejectNul(bytes);
        QString text;
        QString problem;
        if (!m_decoder->decode(bytes, text, problem))
            fail(m_lines.number(), problem);
        return text;
    }

    void readEntry(const QString& headLine) {
        const int headLineNumber = m_lines.number();
        const qsizetype bar = headLine.lastIndexOf(QLatin1Char('|'));
        if (bar < 0)
            fail(headLineNumber, QStringLiteral("expected a headword line \"word|count\""));
        const QString headword = headLine.left(bar).trimmed();
        const QStringView countText = QStringView(headLine).sliced(bar + 1).trimmed();
        qint64 count = 0;
        if (!parseCount(countText, count)) {
            fail(headLineNumber,
                 QStringLiteral("meaning count \"%1\" is not a positive whole number")
                     .arg(countText));
        }
        // Checked up front so that the error names this line, not whichever later line the
        // inflated count happens to run into (often a blank line at the end of the file).
        if (count > m_lines.linesLeft()) {
            fail(headLineNumber,
                 QStringLiteral("\"%1\" promises %2 meaning lines but only %3 lines follow")
                     .arg(headword, countText)
                     .arg(m_lines.linesLeft()));
        }

        // No word is looked up as the empty text, so an entry without a headword (the German
        // thesaurus opens with one) is read and checked like any other, then left out.
        ThesaurusEntry withoutHeadword;
        ThesaurusEntry& entry = headword.isEmpty() ? withoutHeadword : entryFor(headword);
        // Rebuilt per headword rather than kept for every entry: repeated headwords are rare,
        // and a set per entry for 145k entries costs far more memory than rebuilding one.
        m_seen.clear();
        for (const ThesaurusSynonym& synonym : entry.synonyms)
            m_seen.insert(synonym.text);

        for (qint64 i = 0; i < count; ++i) {
            QByteArrayView bytes;
            if (!m_lines.next(bytes)) {
                fail(headLineNumber,
                     QStringLiteral("\"%1\" promises %2 meaning lines but the file ends after %3")
                         .arg(headword, countText)
                         .arg(i));
            }
            readMeaning(decode(bytes), entry);
        }
    }

    ThesaurusEntry& entryFor(const QString& headword) {
        const auto found = m_index.constFind(headword);
        if (found != m_index.constEnd())
            return m_entries[*found];
        m_index.insert(headword, m_entries.size());
        m_entries.push_back(ThesaurusEntry{headword, {}});
        return m_entries.back();
    }

    void readMeaning(const QString& line, ThesaurusEntry& entry) {
        const QStringView view(line);
        // A line without a bar is all terms and no part of speech, as MyThes itself reads it:
        // Guarani, Nepali and Romanian each have a few ("ñongatuha", "interj").
        if (view.trimmed().isEmpty())
            fail(m_lines.number(),
                 QStringLiteral("expected a meaning line \"(pos)|term|term...\""));
        const qsizetype firstBar = view.indexOf(QLatin1Char('|'));
        const QString partOfSpeech =
            internPartOfSpeech(firstBar < 0 ? QStringView() : view.first(firstBar).trimmed());

        qsizetype start = firstBar + 1;
        while (start <= view.size()) {
            qsizetype end = view.indexOf(QLatin1Char('|'), start);
            if (end < 0)
                end = view.size();
            addTerm(view.sliced(start, end - start).trimmed(), partOfSpeech, entry);
            start = end + 1;
        }
    }

    void addTerm(QStringView field, const QString& partOfSpeech, ThesaurusEntry& entry) {
        const QString* relation = &plainRelation();
        for (const Tag& tag : tags()) {
            if (field.endsWith(tag.suffix)) {
                if (tag.kind == TermKind::Dropped)
                    return;
                field = field.chopped(tag.suffix.size()).trimmed();
                relation = &tag.relation;
                break;
            }
        }
        if (field.isEmpty() || field.compare(entry.headword, Qt::CaseInsensitive) == 0)
            return;
        QString text = field.toString();
        if (m_seen.contains(text))
            return;
        m_seen.insert(text);
        entry.synonyms.push_back(ThesaurusSynonym{std::move(text), partOfSpeech, *relation});
    }

    // A handful of part-of-speech names recur on every meaning line; sharing one copy of each
    // spares the parsed English file hundreds of thousands of tiny duplicate strings.
    QString internPartOfSpeech(QStringView partOfSpeech) {
        if (partOfSpeech.size() >= 2 && partOfSpeech.front() == QLatin1Char('(') &&
            partOfSpeech.back() == QLatin1Char(')'))
            partOfSpeech = partOfSpeech.sliced(1, partOfSpeech.size() - 2);
        const QString key = CommonPartOfSpeech(partOfSpeech);
        const auto found = m_partsOfSpeech.constFind(key);
        if (found != m_partsOfSpeech.constEnd())
            return *found;
        m_partsOfSpeech.insert(key);
        return key;
    }

    QString m_sourceName;
    LineReader m_lines;
    StepProgress m_progress;
    std::optional<LineDecoder> m_decoder;
    std::vector<ThesaurusEntry> m_entries;
    QHash<QString, size_t> m_index;
    QSet<QString> m_seen;
    QSet<QString> m_partsOfSpeech;
};

} // namespace

QString CommonPartOfSpeech(QStringView label) {
    // Each language's own names for the four classes English uses; a label naming several
    // classes at once (French "Adjectif Nom") or anything else is kept as written.
    static const QHash<QString, QString> common = {
        {QStringLiteral("noun"), QStringLiteral("noun")},
        {QStringLiteral("adj"), QStringLiteral("adj")},
        {QStringLiteral("adjective"), QStringLiteral("adj")},
        {QStringLiteral("verb"), QStringLiteral("verb")},
        {QStringLiteral("adv"), QStringLiteral("adv")},
        {QStringLiteral("adverb"), QStringLiteral("adv")},
        {QStringLiteral("nom"), QStringLiteral("noun")},
        {QStringLiteral("adjectif"), QStringLiteral("adj")},
        {QStringLiteral("verbe"), QStringLiteral("verb")},
        {QStringLiteral("adverbe"), QStringLiteral("adv")},
    };
    return common.value(label.toString().toCaseFolded(), label.toString());
}

std::vector<ThesaurusEntry> ParseThesaurus(const QByteArray& data, const QString& sourceName,
                                           const StepProgress& progress) {
    return Parser(data, sourceName, progress).run();
}

QByteArray ReadInputFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ThesaurusError(path, 0, QStringLiteral("cannot read: %1").arg(file.errorString()));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ThesaurusError(path, 0, QStringLiteral("cannot read: %1").arg(file.errorString()));
    return data;
}
