// SPDX-License-Identifier: GPL-3.0-or-later
#include "AffixExpander.h"
#include "FileSystem.h"
#include "LineDecoder.h"
#include "Thesaurus.h"

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
        const QFileInfo dic(dicPath);
        const QString affPath = dic.path() + u'/' + dic.completeBaseName() + QStringLiteral(".aff");
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
            text = QString::fromUtf8(bytes);
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
// per verb), so at most kMaxForms are kept: past that, the forms of the prefix flag that gave
// the most so far are dropped and no longer built, then those of second suffixes, until what is
// left fits; when even forms of one suffix do not, the dictionary is refused.
constexpr size_t kMaxForms = 3'000'000;

void dictionaryForms(const std::vector<ThesaurusEntry>& entries, const QSet<QString>& headwordKeys,
                     const FormSources& sources, const StepProgress& progress,
                     std::vector<InflectedForm>& forms) {
    QHash<QString, QStringList> spellings;
    bool keepsCase = false;
    for (const ThesaurusEntry& entry : entries) {
        keepsCase = keepsCase || entry.headword != entry.headword.toLower();
        QStringList& known = spellings[WordKey(entry.headword)];
        if (!known.contains(entry.headword))
            known << entry.headword;
    }
    AffixExpander expander(sources.dictionary, progress);
    std::vector<quint16> groupOf; // of each form
    std::vector<size_t> counts(size_t(expander.groups()), 0);
    std::vector<bool> dropped(counts.size(), false);
    // The group to give up next: the prefix flag with the most forms, then second suffixes.
    const auto victim = [&]() {
        int chosen = -1;
        for (int group = AffixExpander::kFirstPrefix; group < int(counts.size()); ++group) {
            if (!dropped[size_t(group)] &&
                (chosen < 0 || counts[size_t(group)] > counts[size_t(chosen)]))
                chosen = group;
        }
        if (chosen < 0 && !dropped[AffixExpander::kTwoSuffixes])
            chosen = AffixExpander::kTwoSuffixes;
        return chosen;
    };
    QString stemKey;
    // A stem's rules give many forms more than once (a prefix with and without a suffix that
    // adds nothing); they are kept once per stem line.
    QSet<QString> stemForms;
    expander.expand(
        [&](const QString& stem) {
            stemKey = WordKey(stem);
            stemForms.clear();
            const auto found = spellings.constFind(stemKey);
            if (found == spellings.constEnd())
                return false;
            if (!keepsCase)
                return WrittenPlainly(stem);
            return std::any_of(found->begin(), found->end(),
                               [&](const QString& headword) { return SpelledAs(headword, stem); });
        },
        [&](const QString& form, const QString&, int group) {
            QString key = WordKey(form);
            // A headword keeps its own synonyms, whatever else it may be a form of.
            if (dropped[size_t(group)] || key == stemKey || headwordKeys.contains(key) ||
                stemForms.contains(key))
                return;
            while (forms.size() == kMaxForms) {
                const int given = victim();
                if (given < 0)
                    throw ThesaurusError(sources.dictionary, 0,
                                         QStringLiteral("its headwords have more than %1 forms; "
                                                        "choose the words with --word-list")
                                             .arg(kMaxForms));
                dropped[size_t(given)] = true;
                expander.drop(given);
                size_t kept = 0;
                for (size_t i = 0; i < forms.size(); ++i) {
                    if (groupOf[i] != given) {
                        forms[kept] = std::move(forms[i]);
                        groupOf[kept++] = groupOf[i];
                    }
                }
                forms.resize(kept);
                groupOf.resize(kept);
                if (group == given)
                    return;
            }
            stemForms.insert(key);
            forms.push_back(InflectedForm{std::move(key), stemKey});
            groupOf.push_back(quint16(group));
            ++counts[size_t(group)];
        },
        progress);
}

} // namespace

std::vector<InflectedForm> FindInflectedForms(const std::vector<ThesaurusEntry>& entries,
                                              const FormSources& sources,
                                              const StepProgress& progress) {
    std::vector<InflectedForm> forms;
    if (sources.dictionary.isEmpty() && sources.wordList.isEmpty())
        return forms;
    if (sources.dictionary.isEmpty())
        throw ThesaurusError(sources.wordList, 0,
                             QStringLiteral("a word list needs a Hunspell dictionary to find "
                                            "the roots of its words"));
    QSet<QString> headwordKeys;
    for (const ThesaurusEntry& entry : entries)
        headwordKeys.insert(WordKey(entry.headword));
    if (sources.wordList.isEmpty())
        dictionaryForms(entries, headwordKeys, sources, progress, forms);
    else
        wordListForms(headwordKeys, sources, progress, forms);

    // The same form may come from several spellings in the list ("Polish", "polish") or from
    // several rules of the dictionary.
    // Millions of forms take a while to sort: a cancelled build stops here too.
    quint32 compared = 0;
    const auto order = [&](const InflectedForm& a, const InflectedForm& b) {
        if (progress && ++compared % (1u << 16) == 0)
            progress(1, 1);
        return std::tie(a.key, a.baseKey) < std::tie(b.key, b.baseKey);
    };
    const auto same = [](const InflectedForm& a, const InflectedForm& b) {
        return a.key == b.key && a.baseKey == b.baseKey;
    };
    std::sort(forms.begin(), forms.end(), order);
    forms.erase(std::unique(forms.begin(), forms.end(), same), forms.end());
    return forms;
}
