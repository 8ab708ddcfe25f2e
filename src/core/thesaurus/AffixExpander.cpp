// SPDX-License-Identifier: GPL-3.0-or-later
#include "AffixExpander.h"

#include "LineDecoder.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace {

// A flag as Hunspell compares them: one character, two characters (FLAG long) or a number
// (FLAG num). 0 is never a flag, so it stands for "this .aff has none of that kind".
using Flag = char32_t;
enum class FlagType { Char, Long, Num, Utf8 };

// One position of an affix condition: ".", a letter, or a bracketed set, possibly negated.
struct ConditionChar {
    enum Kind { Any, Letter, Set, NotSet } kind = Any;
    QString letters;

    bool matches(QChar c) const {
        switch (kind) {
        case Any:
            return true;
        case Letter:
        case Set:
            return letters.contains(c);
        case NotSet:
            return !letters.contains(c);
        }
        return false;
    }
};

struct Affix {
    QString strip;
    QString append;
    std::vector<ConditionChar> condition;
    std::vector<Flag> continuation;
    // The form stands as a word of its own only without NEEDAFFIX among its continuation flags.
    bool standsAlone = true;
    // ONLYINCOMPOUND or FORBIDDENWORD: no word of its own at all.
    bool unusable = false;
    // CIRCUMFIX: a prefix and a suffix that come only together.
    bool circumfix = false;
    // The header's cross product flag (Y): a prefix and a suffix may both apply to one word.
    bool cross = false;
    // A prefix's lead (AffixExpander::leadText), or -1.
    int lead = -1;
    // A suffix's place in Rules::rules.
    int rule = -1;
};

std::vector<ConditionChar> parseCondition(QStringView text) {
    std::vector<ConditionChar> condition;
    if (text == u".")
        return condition;
    for (qsizetype i = 0; i < text.size(); ++i) {
        ConditionChar c;
        if (text[i] == u'[') {
            const qsizetype close = text.indexOf(u']', i + 1);
            const qsizetype end = close < 0 ? text.size() : close;
            QStringView inside = text.sliced(i + 1, end - i - 1);
            c.kind = ConditionChar::Set;
            if (inside.startsWith(u'^')) {
                c.kind = ConditionChar::NotSet;
                inside = inside.sliced(1);
            }
            c.letters = inside.toString();
            i = end;
        } else if (text[i] != u'.') {
            c.kind = ConditionChar::Letter;
            c.letters = text[i];
        }
        condition.push_back(std::move(c));
    }
    return condition;
}

// Splits at the first '/' that no backslash escapes, and drops the escapes ("1\/2" is a word).
// Works on the raw bytes: flags are bytes to Hunspell, whatever the text's encoding.
std::pair<QByteArray, QByteArrayView> splitAtSlash(QByteArrayView field) {
    QByteArray text;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == '/') {
            text += '/';
            ++i;
        } else if (field[i] == '/') {
            return {text, field.sliced(i + 1)};
        } else {
            text += field[i];
        }
    }
    return {text, QByteArrayView()};
}

std::vector<QByteArrayView> splitFields(QByteArrayView line) {
    std::vector<QByteArrayView> fields;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        const bool blank = i == line.size() || line[i] == ' ' || line[i] == '\t';
        if (blank && start >= 0) {
            fields.push_back(line.sliced(start, i - start));
            start = -1;
        } else if (!blank && start < 0) {
            start = i;
        }
    }
    return fields;
}

// The value of a keyword line ("SET UTF-8") looked for in the raw bytes of the file: SET and
// FLAG are ASCII, and the encoding has to be known before any other line can be decoded.
QString keywordValue(const QString& affPath, QByteArrayView keyword) {
    ByteLines lines(affPath);
    QByteArrayView line;
    while (lines.next(line)) {
        if (line.startsWith(keyword) && line.size() > keyword.size() &&
            (line[keyword.size()] == ' ' || line[keyword.size()] == '\t'))
            return QString::fromLatin1(line.sliced(keyword.size())).trimmed();
    }
    return QString();
}

bool contains(const std::vector<Flag>& flags, Flag flag) {
    return flag != 0 && std::find(flags.begin(), flags.end(), flag) != flags.end();
}

} // namespace

struct AffixExpander::Rules {
    FlagType flagType = FlagType::Char;
    std::optional<LineDecoder> decoder;
    std::vector<std::vector<Flag>> aliases;
    QHash<Flag, std::vector<Affix>> suffixes;
    QHash<Flag, std::vector<Affix>> prefixes;
    // Prefix flags that a suffix's continuation names: a suffix may allow a prefix the stem lacks.
    std::vector<Flag> prefixesAllowedBySuffixes;
    Flag needAffix = 0;
    Flag onlyInCompound = 0;
    Flag circumfix = 0;
    Flag forbidden = 0;
    bool fullStrip = false;
    // The group of each prefix flag's forms, and the groups no longer built.
    QHash<Flag, int> prefixGroups;
    mutable std::vector<bool> dropped;
    std::vector<bool> marked;
    std::vector<QString> leadTexts;
    // The bound on expand's work (AffixExpander::bound): affixes tried per group, in all and
    // on the stem being expanded (stemWork, counted from stemStart).
    QString dicPath;
    mutable std::vector<qint64> work;
    mutable std::vector<qint64> stemStart;
    mutable qint64 workLeft = std::numeric_limits<qint64>::max();
    mutable qint64 grant = 0;
    qint64 stemWork = std::numeric_limits<qint64>::max();
    mutable qint64 stemLeft = std::numeric_limits<qint64>::max();
    mutable qint64 stemGrant = 0;
    size_t heldLimit = std::numeric_limits<size_t>::max();
    mutable bool secondSuffixesGivenUp = false;
    std::function<void(int group)> givenUp;
    // What builtBy and stemCarries answer about the form and the stem being expanded.
    std::vector<Rule> rules;
    mutable int builtBy = -1;
    const std::vector<Flag>* stemFlags = nullptr;
    QString flagName(Flag flag) const {
        return flagType == FlagType::Num ? QString::number(flag)
               : flagType == FlagType::Long && flag > 0xFF
                   ? QString(QChar(flag >> 8)) + QChar(flag & 0xFF)
                   : QString::fromUcs4(&flag, 1);
    }

    // Counts one affix tried for group; whether the group is still built.
    bool spend(int group) const {
        ++work[size_t(group)];
        if (--workLeft < 0)
            giveUpHeaviest(group, workLeft, grant, false);
        if (--stemLeft < 0)
            giveUpHeaviest(group, stemLeft, stemGrant, true);
        return !dropped[size_t(group)];
    }
    void startStem() const {
        stemLeft = stemWork;
        stemGrant = stemWork / 2;
        stemStart = work;
    }
    void giveUpHeaviest(int spending, qint64& left, qint64& more, bool onStem) const;
    void giveUp(int group) const;
    // The suffixes that add text, by that text, for suffixBases.
    QHash<QString, std::vector<const Affix*>> suffixesByText;
    qsizetype longestSuffix = 0;

    std::vector<Flag> flags(QByteArrayView raw) const {
        if (!aliases.empty()) {
            bool ok = false;
            const int index = raw.toByteArray().toInt(&ok);
            if (ok && index >= 1 && size_t(index) <= aliases.size())
                return aliases[size_t(index) - 1];
        }
        return plainFlags(raw);
    }

    // FLAG char (the default) and long are bytes, even in a UTF-8 file: Hungarian's are Latin-1.
    std::vector<Flag> plainFlags(QByteArrayView raw) const {
        std::vector<Flag> result;
        switch (flagType) {
        case FlagType::Char:
            for (char c : raw)
                result.push_back(uchar(c));
            break;
        case FlagType::Utf8:
            for (char32_t c : QString::fromUtf8(raw).toUcs4())
                result.push_back(c);
            break;
        case FlagType::Long:
            for (qsizetype i = 0; i < raw.size(); i += 2) {
                const Flag high = uchar(raw[i]);
                result.push_back(i + 1 < raw.size() ? (high << 8) | uchar(raw[i + 1]) : high);
            }
            break;
        case FlagType::Num:
            for (const QByteArray& number : raw.toByteArray().split(',')) {
                bool ok = false;
                const uint value = number.trimmed().toUInt(&ok);
                if (ok && value > 0)
                    result.push_back(value);
            }
            break;
        }
        return result;
    }

    // The text of a field in the file's encoding; null when it is not valid there.
    QString text(QByteArrayView raw) {
        QString text;
        QString problem;
        if (!decoder->decode(raw, text, problem))
            return QString();
        return text.isNull() ? QStringLiteral("") : text;
    }

    Flag flag(QByteArrayView raw) const {
        const std::vector<Flag> all = plainFlags(raw);
        return all.empty() ? 0 : all.front();
    }

    // Whether the affix builds a word from `word`, as Hunspell decides it: the stripped text
    // ends the word (starts it, for a prefix), something is left of it (unless FULLSTRIP), and
    // the condition matches the word's letters at that end.
    bool fits(const Affix& affix, QStringView word, bool atStart) const {
        if (word.size() < affix.strip.size() || (!fullStrip && word.size() == affix.strip.size()))
            return false;
        if (atStart ? !word.startsWith(affix.strip) : !word.endsWith(affix.strip))
            return false;
        const qsizetype n = qsizetype(affix.condition.size());
        if (word.size() < n)
            return false;
        const QStringView letters = atStart ? word.first(n) : word.last(n);
        for (qsizetype i = 0; i < n; ++i) {
            if (!affix.condition[size_t(i)].matches(letters[i]))
                return false;
        }
        return true;
    }
    bool applies(const Affix& affix, QStringView word) const { return fits(affix, word, false); }
    bool prefixApplies(const Affix& affix, QStringView word) const {
        return fits(affix, word, true);
    }

    // A suffix applied to a stem, and the second suffixes applied after it.
    struct Suffixed {
        const Affix* first;
        QString once;
        bool stemHasSuffix;
        std::vector<std::pair<const Affix*, QString>> twice;
    };
    // The text of the st: field among a line's morphological fields, or empty.
    QString rootField(QByteArrayView fields) {
        for (qsizetype at = fields.indexOf("st:"); at >= 0; at = fields.indexOf("st:", at + 1)) {
            if (at > 0 && fields[at - 1] != ' ' && fields[at - 1] != '\t')
                continue;
            QByteArrayView value = fields.sliced(at + 3);
            for (qsizetype end = 0; end < value.size(); ++end) {
                if (value[end] == ' ' || value[end] == '\t') {
                    value = value.first(end);
                    break;
                }
            }
            const QString root = text(value);
            return root.isNull() ? QString() : root;
        }
        return QString();
    }

    void suffixed(const QString& stem, Flag flag, bool stemHasSuffix, int group,
                  std::vector<Suffixed>& out) const;

    using Sink = std::function<void(const QString&, int group, int lead)>;
    using Marker = std::function<void(int lead, const QString& base)>;
    void expandStem(const QString& stem, const std::vector<Flag>& flags, const Sink& form,
                    const Marker& mark) const;
    void expandWithPrefix(const QString& stem, const std::vector<Flag>& flags,
                          const std::vector<Suffixed>& stemSuffixed, Flag prefixFlag,
                          const Affix& prefix, int group, const Sink& form,
                          const Marker& mark) const;
};

AffixExpander::~AffixExpander() = default;

AffixExpander::AffixExpander(const QString& dicPath, const StepProgress& progress,
                             const QStringList& reversing)
    : rules_(new Rules), dicPath_(dicPath) {
    const QString affPath = AffixFileOf(dicPath);
    Rules& rules = *rules_;

    // Hunspell reads a .aff without SET as ISO 8859-1.
    QString encoding = keywordValue(affPath, "SET");
    if (encoding.isEmpty())
        encoding = QStringLiteral("ISO8859-1");
    rules.decoder = LineDecoder::forName(encoding);
    if (!rules.decoder)
        throw ThesaurusError(affPath, 0, QStringLiteral("unknown encoding %1").arg(encoding));
    const QString flagType = keywordValue(affPath, "FLAG");
    if (flagType.compare(u"long", Qt::CaseInsensitive) == 0)
        rules.flagType = FlagType::Long;
    else if (flagType.compare(u"num", Qt::CaseInsensitive) == 0)
        rules.flagType = FlagType::Num;
    else if (flagType.compare(u"UTF-8", Qt::CaseInsensitive) == 0)
        rules.flagType = FlagType::Utf8;

    // Entries are counted by their header line; the counts tell a header ("SFX A Y 3") from an
    // entry whose fields happen to look like one.
    QHash<Flag, int> entriesLeft;
    QHash<Flag, int> prefixEntriesLeft;
    QHash<Flag, bool> crossSuffixes;
    QHash<Flag, bool> crossPrefixes;
    bool aliasHeaderSeen = false;
    ByteLines lines(affPath);
    QByteArrayView bytes;
    while (lines.next(bytes)) {
        // Large .aff files (Hungarian's) take a while: a cancelled build stops here too.
        if (progress && lines.number() % 4096 == 0)
            progress(0, 1);
        lines.refuseNul(bytes);
        if (bytes.startsWith('#'))
            continue;
        const std::vector<QByteArrayView> fields = splitFields(bytes);
        if (fields.size() < 2)
            continue;
        const QByteArrayView keyword = fields[0];
        if (keyword == "AF") {
            // The first AF line only gives the number of aliases.
            if (aliasHeaderSeen)
                rules.aliases.push_back(rules.plainFlags(fields[1]));
            aliasHeaderSeen = true;
        } else if (keyword == "NEEDAFFIX" || keyword == "PSEUDOROOT") {
            rules.needAffix = rules.flag(fields[1]);
        } else if (keyword == "ONLYINCOMPOUND") {
            rules.onlyInCompound = rules.flag(fields[1]);
        } else if (keyword == "CIRCUMFIX") {
            rules.circumfix = rules.flag(fields[1]);
        } else if (keyword == "FORBIDDENWORD") {
            rules.forbidden = rules.flag(fields[1]);
        } else if (keyword == "FULLSTRIP") {
            rules.fullStrip = true;
        } else if ((keyword == "SFX" || keyword == "PFX") && fields.size() >= 4) {
            const bool suffix = keyword == "SFX";
            const Flag flag = rules.flag(fields[1]);
            int& left = (suffix ? entriesLeft : prefixEntriesLeft)[flag];
            if (left <= 0) {
                left = fields[3].toByteArray().toInt();
                (suffix ? crossSuffixes : crossPrefixes)[flag] = fields[2] == "Y";
                continue;
            }
            --left;
            const auto [appendBytes, continuation] = splitAtSlash(fields[3]);
            Affix affix;
            affix.strip = rules.text(fields[2] == "0" ? QByteArrayView() : fields[2]);
            affix.append = rules.text(appendBytes == "0" ? QByteArrayView() : appendBytes);
            const QString condition =
                fields.size() > 4 ? rules.text(fields[4]) : QStringLiteral(".");
            // A rule whose text the encoding cannot give could not match a word either.
            if (affix.strip.isNull() || affix.append.isNull() || condition.isNull())
                continue;
            affix.continuation = rules.flags(continuation);
            affix.condition = parseCondition(condition);
            affix.cross = (suffix ? crossSuffixes : crossPrefixes).value(flag);
            if (suffix) {
                affix.rule = int(rules.rules.size());
                QStringList fieldTexts;
                for (size_t field = 5; field < fields.size(); ++field)
                    fieldTexts << rules.text(fields[field]);
                rules.rules.push_back({rules.flagName(flag), affix.strip, affix.append, condition,
                                       fieldTexts.join(u' ')});
            }
            (suffix ? rules.suffixes : rules.prefixes)[flag].push_back(std::move(affix));
        }
    }
    // The special flags may be declared after the affixes that carry them.
    for (auto* table : {&rules.suffixes, &rules.prefixes}) {
        for (std::vector<Affix>& affixes : *table) {
            for (Affix& affix : affixes) {
                affix.standsAlone = !contains(affix.continuation, rules.needAffix);
                affix.unusable = contains(affix.continuation, rules.onlyInCompound) ||
                                 contains(affix.continuation, rules.forbidden);
                affix.circumfix = contains(affix.continuation, rules.circumfix);
            }
        }
    }
    std::vector<Flag> prefixFlags(rules.prefixes.keyBegin(), rules.prefixes.keyEnd());
    std::sort(prefixFlags.begin(), prefixFlags.end());
    for (Flag flag : prefixFlags)
        rules.prefixGroups.insert(flag, kFirstPrefix + int(rules.prefixGroups.size()));
    rules.dropped.assign(size_t(kFirstPrefix + rules.prefixGroups.size()), false);
    rules.marked = rules.dropped;
    rules.work.assign(rules.dropped.size(), 0);
    QHash<std::pair<int, QString>, int> leadIds;
    for (Flag flag : prefixFlags) {
        const int group = rules.prefixGroups.value(flag);
        for (Affix& affix : rules.prefixes[flag]) {
            const QString append = WordKey(affix.append);
            const QString strip = WordKey(affix.strip);
            const bool keepsWord = append.size() > strip.size() && append.endsWith(strip);
            if (reversing.contains(keepsWord ? append.chopped(strip.size()) : append))
                affix.unusable = true;
            if (!keepsWord)
                continue;
            const std::pair<int, QString> lead(group, append.chopped(strip.size()));
            auto known = leadIds.constFind(lead);
            if (known == leadIds.constEnd()) {
                known = leadIds.insert(lead, int(rules.leadTexts.size()));
                rules.leadTexts.push_back(lead.second);
            }
            affix.lead = *known;
        }
    }
    for (const std::vector<Affix>& affixes : std::as_const(rules.suffixes)) {
        for (const Affix& affix : affixes) {
            if (!affix.append.isEmpty() && !affix.unusable && !affix.circumfix) {
                rules.suffixesByText[affix.append].push_back(&affix);
                rules.longestSuffix = std::max(rules.longestSuffix, affix.append.size());
            }
            for (Flag flag : affix.continuation) {
                if (rules.prefixes.contains(flag) &&
                    !contains(rules.prefixesAllowedBySuffixes, flag))
                    rules.prefixesAllowedBySuffixes.push_back(flag);
            }
        }
    }
}

int AffixExpander::groups() const {
    return int(rules_->dropped.size());
}

void AffixExpander::drop(int group) {
    rules_->dropped.at(size_t(group)) = true;
}

void AffixExpander::markInstead(int group) {
    rules_->marked.at(size_t(group)) = true;
}

int AffixExpander::leads() const {
    return int(rules_->leadTexts.size());
}

const QString& AffixExpander::leadText(int lead) const {
    return rules_->leadTexts.at(size_t(lead));
}

void AffixExpander::bound(qint64 work, qint64 stemWork, size_t held,
                          const std::function<void(int group)>& givenUp) {
    rules_->workLeft = work;
    rules_->grant = work / 2;
    rules_->stemWork = stemWork;
    rules_->heldLimit = held;
    rules_->givenUp = givenUp;
}

QString AffixExpander::groupName(int group) const {
    if (group < kFirstPrefix)
        return group == kOneSuffix ? QStringLiteral("one suffix")
                                   : QStringLiteral("second suffixes");
    return QStringLiteral("prefix flag %1").arg(rules_->flagName(rules_->prefixGroups.key(group)));
}

int AffixExpander::builtBy() const {
    return rules_->builtBy;
}

const AffixExpander::Rule& AffixExpander::rule(int id) const {
    return rules_->rules.at(size_t(id));
}

bool AffixExpander::stemCarries(const QString& flag) const {
    const std::vector<Flag>* flags = rules_->stemFlags;
    return flags && std::any_of(flags->begin(), flags->end(), [&](Flag carried) {
               return rules_->flagName(carried) == flag;
           });
}

// The group given up is the one that tried the most, in all or on this stem alone. Past both
// bounds at once, the second finds the spending group given up already.
void AffixExpander::Rules::giveUpHeaviest(int spending, qint64& left, qint64& more,
                                          bool onStem) const {
    const auto tried = [&](int group) {
        return work[size_t(group)] - (onStem ? stemStart[size_t(group)] : 0);
    };
    int heaviest = -1;
    for (int group = kTwoSuffixes; group < int(work.size()); ++group) {
        if (!dropped[size_t(group)] && (heaviest < 0 || tried(group) > tried(heaviest)))
            heaviest = group;
    }
    if (heaviest >= 0)
        giveUp(heaviest);
    else if (!dropped[size_t(spending)])
        throw ThesaurusError(AffixFileOf(dicPath), 0,
                             QStringLiteral("its affix rules take more work than the importer "
                                            "gives them; choose the words with --word-list"));
    // Each group given up buys the rest half the work the one before bought, so that the whole
    // stays within twice the bound however many groups there are.
    left = std::max<qint64>(left, 0) + more;
    more /= 2;
}

void AffixExpander::Rules::giveUp(int group) const {
    dropped[size_t(group)] = true;
    if (group == kTwoSuffixes)
        secondSuffixesGivenUp = true;
    if (givenUp)
        givenUp(group);
}

QStringList AffixExpander::suffixBases(const QString& word,
                                       const std::function<bool(const QString&)>& wanted) const {
    constexpr qsizetype kShortestBase = 3;
    QStringList bases;
    // One buffer for every candidate: most are no headword, and a stem has many.
    QString base;
    // Each ending looked up in place, not copied: most are no suffix's text.
    QString ending;
    const qsizetype longest = std::min(rules_->longestSuffix, word.size() - 1);
    for (qsizetype length = 1; length <= longest; ++length) {
        ending.setRawData(word.constData() + word.size() - length, length);
        const auto found = rules_->suffixesByText.constFind(ending);
        if (found == rules_->suffixesByText.constEnd())
            continue;
        for (const Affix* affix : *found) {
            base.resize(0);
            base.append(QStringView(word).chopped(length)).append(affix->strip);
            if (base.size() >= kShortestBase && wanted(base) && rules_->applies(*affix, base) &&
                !bases.contains(base))
                bases << base;
        }
    }
    return bases;
}

void AffixExpander::expand(const StemFilter& wantStem, const FormSink& form, const MarkSink& mark,
                           const StepProgress& progress, const OwnStemSink& own) {
    Rules& rules = *rules_;
    rules.dicPath = dicPath_;
    ByteLines lines(dicPath_);
    QByteArrayView bytes;
    lines.next(bytes); // the number of entries
    while (lines.next(bytes)) {
        if (progress && lines.number() % 4096 == 0)
            progress(lines.position(), lines.size());
        // Lines that start with a tab are comments.
        if (bytes.isEmpty() || bytes.front() == '\t')
            continue;
        // Morphological fields follow a tab, or a space before their "xx:" name; a morphological
        // alias (AM) follows the flags after a space.
        QByteArrayView entry = bytes;
        if (const qsizetype tab = entry.indexOf('\t'); tab >= 0)
            entry = entry.first(tab);
        for (qsizetype at = entry.indexOf(' '); at >= 0 && at + 3 < entry.size();
             at = entry.indexOf(' ', at + 1)) {
            if (entry[at + 3] == ':' && entry[at + 1] != ' ' && entry[at + 2] != ' ') {
                entry = entry.first(at);
                break;
            }
        }
        auto [stemBytes, flagText] = splitAtSlash(entry.trimmed());
        if (const qsizetype space = flagText.indexOf(' '); space >= 0)
            flagText = flagText.first(space);
        // A stem the encoding cannot give is skipped, as Hunspell cannot match it either.
        const QString stem = rules.text(stemBytes);
        if (own && !stem.isEmpty())
            own(stem, rules.rootField(bytes.sliced(entry.size())), !flagText.isEmpty());
        if (flagText.isEmpty() || stem.isEmpty() || !wantStem(stem))
            continue;
        const std::vector<Flag> flags = rules.flags(flagText);
        if (contains(flags, rules.forbidden) || contains(flags, rules.onlyInCompound))
            continue;
        rules.stemFlags = &flags;
        rules.startStem();
        rules.expandStem(
            stem, flags,
            [&](const QString& text, int group, int lead) { form(text, stem, group, lead); },
            [&](int lead, const QString& base) { mark(lead, base, stem); });
        rules.stemFlags = nullptr;
    }
}

// Every suffix of the flag that applies to the stem (its form whether or not it stands alone),
// each with the second suffixes its continuation allows that stand alone.
// group: the forms' own (kOneSuffix, or a prefix's when only the prefix allows the suffix), whose
// work the first suffixes count; the second suffixes count as theirs on the stem alone.
void AffixExpander::Rules::suffixed(const QString& stem, Flag flag, bool stemHasSuffix, int group,
                                    std::vector<Suffixed>& out) const {
    const auto found = suffixes.constFind(flag);
    if (found == suffixes.constEnd())
        return;
    const int secondGroup = group == kOneSuffix ? kTwoSuffixes : group;
    size_t held = 0;
    for (const Suffixed& built : out)
        held += built.twice.size();
    for (const Affix& first : *found) {
        if (!spend(group))
            return;
        if (first.unusable || !applies(first, stem))
            continue;
        Suffixed built{
            &first, stem.first(stem.size() - first.strip.size()) + first.append, stemHasSuffix, {}};
        if (!dropped[kTwoSuffixes] || (!prefixes.isEmpty() && !secondSuffixesGivenUp)) {
            // Hunspell strips at most two suffixes: the second is one the first allows.
            for (Flag next : first.continuation) {
                const auto second = suffixes.constFind(next);
                if (second == suffixes.constEnd())
                    continue;
                for (const Affix& outer : *second) {
                    // Dropped for the forms kept, they are still built for the prefixes.
                    spend(secondGroup);
                    if (secondSuffixesGivenUp || dropped[size_t(group)])
                        break;
                    if (!outer.unusable && outer.standsAlone && applies(outer, built.once))
                        built.twice.emplace_back(
                            &outer, built.once.first(built.once.size() - outer.strip.size()) +
                                        outer.append);
                    if (++held > heldLimit)
                        giveUp(kTwoSuffixes);
                }
            }
            if (secondSuffixesGivenUp)
                built.twice.clear();
        }
        out.push_back(std::move(built));
    }
}

void AffixExpander::Rules::expandStem(const QString& stem, const std::vector<Flag>& flags,
                                      const Sink& form, const Marker& mark) const {
    std::vector<Suffixed> stemSuffixed;
    for (Flag flag : flags)
        suffixed(stem, flag, true, kOneSuffix, stemSuffixed);
    for (const Suffixed& built : stemSuffixed) {
        // A circumfix suffix needs its prefix.
        if (built.first->circumfix)
            continue;
        if (built.first->standsAlone) {
            builtBy = built.first->rule;
            form(built.once, kOneSuffix, -1);
            builtBy = -1;
        }
        if (dropped[kTwoSuffixes])
            continue;
        for (const auto& [outer, text] : built.twice) {
            if (!outer->circumfix && !secondSuffixesGivenUp)
                form(text, kTwoSuffixes, -1);
        }
    }
    if (prefixes.isEmpty())
        return;
    // A prefix the stem carries, or one that some suffix allows (checked with that suffix).
    const auto withPrefix = [&](Flag flag) {
        const auto found = prefixes.constFind(flag);
        if (found == prefixes.constEnd())
            return;
        const int group = prefixGroups.value(flag);
        if (dropped[size_t(group)])
            return;
        for (const Affix& prefix : *found) {
            if (!prefix.unusable && !dropped[size_t(group)])
                expandWithPrefix(stem, flags, stemSuffixed, flag, prefix, group, form, mark);
        }
    };
    for (Flag flag : flags)
        withPrefix(flag);
    for (Flag flag : prefixesAllowedBySuffixes) {
        if (!contains(flags, flag))
            withPrefix(flag);
    }
}

// One prefix on the stem, alone and with the suffixes it may meet, as Hunspell checks them: both
// affixes cross products (Y), each allowed by the stem or by the other's continuation flags, a
// circumfix prefix only with a circumfix suffix. Hunspell strips at most one prefix.
void AffixExpander::Rules::expandWithPrefix(const QString& stem, const std::vector<Flag>& flags,
                                            const std::vector<Suffixed>& stemSuffixed,
                                            Flag prefixFlag, const Affix& prefix, int group,
                                            const Sink& form, const Marker& mark) const {
    if (marked[size_t(group)] && prefix.lead < 0)
        return;
    const auto prefixed = [&](const QString& word) {
        if (!spend(group) || !prefixApplies(prefix, word))
            return;
        // The mark says what the form would: its key is the lead and the word's key.
        if (!marked[size_t(group)])
            form(prefix.append + word.sliced(prefix.strip.size()), group, prefix.lead);
        else if (prefix.lead >= 0)
            mark(prefix.lead, word);
    };
    const bool stemHasPrefix = contains(flags, prefixFlag);
    if (stemHasPrefix && prefix.standsAlone && !prefix.circumfix)
        prefixed(stem);
    if (!prefix.cross)
        return;
    // The stem's suffixes, then those only the prefix allows.
    std::vector<Suffixed> prefixSuffixed;
    for (Flag flag : prefix.continuation) {
        if (!contains(flags, flag))
            suffixed(stem, flag, false, group, prefixSuffixed);
    }
    for (const std::vector<Suffixed>* list : {&stemSuffixed, &std::as_const(prefixSuffixed)}) {
        for (const Suffixed& built : *list) {
            const Affix& first = *built.first;
            if (dropped[size_t(group)])
                return;
            if (!first.cross)
                continue;
            const bool prefixAllowed = stemHasPrefix || contains(first.continuation, prefixFlag);
            const bool sameCircumfix = first.circumfix == prefix.circumfix;
            // Hunspell's spell takes a prefix for the further affix a NEEDAFFIX suffix needs,
            // but its analysis gives such a word no stem, so it is no form of the stem.
            if (prefixAllowed && sameCircumfix && first.standsAlone)
                prefixed(built.once);
            for (const auto& [outer, text] : built.twice) {
                if (!outer->cross || secondSuffixesGivenUp)
                    continue;
                // A second suffix that allows the prefix frees the first from it.
                const bool inner = contains(outer->continuation, prefixFlag)
                                       ? built.stemHasSuffix && !first.circumfix
                                       : prefixAllowed && sameCircumfix;
                if (inner)
                    prefixed(text);
            }
        }
    }
}
