// SPDX-License-Identifier: GPL-3.0-or-later
#include "Thesaurus.h"

#include "LineDecoder.h"
#include "ThesaurusLabels.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
#include <unordered_map>

ThesaurusError::ThesaurusError(const QString& sourceName, int line, const QString& problem)
    : std::runtime_error((line > 0
                              ? QStringLiteral("%1:%2: %3").arg(sourceName).arg(line).arg(problem)
                              : QStringLiteral("%1: %2").arg(sourceName, problem))
                             .toStdString()),
      sourceName_(sourceName), line_(line), problem_(problem) {}

namespace {

// Decoding happens per line after splitting, so that an invalid byte is reported with the line
// it sits on.
class CountedLines : public ByteLines {
  public:
    explicit CountedLines(ByteLines lines) : ByteLines(std::move(lines)) {}

    // Counted once, when first asked; a pipe cannot be counted ahead, and then every count
    // is taken on trust until the lines run out.
    qint64 linesLeft() {
        if (total_ == kUncounted)
            total_ = total();
        return total_ < 0 ? std::numeric_limits<qint64>::max() : total_ - number();
    }

  private:
    static constexpr qint64 kUncounted = -2;
    qint64 total_ = kUncounted;
};

const QString& plainRelation() {
    static const QString relation = QStringLiteral("synonym");
    return relation;
}

// What a meaning line's first field says of all its terms.
struct SenseLabels {
    QString partOfSpeech;
    QString relation;
    QString note;
};

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
    Parser(ByteLines lines, const QString& sourceName, const QString& language,
           const StepProgress& progress)
        : sourceName_(sourceName), lines_(std::move(lines)), progress_(progress),
          labels_(ThesaurusLabels::builtIn(language)) {}

    std::vector<ThesaurusEntry> run() {
        readEncoding();
        QByteArrayView bytes;
        for (qint64 lines = 1; lines_.next(bytes); ++lines) {
            if (progress_ && lines % 4096 == 0)
                progress_(lines_.position(), lines_.size());
            const QString text = decode(bytes);
            if (text.trimmed().isEmpty())
                continue;
            readEntry(text);
        }
        for (ThesaurusEntry& entry : entries_)
            listStandIns(entry);
        return std::move(entries_);
    }

  private:
    [[noreturn]] void fail(int line, const QString& problem) const {
        throw ThesaurusError(sourceName_, line, problem);
    }

    void readEncoding() {
        QByteArrayView bytes;
        if (!lines_.next(bytes))
            fail(1, QStringLiteral("empty file, expected the encoding name on the first line"));
        lines_.refuseNul(bytes);
        const QString name = QString::fromLatin1(bytes).trimmed();
        if (name.isEmpty())
            fail(1, QStringLiteral("expected the encoding name on the first line"));
        decoder_ = LineDecoder::forName(name);
        if (!decoder_)
            fail(1, QStringLiteral("unknown encoding %1").arg(name));
    }

    QString decode(QByteArrayView bytes) {
        lines_.refuseNul(bytes);
        QString text;
        QString problem;
        if (!decoder_->decode(bytes, text, problem))
            fail(lines_.number(), problem);
        return text;
    }

    void readEntry(const QString& headLine) {
        const int headLineNumber = lines_.number();
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
        if (count > lines_.linesLeft()) {
            fail(headLineNumber,
                 QStringLiteral("\"%1\" promises %2 meaning lines but only %3 lines follow")
                     .arg(headword, countText)
                     .arg(lines_.linesLeft()));
        }

        // No word is looked up as the empty text, so an entry without a headword (the German
        // thesaurus opens with one) is read and checked like any other, then left out.
        ThesaurusEntry withoutHeadword;
        ThesaurusEntry& entry = headword.isEmpty() ? withoutHeadword : entries_[entryFor(headword)];
        if (headword.isEmpty())
            switchMemory(kNoEntry, entry);

        for (qint64 i = 0; i < count; ++i) {
            QByteArrayView bytes;
            if (!lines_.next(bytes)) {
                fail(headLineNumber,
                     QStringLiteral("\"%1\" promises %2 meaning lines but the file ends after %3")
                         .arg(headword, countText)
                         .arg(i));
            }
            readMeaning(decode(bytes), entry);
        }
    }

    // The index of the headword's entry, made if new, with its memory current.
    size_t entryFor(const QString& headword) {
        const auto found = index_.constFind(headword);
        if (found != index_.constEnd()) {
            switchMemory(*found, entries_[*found]);
            return *found;
        }
        switchMemory(kNoEntry, entries_.emplace_back(ThesaurusEntry{headword, {}}));
        current_ = entries_.size() - 1;
        index_.insert(headword, current_);
        return current_;
    }

    // Makes seen_ and meaningsSeen_ those of the entry at index (kNoEntry: a new one). Kept
    // only for a headword that comes back, and then for good, so that a headword repeated N
    // times costs N, not N²; a set per entry for 145k entries would cost far more memory.
    void switchMemory(size_t index, const ThesaurusEntry& entry) {
        if (index != kNoEntry && index == current_) {
            currentRepeats_ = true;
            return;
        }
        if (current_ != kNoEntry && currentRepeats_)
            repeated_.emplace(current_, std::move(seen_), std::move(meaningsSeen_));
        seen_.clear();
        meaningsSeen_.clear();
        current_ = index;
        currentRepeats_ = index != kNoEntry;
        if (index == kNoEntry)
            return;
        if (const auto kept = repeated_.find(index); kept != repeated_.end()) {
            seen_ = std::move(kept->first);
            meaningsSeen_ = std::move(kept->second);
            repeated_.erase(kept);
            return;
        }
        for (const ThesaurusSynonym& synonym : entry.synonyms)
            if (synonym.listed)
                seen_.insert(synonym.text);
        recallMeanings(entry);
    }

    void readMeaning(const QString& line, ThesaurusEntry& entry) {
        const QStringView view(line);
        const qsizetype firstBar = view.indexOf(QLatin1Char('|'));
        // A blank line inside an entry means its count is wrong; that is worth stopping for.
        if (firstBar < 0 && view.trimmed().isEmpty()) {
            fail(lines_.number(),
                 QStringLiteral("expected a meaning line \"(pos)|term|term...\""));
        }
        QStringView labels = firstBar < 0 ? QStringView() : view.first(firstBar);
        QStringView terms = firstBar < 0 ? view.trimmed() : view.sliced(firstBar + 1);
        if (firstBar < 0)
            splitBarless(labels, terms);
        const SenseLabels& sense = senseLabels(labels);
        seenInSense_.clear();
        meaning_.clear();

        qsizetype start = 0;
        while (start <= terms.size() && !(firstBar < 0 && terms.isEmpty())) {
            qsizetype end = terms.indexOf(QLatin1Char('|'), start);
            if (end < 0)
                end = terms.size();
            addTerm(terms.sliced(start, end - start).trimmed(), sense, entry);
            start = end + 1;
        }
        keepMeaning(entry);
    }

    // Debian's Nepali, Romanian and Guarani files hold a few meaning lines without a bar:
    // "(ना)पानीबाट निस्कने बिजुली", "interj", "ñongatuha". A bracket in front, or a label the
    // table knows, is the meaning's labels; the rest is its one term.
    void splitBarless(QStringView& labels, QStringView& terms) const {
        if (terms.startsWith(u'(') || terms.startsWith(u'[')) {
            const qsizetype close = terms.indexOf(terms.front() == u'(' ? u')' : u']');
            if (close > 0) {
                labels = terms.first(close + 1);
                terms = terms.sliced(close + 1).trimmed();
            }
        } else if (labels_.find(terms)) {
            labels = terms;
            terms = QStringView();
        }
    }

    // A handful of first fields recur on every meaning line; reading each once also shares one
    // copy of its strings among hundreds of thousands of terms.
    const SenseLabels& senseLabels(QStringView field) {
        const QString raw = field.toString();
        auto found = senseLabels_.find(raw);
        if (found == senseLabels_.end())
            found = senseLabels_.insert(raw, readSenseLabels(field.trimmed()));
        return *found;
    }

    // "(s.m.)", "[n]", "(Adjectif Nom)", "-", "(Sinônimo)amparo": a bracket, or the field
    // without one. What the table does not know stays the part of speech when it is one word
    // without digits, and becomes a note when it is more (a definition), names a character
    // (Hungarian "U+2159"), follows the bracket, or the language puts no part of speech there.
    SenseLabels readSenseLabels(QStringView label) const {
        QStringView after;
        if (label.startsWith(u'(') || label.startsWith(u'[')) {
            // Indonesian closes a square bracket with a brace now and then.
            const bool round = label.front() == u'(';
            const auto closer = std::find_if(label.begin() + 1, label.end(), [&](QChar c) {
                return round ? c == u')' : c == u']' || c == u'}';
            });
            const qsizetype close = closer == label.end() ? -1 : closer - label.begin();
            if (close < 0) {
                label = label.sliced(1).trimmed();
            } else {
                after = label.sliced(close + 1).trimmed();
                label = label.sliced(1, close - 1).trimmed();
            }
        }
        const LabelReading reading = labels_.read(label);
        SenseLabels sense;
        QStringList notes = reading.notes;
        if (reading.anyKnown) {
            sense.partOfSpeech = reading.partsOfSpeech.join(u' ');
            sense.relation = reading.relation;
            if (!reading.rest.isEmpty())
                notes << reading.rest;
        } else if (!label.isEmpty()) {
            const bool oneWord =
                !label.contains(u' ') &&
                std::none_of(label.begin(), label.end(), [](QChar c) { return c.isDigit(); });
            if (after.isEmpty() && oneWord && !labels_.unlistedAreNotes())
                sense.partOfSpeech = label.toString();
            else
                notes << label.toString();
        }
        if (!after.isEmpty()) {
            // A bracket of usage labels after the first, as in Ukrainian "(кидати) (розм.)".
            const LabelReading more =
                after.startsWith(u'(') && after.endsWith(u')')
                    ? labels_.read(after.sliced(1, after.size() - 2).trimmed())
                    : LabelReading();
            if (more.anyKnown && more.rest.isEmpty() && more.relation.isEmpty() &&
                more.partsOfSpeech.isEmpty())
                notes << more.notes;
            else
                notes << after.toString();
        }
        sense.note = notes.join(QStringLiteral(", "));
        return sense;
    }

    // Takes the first bracket standing apart in term ("Karre (ugs.)", "(înv.) a", and usage
    // labels inside, Ukrainian "(легковий) (розм.) авто") whose every part the table knows; any
    // other parentheses belong to the term, as in "Lincoln (city)" or "(sich) etwas leisten".
    bool takeLabel(QString& term, LabelReading& reading) const {
        for (qsizetype open = term.indexOf(u'('); open >= 0; open = term.indexOf(u'(', open + 1)) {
            const qsizetype close = term.indexOf(u')', open);
            if (close < 0)
                return false;
            // A space just inside the bracket stands for one outside it, as in Ukrainian
            // "(перен. )(див.) базікати": the labels are read trimmed.
            const bool apart =
                (open == 0 || term[open - 1].isSpace() || term[open + 1].isSpace()) &&
                (close + 1 == term.size() || term[close + 1].isSpace() ||
                 term[close - 1].isSpace());
            if (!apart)
                continue;
            const QStringView before = QStringView(term).first(open).trimmed();
            const QStringView after = QStringView(term).sliced(close + 1).trimmed();
            if (before.isEmpty() && after.isEmpty())
                return false;
            reading = labels_.read(QStringView(term).sliced(open + 1, close - open - 1));
            // Inside a term only usage labels: "c (related term) d" is no related term "c d".
            const bool inside = !before.isEmpty() && !after.isEmpty();
            if (!reading.anyKnown || !reading.rest.isEmpty() ||
                (inside && (!reading.relation.isEmpty() || !reading.partsOfSpeech.isEmpty())))
                continue;
            term = inside ? before.toString() + u' ' + after.toString()
                          : before.toString() + after.toString();
            return true;
        }
        return false;
    }

    void addTerm(QStringView field, const SenseLabels& sense, ThesaurusEntry& entry) {
        QString partOfSpeech = sense.partOfSpeech;
        QString relation = sense.relation.isEmpty() ? plainRelation() : sense.relation;
        QStringList notes;
        if (!sense.note.isEmpty())
            notes << sense.note;
        QString text = field.toString();
        LabelReading reading;
        while (text.contains(u'(') && takeLabel(text, reading)) {
            if (!reading.relation.isEmpty())
                relation = reading.relation;
            if (!reading.partsOfSpeech.isEmpty())
                partOfSpeech = reading.partsOfSpeech.join(u' ');
            notes << reading.notes;
        }
        if (text.isEmpty() || text.compare(entry.headword, Qt::CaseInsensitive) == 0)
            return;
        // Once per meaning, relation and note: "ample" is both a similar term and a related
        // term of one meaning of "abundant", "cough up" a generic and a related term of
        // "cough"; Polish gives "safanduła" plain and colloquial in one meaning.
        Kept inSense{text, {relation, notes.join(QStringLiteral(", "))}};
        if (seenInSense_.contains(inSense))
            return;
        seenInSense_.insert(inSense);
        meaning_.push_back(ThesaurusSynonym{std::move(text), intern(partOfSpeech),
                                            intern(relation), intern(inSense.second.second), 0,
                                            kNotListed});
    }

    // Entries repeated byte for byte (German "schön" three times) would repeat every record:
    // a meaning equal to one the headword already has is dropped, and does not count.
    void keepMeaning(ThesaurusEntry& entry) {
        // An empty meaning gives no record; dropping it would only renumber the rest.
        if (!meaning_.empty()) {
            const size_t hash = meaningHash(meaning_.begin(), meaning_.end());
            for (auto [at, end] = meaningsSeen_.equal_range(hash); at != end; ++at) {
                const auto first = entry.synonyms.begin() + qsizetype(at->second);
                if (sameMeaning(first, entry.synonyms.end()))
                    return;
            }
            meaningsSeen_.emplace(hash, entry.synonyms.size());
        }
        ++entry.senses;
        for (ThesaurusSynonym& synonym : meaning_) {
            synonym.sense = entry.senses;
            synonym.listed = IsSynonymKind(synonym.relation) && !seen_.contains(synonym.text)
                                 ? kListedSynonym
                                 : kNotListed;
            if (synonym.listed)
                seen_.insert(synonym.text);
            entry.synonyms.push_back(std::move(synonym));
        }
    }

    // Only once the whole entry is read: a repeated headword may give a synonym later on.
    void listStandIns(ThesaurusEntry& entry) {
        if (std::any_of(entry.synonyms.begin(), entry.synonyms.end(),
                        [](const ThesaurusSynonym& term) { return term.listed != kNotListed; }))
            return;
        seen_.clear();
        for (ThesaurusSynonym& term : entry.synonyms) {
            if (IsStandInKind(term.relation) && !seen_.contains(term.text)) {
                term.listed = kListedStandIn;
                seen_.insert(term.text);
            }
        }
    }

    using Synonyms = std::vector<ThesaurusSynonym>;
    static size_t meaningHash(Synonyms::const_iterator first, Synonyms::const_iterator last) {
        size_t hash = 0;
        for (; first != last; ++first)
            hash = qHashMulti(hash, first->text, first->partOfSpeech, first->relation,
                              first->note);
        return hash;
    }

    // Whether the kept meaning starting at first holds exactly the terms of meaning_.
    bool sameMeaning(Synonyms::const_iterator first, Synonyms::const_iterator end) const {
        const int sense = first->sense;
        for (const ThesaurusSynonym& term : meaning_) {
            if (first == end || first->sense != sense || first->text != term.text ||
                first->partOfSpeech != term.partOfSpeech || first->relation != term.relation ||
                first->note != term.note)
                return false;
            ++first;
        }
        return first == end || first->sense != sense;
    }

    // The meanings an entry read earlier under the same headword already holds.
    void recallMeanings(const ThesaurusEntry& entry) {
        for (size_t start = 0; start < entry.synonyms.size();) {
            size_t end = start;
            while (end < entry.synonyms.size() &&
                   entry.synonyms[end].sense == entry.synonyms[start].sense)
                ++end;
            meaningsSeen_.emplace(meaningHash(entry.synonyms.begin() + qsizetype(start),
                                              entry.synonyms.begin() + qsizetype(end)),
                                  start);
            start = end;
        }
    }

    // Labels repeat on thousands of terms; one shared copy of each keeps the parsed file small.
    QString intern(const QString& text) {
        const auto found = strings_.constFind(text);
        if (found != strings_.constEnd())
            return *found;
        strings_.insert(text);
        return text;
    }

    QString sourceName_;
    CountedLines lines_;
    StepProgress progress_;
    std::optional<LineDecoder> decoder_;
    std::vector<ThesaurusEntry> entries_;
    QHash<QString, size_t> index_;
    const ThesaurusLabels& labels_;
    QSet<QString> seen_;
    using Kept = std::pair<QString, std::pair<QString, QString>>; // text, relation, note
    QSet<Kept> seenInSense_;
    // The terms of the meaning being read, and where each meaning of the current headword
    // starts in its synonyms, by hash.
    Synonyms meaning_;
    std::unordered_multimap<size_t, size_t> meaningsSeen_;
    static constexpr size_t kNoEntry = size_t(-1);
    size_t current_ = kNoEntry;
    bool currentRepeats_ = false;
    QHash<size_t, std::pair<QSet<QString>, std::unordered_multimap<size_t, size_t>>> repeated_;
    QHash<QString, SenseLabels> senseLabels_;
    QSet<QString> strings_;
};

} // namespace

std::vector<ThesaurusEntry> ParseThesaurus(const QByteArray& data, const QString& sourceName,
                                           const QString& language, const StepProgress& progress) {
    return Parser(ByteLines(data, sourceName), sourceName, language, progress).run();
}

std::vector<ThesaurusEntry> ReadThesaurus(const QString& path, const QString& language,
                                          const StepProgress& progress) {
    return Parser(ByteLines(path), path, language, progress).run();
}

void CheckInputLines(const QString& path) {
    ByteLines lines(path);
    QByteArrayView line;
    while (lines.next(line)) {
    }
}
