#include "AffixExpander.h"

#include "LineDecoder.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
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
    // ONLYINCOMPOUND, CIRCUMFIX (needs a prefix) or FORBIDDENWORD: no word of its own at all.
    bool unusable = false;
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
std::pair<QString, QString> splitAtSlash(QStringView field) {
    QString text;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == u'\\' && i + 1 < field.size() && field[i + 1] == u'/') {
            text += u'/';
            ++i;
        } else if (field[i] == u'/') {
            return {text, field.sliced(i + 1).toString()};
        } else {
            text += field[i];
        }
    }
    return {text, QString()};
}

// The value of a keyword line ("SET UTF-8") looked for in the raw bytes: SET and FLAG are
// ASCII, and the encoding has to be known before any other line can be decoded.
QString keywordValue(QByteArrayView data, QByteArrayView keyword) {
    ByteLines lines(data);
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
    Flag needAffix = 0;
    Flag onlyInCompound = 0;
    Flag circumfix = 0;
    Flag forbidden = 0;
    bool fullStrip = false;

    std::vector<Flag> flags(QStringView text) const {
        std::vector<Flag> result;
        if (!aliases.empty()) {
            bool ok = false;
            const int index = text.toInt(&ok);
            if (ok && index >= 1 && size_t(index) <= aliases.size())
                return aliases[size_t(index) - 1];
        }
        return plainFlags(text);
    }

    std::vector<Flag> plainFlags(QStringView text) const {
        std::vector<Flag> result;
        switch (flagType) {
        case FlagType::Char:
            for (QChar c : text)
                result.push_back(c.unicode());
            break;
        case FlagType::Utf8:
            for (char32_t c : text.toUcs4())
                result.push_back(c);
            break;
        case FlagType::Long:
            for (qsizetype i = 0; i < text.size(); i += 2) {
                const Flag high = text[i].unicode();
                result.push_back(i + 1 < text.size() ? (high << 16) | text[i + 1].unicode() : high);
            }
            break;
        case FlagType::Num:
            for (QStringView number : text.split(u',')) {
                bool ok = false;
                const uint value = number.trimmed().toUInt(&ok);
                if (ok && value > 0)
                    result.push_back(value);
            }
            break;
        }
        return result;
    }

    Flag flag(QStringView text) const {
        const std::vector<Flag> all = plainFlags(text);
        return all.empty() ? 0 : all.front();
    }

    // Whether the affix builds a word from `word`, as Hunspell decides it for a suffix: the
    // stripped text ends the word, something is left of it (unless FULLSTRIP), and the
    // condition matches the word's last letters.
    bool applies(const Affix& affix, QStringView word) const {
        if (word.size() < affix.strip.size() || (!fullStrip && word.size() == affix.strip.size()))
            return false;
        if (!word.endsWith(affix.strip))
            return false;
        const qsizetype n = qsizetype(affix.condition.size());
        if (word.size() < n)
            return false;
        const QStringView end = word.last(n);
        for (qsizetype i = 0; i < n; ++i) {
            if (!affix.condition[size_t(i)].matches(end[i]))
                return false;
        }
        return true;
    }
};

AffixExpander::~AffixExpander() = default;

AffixExpander::AffixExpander(const QString& dicPath) : m_rules(new Rules), m_dicPath(dicPath) {
    const QFileInfo dic(dicPath);
    const QString affPath = dic.path() + u'/' + dic.completeBaseName() + QStringLiteral(".aff");
    const QByteArray aff = ReadInputFile(affPath);
    Rules& rules = *m_rules;

    // Hunspell reads a .aff without SET as ISO 8859-1.
    QString encoding = keywordValue(aff, "SET");
    if (encoding.isEmpty())
        encoding = QStringLiteral("ISO8859-1");
    rules.decoder = LineDecoder::forName(encoding);
    if (!rules.decoder)
        throw ThesaurusError(affPath, 0, QStringLiteral("unknown encoding %1").arg(encoding));
    const QString flagType = keywordValue(aff, "FLAG");
    if (flagType.compare(u"long", Qt::CaseInsensitive) == 0)
        rules.flagType = FlagType::Long;
    else if (flagType.compare(u"num", Qt::CaseInsensitive) == 0)
        rules.flagType = FlagType::Num;
    else if (flagType.compare(u"UTF-8", Qt::CaseInsensitive) == 0)
        rules.flagType = FlagType::Utf8;

    // Entries are counted by their header line; the counts tell a header ("SFX A Y 3") from an
    // entry whose fields happen to look like one.
    QHash<Flag, int> entriesLeft;
    bool aliasHeaderSeen = false;
    ByteLines lines(aff);
    QByteArrayView bytes;
    while (lines.next(bytes)) {
        // Comments are not always in the file's encoding (Hungarian's credits are Latin-1 in a
        // UTF-8 file); a rule that cannot be decoded could not match a word either.
        QString text;
        QString problem;
        if (bytes.startsWith('#') || !rules.decoder->decode(bytes, text, problem))
            continue;
        const QStringList fields =
            text.split(QRegularExpression(QStringLiteral("[ \\t]+")), Qt::SkipEmptyParts);
        if (fields.size() < 2)
            continue;
        const QString& keyword = fields[0];
        if (keyword == u"AF") {
            // The first AF line only gives the number of aliases.
            if (aliasHeaderSeen)
                rules.aliases.push_back(rules.plainFlags(fields[1]));
            aliasHeaderSeen = true;
        } else if (keyword == u"NEEDAFFIX" || keyword == u"PSEUDOROOT") {
            rules.needAffix = rules.flag(fields[1]);
        } else if (keyword == u"ONLYINCOMPOUND") {
            rules.onlyInCompound = rules.flag(fields[1]);
        } else if (keyword == u"CIRCUMFIX") {
            rules.circumfix = rules.flag(fields[1]);
        } else if (keyword == u"FORBIDDENWORD") {
            rules.forbidden = rules.flag(fields[1]);
        } else if (keyword == u"FULLSTRIP") {
            rules.fullStrip = true;
        } else if (keyword == u"SFX" && fields.size() >= 4) {
            const Flag flag = rules.flag(fields[1]);
            int& left = entriesLeft[flag];
            if (left <= 0) {
                left = fields[3].toInt();
                continue;
            }
            --left;
            Affix affix;
            affix.strip = fields[2] == u"0" ? QString() : fields[2];
            auto [append, continuation] = splitAtSlash(fields[3]);
            affix.append = append == u"0" ? QString() : append;
            affix.continuation = rules.flags(continuation);
            affix.condition = parseCondition(fields.size() > 4 ? QStringView(fields[4]) : u".");
            rules.suffixes[flag].push_back(std::move(affix));
        }
    }
    // The special flags may be declared after the affixes that carry them.
    for (std::vector<Affix>& affixes : rules.suffixes) {
        for (Affix& affix : affixes) {
            affix.standsAlone = !contains(affix.continuation, rules.needAffix);
            affix.unusable = contains(affix.continuation, rules.onlyInCompound) ||
                             contains(affix.continuation, rules.circumfix) ||
                             contains(affix.continuation, rules.forbidden);
        }
    }
}

void AffixExpander::expand(const StemFilter& wantStem, const FormSink& form,
                           const StepProgress& progress) {
    Rules& rules = *m_rules;
    const QByteArray data = ReadInputFile(m_dicPath);
    ByteLines lines(data);
    QByteArrayView bytes;
    lines.next(bytes); // the number of entries
    QString text;
    QString problem;
    while (lines.next(bytes)) {
        if (progress && lines.number() % 4096 == 0)
            progress(lines.position(), lines.size());
        // Lines that start with a tab are comments; a line Hunspell cannot decode either is
        // skipped as Hunspell skips it.
        if (bytes.isEmpty() || bytes.front() == '\t' ||
            !rules.decoder->decode(bytes, text, problem))
            continue;
        // Morphological fields follow a tab, or a space before their "xx:" name.
        QStringView entry(text);
        const qsizetype tab = entry.indexOf(u'\t');
        if (tab >= 0)
            entry = entry.first(tab);
        static const QRegularExpression field(QStringLiteral(" +[^ :/]{2}:"));
        const QRegularExpressionMatch fieldMatch = field.match(entry);
        if (fieldMatch.hasMatch())
            entry = entry.first(fieldMatch.capturedStart());
        auto [stem, flagText] = splitAtSlash(entry.trimmed());
        // A morphological alias (AM) may follow the flags after a space.
        if (const qsizetype space = flagText.indexOf(u' '); space >= 0)
            flagText.truncate(space);
        if (stem.isEmpty() || flagText.isEmpty() || !wantStem(stem))
            continue;
        const std::vector<Flag> flags = rules.flags(flagText);
        if (contains(flags, rules.forbidden) || contains(flags, rules.onlyInCompound))
            continue;
        for (Flag flag : flags) {
            const auto found = rules.suffixes.constFind(flag);
            if (found == rules.suffixes.constEnd())
                continue;
            for (const Affix& first : *found) {
                if (first.unusable || !rules.applies(first, stem))
                    continue;
                const QString once = stem.first(stem.size() - first.strip.size()) + first.append;
                if (first.standsAlone)
                    form(once, stem);
                // Hunspell strips at most two suffixes: the second is one the first allows.
                for (Flag next : first.continuation) {
                    const auto second = rules.suffixes.constFind(next);
                    if (second == rules.suffixes.constEnd())
                        continue;
                    for (const Affix& outer : *second) {
                        if (outer.unusable || !outer.standsAlone || !rules.applies(outer, once))
                            continue;
                        form(once.first(once.size() - outer.strip.size()) + outer.append, stem);
                    }
                }
            }
        }
    }
}
