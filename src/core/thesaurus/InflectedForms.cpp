// SPDX-License-Identifier: GPL-3.0-or-later
#include "AffixExpander.h"
#include "FileSystem.h"
#include "LineDecoder.h"
#include "Thesaurus.h"
#include "ThesaurusLabels.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <hunspell.hxx>
#include <memory>
#include <optional>
#include <tuple>

namespace {

// A Hunspell dictionary that takes and gives text: Hunspell itself works in the byte encoding
// its .aff file names (SET), which is not UTF-8 for many languages.
class Dictionary {
  public:
    explicit Dictionary(const QString& dicPath) {
        const QString affPath = AffixFileOf(dicPath);
        // Hunspell reports neither missing file, it just knows no words; read them here so
        // that a wrong path stops the import with a reason.
        for (const QString& path : {affPath, dicPath})
            CheckInputLines(path);
        hunspell_ = std::make_unique<Hunspell>(NativeName(affPath).constData(),
                                               NativeName(dicPath).constData());
        const QString encoding = QString::fromStdString(hunspell_->get_dict_encoding());
        utf8_ = encoding.compare(QLatin1StringView("UTF-8"), Qt::CaseInsensitive) == 0;
        if (!utf8_)
            buildByteTable(affPath, encoding);
    }

    // Adds the word's nearest roots to those of other spellings of its key ("Onions", "onions"),
    // keeping only the longest: the stems of the analyses that strip only suffixes. A stripped
    // prefix changes the meaning (un-, dis-, re-); its text stands before the stem field in
    // Hunspell's analysis. Shorter stems come from stripping more, the way "kings" also reads
    // as k+ings and "onions" as one+ions; and a word that is a root itself stays its own base.
    void addNearestRoots(const QString& word, QStringList& roots) {
        std::string bytes;
        if (!encode(word, bytes))
            return;
        for (const std::string& analysis : hunspell_->analyze(bytes)) {
            const QByteArray text = QByteArray::fromStdString(analysis).trimmed();
            // One stem field, first: no prefix and no compound of several stems.
            if (!text.startsWith("st:") || text.indexOf(" st:") >= 0)
                continue;
            const qsizetype end = text.indexOf(' ');
            QString root;
            if (!decode(text.mid(3, end < 0 ? -1 : end - 3), root) || root.isEmpty())
                continue;
            if (!roots.isEmpty() && root.size() > roots.front().size())
                roots.clear();
            if (roots.isEmpty() || root.size() == roots.front().size())
                roots << root;
        }
    }

  private:
    // Every single-byte encoding Hunspell dictionaries use is covered by decoding each byte once
    // and inverting the result.
    void buildByteTable(const QString& affPath, const QString& encoding) {
        decoder_ = LineDecoder::forName(encoding);
        if (!decoder_)
            throw ThesaurusError(affPath, 0,
                                 QStringLiteral("unknown dictionary encoding %1").arg(encoding));
        for (int byte = 1; byte < 256; ++byte) {
            const char c = char(byte);
            QString text;
            QString problem;
            if (decoder_->decode(QByteArrayView(&c, 1), text, problem) && text.size() == 1)
                bytes_.insert(text.front().unicode(), c);
        }
    }

    // False when the word holds a character the dictionary's encoding cannot write, so the
    // dictionary cannot know it either.
    bool encode(const QString& word, std::string& bytes) const {
        if (utf8_) {
            bytes = word.toStdString();
            return true;
        }
        bytes.clear();
        for (QChar c : word) {
            const auto found = bytes_.constFind(c.unicode());
            if (found == bytes_.constEnd())
                return false;
            bytes += *found;
        }
        return true;
    }

    bool decode(const QByteArray& bytes, QString& text) {
        if (utf8_) {
            text = WordFromUtf8(bytes);
            return true;
        }
        QString problem;
        return decoder_->decode(bytes, text, problem);
    }

    std::unique_ptr<Hunspell> hunspell_;
    bool utf8_ = true;
    std::optional<LineDecoder> decoder_;
    QHash<char16_t, char> bytes_;
};

} // namespace

namespace {

// The rules of morphology.tsv for one language: its exception lists that are installed (with
// the part of speech of each) and its endings, in their order.
struct Morphology {
    struct Ending {
        QString pos;
        QString form;
        QString base;
    };
    std::vector<std::pair<QString, QString>> exceptionLists;
    std::vector<Ending> endings;
    // Per part of speech: the fewest letters a form has, and the endings of words that are
    // no form of it.
    QHash<QString, qsizetype> shortest;
    QHash<QString, QStringList> kept;

    bool takesEndings(const QString& pos, const QString& word) const {
        return word.size() >= shortest.value(pos) &&
               std::none_of(kept[pos].begin(), kept[pos].end(),
                            [&](const QString& ending) { return word.endsWith(ending); });
    }
};

Morphology MorphologyOf(const QString& language) {
    Morphology rules;
    if (language.isEmpty())
        return rules;
    QFile table(QStringLiteral(":/lexigrove/morphology.tsv"));
    if (!table.open(QIODevice::ReadOnly))
        throw ThesaurusError(table.fileName(), 0, QStringLiteral("the rules of forms are missing"));
    QString folder = qEnvironmentVariable("WNSEARCHDIR");
    if (folder.isEmpty())
        folder = QStringLiteral("/usr/share/wordnet");
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QStringList fields = WordFromUtf8(line).split(u'\t');
        if (line.startsWith('#') || fields.size() < 4 || fields[0] != language)
            continue;
        if (fields[1] == u"exceptions") {
            const QString path = folder + u'/' + fields[3];
            if (QFileInfo(path).isFile())
                rules.exceptionLists.emplace_back(fields[2], path);
        } else if (fields[1] == u"ending") {
            rules.endings.push_back({fields[2], fields[3], fields.value(4)});
        } else if (fields[1] == u"shortest") {
            rules.shortest.insert(fields[2], fields[3].toInt());
        } else if (fields[1] == u"kept") {
            rules.kept[fields[2]] << fields[3];
        }
    }
    return rules;
}

// The rows of slots.tsv for one language, and each way of building forms met so far, numbered
// in hows as InflectedForm::how names them.
class FormSlots {
  public:
    FormSlots(const QString& language, std::vector<FormHow>& hows) : hows_(hows) {
        if (language.isEmpty())
            return;
        QFile table(QStringLiteral(":/lexigrove/slots.tsv"));
        if (!table.open(QIODevice::ReadOnly))
            throw ThesaurusError(table.fileName(), 0, QStringLiteral("the slots of forms are missing"));
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QStringList fields = WordFromUtf8(line).split(u'\t');
            if (line.startsWith('#') || fields.size() < 3 || fields[0] != language)
                continue;
            const QString when = fields.value(4);
            conditional_ = conditional_ || when.startsWith(u'+') || when.startsWith(u'-');
            rows_[fields[1]].push_back({fields[2], fields.value(3), when});
        }
    }

    // The how of the form the expander just gave, built by one suffix, its rule.
    quint32 ofSuffix(const AffixExpander& expander, int rule) {
        if (!conditional_) {
            if (const auto known = byRule_.constFind(rule); known != byRule_.constEnd())
                return *known;
        }
        const AffixExpander::Rule& built = expander.rule(rule);
        FormHow how{built.flag, built.strip, built.append, built.condition, {}, {}};
        // Fields the .aff writes after a suffix name its form where the .aff gives them.
        QStringList named;
        for (const QString& field : built.fields.split(u' ', Qt::SkipEmptyParts)) {
            if (field.startsWith(u"po:") || field.startsWith(u"is:"))
                named << field;
        }
        if (!named.isEmpty()) {
            how.slot = named.join(u' ');
        } else {
            // The rows of * that have a when come first for every flag; those without, only
            // for a flag with no rows of its own.
            const QString text = built.strip + u'>' + built.append;
            std::vector<Row> rows;
            for (const Row& row : rows_.value(QStringLiteral("*")))
                if (!row.when.isEmpty())
                    rows.push_back(row);
            const auto own = rows_.constFind(built.flag);
            for (const Row& row : own != rows_.constEnd() ? *own : rows_.value(QStringLiteral("*")))
                if (own != rows_.constEnd() || row.when.isEmpty())
                    rows.push_back(row);
            for (const Row& row : rows) {
                if (row.when.startsWith(u'=')   ? row.when.sliced(1) != text
                    : row.when.startsWith(u'~') ? !built.append.endsWith(row.when.sliced(1))
                    : !row.when.isEmpty() &&
                        expander.stemCarries(row.when.sliced(1)) != row.when.startsWith(u'+'))
                    continue;
                if (row.slot != u"-") {
                    how.slot = row.slot == u"=" ? textSlot(built) : row.slot;
                    how.pos = row.pos;
                }
                break;
            }
        }
        const quint32 id = idOf(QString::number(rule), std::move(how));
        byRule_.insert(rule, id);
        return id;
    }

    // The how of a form of the language's exception list of the part of speech.
    quint32 ofException(const QString& pos, const QString& form) {
        FormHow how{QStringLiteral("@"), {}, {}, {}, {}, pos};
        for (const Row& row : rows_.value(u'@' + pos)) {
            if (row.when.startsWith(u'~') && !form.endsWith(row.when.sliced(1)))
                continue;
            how.slot = row.slot;
            break;
        }
        return idOf(u'@' + pos, std::move(how));
    }

  private:
    struct Row {
        QString slot, pos, when;
    };
    // What a suffix strips and appends; one that strips nothing after the letter its condition
    // names is known with that letter, as the suffix stripping it would be: Russian -м after
    // -е (instrumental, отдохновением) is not -м after -а or -я (dative plural, остановкам).
    static QString textSlot(const AffixExpander::Rule& rule) {
        const QString& condition = rule.condition;
        if (rule.strip.isEmpty() && !condition.isEmpty() && condition.back() != u']' &&
            condition.back() != u'.')
            return condition.back() + u'>' + condition.back() + rule.append;
        return rule.strip + u'>' + rule.append;
    }
    quint32 idOf(const QString& source, FormHow how) {
        const QString key = source + u'\t' + how.slot;
        auto known = ids_.find(key);
        if (known == ids_.end()) {
            hows_.push_back(std::move(how));
            known = ids_.insert(key, quint32(hows_.size()));
        }
        return *known;
    }

    std::vector<FormHow>& hows_;
    QHash<QString, std::vector<Row>> rows_;
    bool conditional_ = false;
    QHash<int, quint32> byRule_;
    QHash<QString, quint32> ids_;
};

// The forms the language's exception lists and endings give (morphology.tsv), added to forms;
// gives their keys. A form an exception list names is filed even when it is a headword itself
// ("saw", "men"): it keeps its own entry and gains its base's. An ending's form never is.
QSet<QString> morphologyForms(const std::vector<ThesaurusEntry>& entries,
                              const QSet<QString>& headwordKeys, const QString& language,
                              std::vector<InflectedForm>& forms, FormSlots& formSlots) {
    QSet<QString> linked;
    const Morphology rules = MorphologyOf(language);
    if (rules.exceptionLists.empty() && rules.endings.empty())
        return linked;
    // Parts of speech as bits, in the order the table names them.
    QStringList names;
    const auto bitOf = [&](const QString& pos) {
        qsizetype at = names.indexOf(pos);
        if (at < 0 && names.size() < 32) {
            at = names.size();
            names << pos;
        }
        return at < 0 ? 0u : 1u << at;
    };
    for (const auto& [pos, path] : rules.exceptionLists)
        bitOf(pos);
    for (const Morphology::Ending& ending : rules.endings)
        bitOf(ending.pos);
    QHash<QString, quint32> posOf;
    for (const ThesaurusEntry& entry : entries) {
        quint32 bits = 0;
        const QString* last = nullptr;
        for (const ThesaurusSynonym& synonym : entry.synonyms) {
            if (last && *last == synonym.partOfSpeech)
                continue;
            last = &synonym.partOfSpeech;
            for (const QString& pos : synonym.partOfSpeech.split(u' ', Qt::SkipEmptyParts)) {
                if (const qsizetype at = names.indexOf(pos); at >= 0)
                    bits |= 1u << at;
            }
        }
        if (bits != 0)
            posOf[WordKey(entry.headword)] |= bits;
    }

    QHash<QString, quint32> excepted;
    for (const auto& [pos, path] : rules.exceptionLists) {
        const quint32 bit = bitOf(pos);
        ByteLines lines(path);
        QByteArrayView line;
        while (lines.next(line)) {
            QStringList words = WordFromUtf8(line).split(u' ', Qt::SkipEmptyParts);
            if (words.size() < 2)
                continue;
            const QString key = WordKey(words[0].replace(u'_', u' '));
            excepted[key] |= bit;
            for (QString& base : words.sliced(1)) {
                QString baseKey = WordKey(base.replace(u'_', u' '));
                if (baseKey != key && (posOf.value(baseKey) & bit) != 0) {
                    linked.insert(key);
                    forms.push_back(
                        InflectedForm{key, std::move(baseKey), 0, formSlots.ofException(pos, key)});
                }
            }
        }
    }

    // Each form an ending makes of a headword of one word, with the first ending of its part
    // of speech that leads back to a headword.
    QHash<std::pair<QString, quint32>, std::pair<size_t, QString>> firstEnding;
    for (auto it = posOf.cbegin(); it != posOf.cend(); ++it) {
        const QString& baseKey = it.key();
        if (baseKey.contains(u' '))
            continue;
        for (size_t rule = 0; rule < rules.endings.size(); ++rule) {
            const Morphology::Ending& ending = rules.endings[rule];
            const quint32 bit = bitOf(ending.pos);
            if ((it.value() & bit) == 0 || !baseKey.endsWith(ending.base))
                continue;
            const QString key = baseKey.chopped(ending.base.size()) + ending.form;
            if (key == baseKey || !rules.takesEndings(ending.pos, key))
                continue;
            auto& first = firstEnding[{key, bit}];
            if (first.second.isEmpty() || rule < first.first)
                first = {rule, baseKey};
        }
    }
    for (auto it = firstEnding.cbegin(); it != firstEnding.cend(); ++it) {
        const QString& key = it.key().first;
        if ((excepted.value(key) & it.key().second) != 0 || headwordKeys.contains(key))
            continue;
        linked.insert(key);
        forms.push_back(InflectedForm{key, it.value().second});
    }
    return linked;
}

// The forms of the word list whose nearest root under Hunspell's analysis is a headword.
void wordListForms(const QSet<QString>& headwordKeys, const FormSources& sources,
                   const StepProgress& progress, std::vector<InflectedForm>& forms) {
    Dictionary dictionary(sources.dictionary);
    ByteLines list(sources.wordList);
    auto decoder = LineDecoder::forName(QStringLiteral("UTF-8"));
    QHash<QString, QStringList> rootsByKey;
    QByteArrayView line;
    while (list.next(line)) {
        const int lineNumber = list.number();
        if (progress && lineNumber % 4096 == 0)
            progress(list.position(), list.size());
        QString word;
        QString problem;
        if (!decoder->decode(line, word, problem))
            throw ThesaurusError(sources.wordList, lineNumber, problem);
        word = word.trimmed();
        const QString key = WordKey(word);
        // A headword keeps its own synonyms, whatever else it may be a form of.
        if (!word.isEmpty() && !headwordKeys.contains(key))
            dictionary.addNearestRoots(word, rootsByKey[key]);
    }
    for (auto it = rootsByKey.cbegin(); it != rootsByKey.cend(); ++it) {
        for (const QString& root : it.value()) {
            QString baseKey = WordKey(root);
            if (baseKey != it.key() && headwordKeys.contains(baseKey))
                forms.push_back(InflectedForm{it.key(), std::move(baseKey)});
        }
    }
}

// Whether Hunspell, given the headword as written, would find it as this dictionary stem: as
// written, in capitals, or capitalised from a stem in small letters. In a thesaurus that keeps
// letter case (Czech "Pětka" and "pětka"), a proper name or an acronym of the dictionary is no
// spelling of a headword in small letters ("Šachta" of "šachta"), so its forms ("šachtův") are
// not that headword's.
bool SpelledAs(const QString& headword, const QString& stem) {
    if (headword == stem || headword == stem.toUpper())
        return true;
    return stem == stem.toLower() && !stem.isEmpty() &&
           headword == stem.first(1).toUpper() + stem.sliced(1);
}

// A thesaurus in small letters only (English, German) says nothing of case: a stem counts when
// its forms can be written in small letters or capitalised, as Hunspell then accepts them
// ("Häuser", "Toulouse's"); an acronym's or a name's with inner capitals cannot ("vips").
bool WrittenPlainly(const QString& stem) {
    const QString rest = stem.sliced(std::min<qsizetype>(1, stem.size()));
    return rest == rest.toLower();
}

// Every form the dictionary's affix rules build from a stem that is a headword. Only those
// stems are expanded, so what is kept grows with the headwords' forms, not with the dictionary.
// Prefixes and second suffixes can multiply the forms beyond any use (Italian elisions: l'-,
// dell'-, un'- before every vowel; Hungarian: tens of thousands per noun; Galician: a thousand
// per verb), so at most maxForms rows are kept. Past that, the prefix flag that gave the most
// so far is kept as marks: each of its forms that is a lead put before a filed word of the
// same stem ("dell'" + "uomo") becomes a bit on that word's row, and its other forms are given
// up. Then second suffixes are given up, until what is left fits; when even forms of one suffix
// do not, the dictionary is refused. The marks are at most one per filed row or headword.
// One bit per (prefix flag, lead) in a signed 64-bit SQLite integer; any further lead of a flag
// kept as marks is given up.
constexpr int kLeadBits = 63;
// The affixes the rules may try on words for each form kept, and the forms of two suffixes one
// stem may hold at once, as a share of the forms kept: above what any installed dictionary
// needs (Italian tries 75 million), far below what rules written to multiply (thousands of
// prefixes, suffixes and second suffixes on one another) would take.
constexpr qint64 kTriesPerForm = 100;
// And the affixes tried on the words of one stem, whatever the forms kept: twenty times what the
// heaviest stem of an installed dictionary takes (an Italian verb, 53,000).
constexpr qint64 kTriesPerStem = 1'000'000;
constexpr size_t kFormsPerHeldForm = 8;
constexpr quint16 kNoLead = 0xFFFF;

// The order of forms, and of marks: by key, then by the key of the headword it is filed under.
bool byKeyAndBase(const InflectedForm& a, const InflectedForm& b) {
    return std::tie(a.key, a.baseKey) < std::tie(b.key, b.baseKey);
}
bool sameKeyAndBase(const InflectedForm& a, const InflectedForm& b) {
    return a.key == b.key && a.baseKey == b.baseKey;
}

// The marks of several stems, sorted, with the bits of one (word, stem) together.
void mergeMarks(std::vector<InflectedForm>& marks) {
    std::sort(marks.begin(), marks.end(), byKeyAndBase);
    size_t kept = 0;
    for (size_t i = 0; i < marks.size(); ++i) {
        if (kept > 0 && sameKeyAndBase(marks[kept - 1], marks[i]))
            marks[kept - 1].prefixes |= marks[i].prefixes;
        else
            marks[kept++] = std::move(marks[i]);
    }
    marks.resize(kept);
}

// Puts each mark on its word's row: a filed form of the same stem, or the stem's own key (a
// row of its own here, which the database merges with the headword's). A mark on a word that is
// another headword ("avvio", a form of "avviare" too) makes each of its prefixed forms a form
// of both ("dall'avvio", "d'accordo" of "accordo" and "accordare"), filed one by one: the
// headword's own row answers for it alone. A mark on any other word not filed under that stem
// (a form only the prefix allows, one of two suffixes given up) is given up with its forms.
void applyMarks(std::vector<InflectedForm>& forms, std::vector<InflectedForm>& marks,
                const QSet<QString>& headwordKeys, const std::vector<FormLead>& leads) {
    mergeMarks(marks);
    const size_t filed = forms.size();
    std::vector<InflectedForm> elided;
    for (InflectedForm& mark : marks) {
        if (mark.key == mark.baseKey) {
            forms.push_back(std::move(mark));
            continue;
        }
        const auto end = forms.begin() + qsizetype(filed);
        const auto at = std::lower_bound(forms.begin(), end, mark, byKeyAndBase);
        if (at != end && sameKeyAndBase(*at, mark)) {
            at->prefixes |= mark.prefixes;
        } else if (headwordKeys.contains(mark.key)) {
            for (const FormLead& lead : leads) {
                if ((lead.bits & mark.prefixes) != 0) {
                    elided.push_back(InflectedForm{lead.text + mark.key, mark.baseKey});
                    elided.push_back(InflectedForm{lead.text + mark.key, mark.key});
                }
            }
        }
    }
    marks.clear();
    marks.shrink_to_fit();
    std::sort(elided.begin(), elided.end(), byKeyAndBase);
    forms.insert(forms.end(), std::make_move_iterator(elided.begin()),
                 std::make_move_iterator(elided.end()));
    const auto marked = forms.begin() + qsizetype(filed);
    std::inplace_merge(forms.begin(), marked, marked + (forms.end() - marked - qsizetype(elided.size())),
                       byKeyAndBase);
    std::inplace_merge(forms.begin(), forms.end() - qsizetype(elided.size()), forms.end(),
                       byKeyAndBase);
    forms.erase(std::unique(forms.begin(), forms.end(), sameKeyAndBase), forms.end());
}

// Fills found and gives the marks, which applyMarks puts on the forms once they are sorted.
// The dictionary also leads a stem of its own to a headword: through the root its line names
// (French "yeux st:œil"), which a headword gains too; else, for a bare stem (no affixes) that
// is neither a headword nor a form linked already, through any suffix that would have built it
// from a headword ("months", listed beside "month"). The roots go to ownForms, the suffixes' bases
// to unbuilt: they count only for a word no rule builds from a headword.
void dictionaryForms(const std::vector<ThesaurusEntry>& entries, const QSet<QString>& headwordKeys,
                     const QSet<QString>& linked, const FormSources& sources,
                     const StepProgress& progress, size_t maxForms, InflectedForms& found,
                     std::vector<InflectedForm>& marks, std::vector<InflectedForm>& ownForms,
                     std::vector<InflectedForm>& unbuilt, FormSlots& formSlots) {
    std::vector<InflectedForm>& forms = found.forms;
    QHash<QString, QStringList> spellings;
    bool keepsCase = false;
    for (const ThesaurusEntry& entry : entries) {
        keepsCase = keepsCase || entry.headword != entry.headword.toLower();
        QStringList& known = spellings[WordKey(entry.headword)];
        if (!known.contains(entry.headword))
            known << entry.headword;
    }
    AffixExpander expander(sources.dictionary, progress, ReversingPrefixes(sources.language));
    std::vector<quint16> groupOf; // of each form
    std::vector<quint16> leadOf;  // of each form: its prefix's lead, or kNoLead
    std::vector<size_t> counts(size_t(expander.groups()), 0);
    std::vector<bool> dropped(counts.size(), false);
    std::vector<bool> compact(counts.size(), false);
    // The bit of each lead (AffixExpander::leadText) of a group marked instead, or -1.
    std::vector<int> bitOfLead(size_t(expander.leads()), -1);
    int bits = 0;
    const auto bitOf = [&](int lead) {
        int& bit = bitOfLead[size_t(lead)];
        if (bit < 0 && bits < kLeadBits)
            bit = bits++;
        return bit;
    };
    // The group to give up next: the prefix flag with the most forms, then second suffixes.
    const auto victim = [&]() {
        int chosen = -1;
        for (int group = AffixExpander::kFirstPrefix; group < int(counts.size()); ++group) {
            if (!dropped[size_t(group)] && !compact[size_t(group)] &&
                (chosen < 0 || counts[size_t(group)] > counts[size_t(chosen)]))
                chosen = group;
        }
        if (chosen < 0 && !dropped[AffixExpander::kTwoSuffixes])
            chosen = AffixExpander::kTwoSuffixes;
        return chosen;
    };
    // The forms gathered of a group now marked instead become marks on the words their
    // prefixes stand before, those of one stem gathered together: its forms lie side by side.
    const auto compactGroup = [&](int given, bool asMarks = true) {
        QHash<QString, quint64> marksOfStem;
        QString markedStem;
        const auto endOfStem = [&] {
            for (auto it = marksOfStem.cbegin(); it != marksOfStem.cend(); ++it)
                marks.push_back(InflectedForm{it.key(), markedStem, it.value()});
            marksOfStem.clear();
        };
        size_t kept = 0;
        for (size_t i = 0; i < forms.size(); ++i) {
            if (groupOf[i] != given) {
                forms[kept] = std::move(forms[i]);
                groupOf[kept] = groupOf[i];
                leadOf[kept++] = leadOf[i];
                continue;
            }
            const QString& lead = leadOf[i] == kNoLead ? QString() : expander.leadText(leadOf[i]);
            const int bit = lead.isEmpty() || !asMarks ? -1 : bitOf(leadOf[i]);
            if (bit >= 0 && forms[i].key.size() > lead.size() && forms[i].key.startsWith(lead)) {
                if (forms[i].baseKey != markedStem) {
                    endOfStem();
                    markedStem = forms[i].baseKey;
                }
                marksOfStem[forms[i].key.sliced(lead.size())] |= quint64(1) << bit;
            }
            forms[i] = InflectedForm();
        }
        endOfStem();
        forms.resize(kept);
        groupOf.resize(kept);
        leadOf.resize(kept);
    };
    // A group given up for its work goes as if it had given no form.
    expander.bound(kTriesPerForm * qint64(maxForms), kTriesPerStem, maxForms / kFormsPerHeldForm,
                   [&](int group) {
                       dropped[size_t(group)] = true;
                       compactGroup(group, false);
                       found.notes << QStringLiteral("the forms of %1 are left out: they take "
                                                     "more work than the importer gives them")
                                          .arg(expander.groupName(group));
                   });
    QString stemKey;
    QString ownStem;
    QString ownKey;
    // A stem's rules give many forms more than once (a prefix with and without a suffix that
    // adds nothing); they are kept once per stem line, and so are its marks.
    QSet<QString> stemForms;
    QHash<QString, quint64> stemMarks;
    QHash<QString, QString> baseKeys;
    const auto markBase = [&](int lead, const QString& baseKey) {
        if (const int bit = bitOf(lead); bit >= 0)
            stemMarks[baseKey] |= quint64(1) << bit;
    };
    const auto endStem = [&] {
        for (auto it = stemMarks.cbegin(); it != stemMarks.cend(); ++it)
            marks.push_back(InflectedForm{it.key(), stemKey, it.value()});
        stemMarks.clear();
        stemForms.clear();
        baseKeys.clear();
    };
    expander.expand(
        [&](const QString& stem) {
            endStem();
            // Folded just before, for the stem's own line.
            stemKey = stem == ownStem ? ownKey : WordKey(stem);
            const auto spelt = spellings.constFind(stemKey);
            if (spelt == spellings.constEnd())
                return false;
            if (!keepsCase)
                return WrittenPlainly(stem);
            return std::any_of(spelt->begin(), spelt->end(),
                               [&](const QString& headword) { return SpelledAs(headword, stem); });
        },
        [&](const QString& form, const QString&, int group, int lead) {
            QString key = WordKey(form);
            // A headword keeps its own synonyms, whatever else it may be a form of.
            if (dropped[size_t(group)] || key == stemKey || headwordKeys.contains(key) ||
                stemForms.contains(key))
                return;
            while (forms.size() >= maxForms) {
                const int given = victim();
                if (given < 0)
                    throw ThesaurusError(sources.dictionary, 0,
                                         QStringLiteral("its headwords have more than %1 forms; "
                                                        "choose the words with --word-list")
                                             .arg(maxForms));
                if (given >= AffixExpander::kFirstPrefix) {
                    compact[size_t(given)] = true;
                    expander.markInstead(given);
                } else {
                    dropped[size_t(given)] = true;
                    expander.drop(given);
                }
                compactGroup(given);
                if (group == given) {
                    const QString& text = lead >= 0 ? expander.leadText(lead) : QString();
                    if (!text.isEmpty() && key.size() > text.size() && key.startsWith(text))
                        markBase(lead, key.sliced(text.size()));
                    return;
                }
            }
            stemForms.insert(key);
            const int rule = group == AffixExpander::kOneSuffix ? expander.builtBy() : -1;
            forms.push_back(
                InflectedForm{std::move(key), stemKey, 0, rule < 0 ? 0 : formSlots.ofSuffix(expander, rule)});
            groupOf.push_back(quint16(group));
            leadOf.push_back(lead >= 0 && lead < kNoLead ? quint16(lead) : kNoLead);
            ++counts[size_t(group)];
        },
        [&](int lead, const QString& base, const QString&) {
            auto known = baseKeys.find(base);
            if (known == baseKeys.end())
                known = baseKeys.insert(base, WordKey(base));
            // A word that starts with a combining mark might compose with the lead.
            if (!known->isEmpty() && !known->front().isMark())
                markBase(lead, *known);
        },
        progress,
        [&](const QString& stem, const QString& root, bool flagged) {
            ownStem = stem;
            ownKey = WordKey(stem);
            const QString& key = ownKey;
            if (!root.isEmpty()) {
                QString rootKey = WordKey(root);
                if (rootKey != key && headwordKeys.contains(rootKey)) {
                    ownForms.push_back(InflectedForm{key, std::move(rootKey)});
                    return;
                }
            }
            // A stem with affixes of its own is a word of its own (Spanish "paridad", not a
            // form of "par"); the forms a dictionary lists bare are those its rules cannot
            // build (Spanish "abolid", Czech "lve").
            if (flagged || headwordKeys.contains(key) || linked.contains(key))
                return;
            // Run on the folded word, whose bases are folded already. A suffix keeps the case
            // of the base's first letter: "Tona", a name, is no form of "tono".
            const bool capital = stem.front().isUpper();
            const auto headword = [&](const QString& base) {
                const auto spelt = spellings.constFind(base);
                return spelt != spellings.constEnd() &&
                       std::any_of(spelt->begin(), spelt->end(), [&](const QString& headword) {
                           return !headword.isEmpty() && headword.front().isUpper() == capital;
                       });
            };
            for (const QString& base : expander.suffixBases(key, headword))
                unbuilt.push_back(InflectedForm{key, base});
        });
    endStem();
    // The leads of every flag filed compactly, each text with the bits of all its flags.
    QHash<QString, quint64> bitsOfText;
    for (size_t lead = 0; lead < bitOfLead.size(); ++lead) {
        if (bitOfLead[lead] >= 0)
            bitsOfText[expander.leadText(int(lead))] |= quint64(1) << bitOfLead[lead];
    }
    for (auto it = bitsOfText.cbegin(); it != bitsOfText.cend(); ++it)
        found.leads.push_back(FormLead{it.key(), it.value()});
    std::sort(found.leads.begin(), found.leads.end(),
              [](const FormLead& a, const FormLead& b) { return a.text < b.text; });
}

} // namespace

QStringList MorphologyFiles(const QString& language) {
    QStringList files;
    for (const auto& list : MorphologyOf(language).exceptionLists)
        files << list.second;
    return files;
}

InflectedForms FindInflectedForms(const std::vector<ThesaurusEntry>& entries,
                                  const FormSources& sources, const StepProgress& progress,
                                  size_t maxForms) {
    InflectedForms found;
    std::vector<InflectedForm>& forms = found.forms;
    if (sources.dictionary.isEmpty() && !sources.wordList.isEmpty())
        throw ThesaurusError(sources.wordList, 0,
                             QStringLiteral("a word list needs a Hunspell dictionary to find "
                                            "the roots of its words"));
    QSet<QString> headwordKeys;
    for (const ThesaurusEntry& entry : entries)
        headwordKeys.insert(WordKey(entry.headword));
    std::vector<InflectedForm> marks;
    std::vector<InflectedForm> linkedForms;
    std::vector<InflectedForm> unbuilt;
    FormSlots formSlots(sources.language, found.hows);
    const QSet<QString> linked =
        morphologyForms(entries, headwordKeys, sources.language, linkedForms, formSlots);
    // The language's own lists serve a thesaurus without a dictionary too (English of
    // Australia: went, children).
    if (sources.dictionary.isEmpty()) {
        if (linkedForms.empty())
            return found;
    } else if (sources.wordList.isEmpty())
        dictionaryForms(entries, headwordKeys, linked, sources, progress, maxForms, found, marks,
                        linkedForms, unbuilt, formSlots);
    else
        wordListForms(headwordKeys, sources, progress, forms);
    forms.insert(forms.end(), std::make_move_iterator(linkedForms.begin()),
                 std::make_move_iterator(linkedForms.end()));

    // The same form may come from several spellings in the list ("Polish", "polish") or from
    // several rules of the dictionary.
    // Millions of forms take a while to sort: a cancelled build stops here too. Of one form
    // built several ways, the one kept knows how, where any does.
    quint32 compared = 0;
    const auto order = [&](const InflectedForm& a, const InflectedForm& b) {
        if (progress && ++compared % (1u << 16) == 0)
            progress(1, 1);
        return std::tie(a.key, a.baseKey, b.how) < std::tie(b.key, b.baseKey, a.how);
    };
    std::sort(forms.begin(), forms.end(), order);
    forms.erase(std::unique(forms.begin(), forms.end(), sameKeyAndBase), forms.end());
    if (!marks.empty())
        applyMarks(forms, marks, headwordKeys, found.leads);
    const auto built = [&](const InflectedForm& form) {
        const auto at = std::lower_bound(
            forms.begin(), forms.end(), form.key,
            [](const InflectedForm& filed, const QString& key) { return filed.key < key; });
        return at != forms.end() && at->key == form.key;
    };
    unbuilt.erase(std::remove_if(unbuilt.begin(), unbuilt.end(), built), unbuilt.end());
    std::sort(unbuilt.begin(), unbuilt.end(), byKeyAndBase);
    const qsizetype filed = qsizetype(forms.size());
    forms.insert(forms.end(), std::make_move_iterator(unbuilt.begin()),
                 std::make_move_iterator(unbuilt.end()));
    std::inplace_merge(forms.begin(), forms.begin() + filed, forms.end(), byKeyAndBase);
    forms.erase(std::unique(forms.begin(), forms.end(), sameKeyAndBase), forms.end());
    return found;
}
