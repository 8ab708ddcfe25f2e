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

// Every form the dictionary's suffix rules build from a stem that is a headword. Only those
// stems are expanded, so what is kept grows with the headwords' forms, not with the dictionary.
// Second suffixes can multiply the forms beyond any use (Hungarian: tens of thousands per noun,
// Galician: a thousand per verb), so when they would give more than kMaxForms, the dictionary's
// forms of one suffix are taken instead; more than that even then is refused.
constexpr size_t kMaxForms = 3'000'000;

struct TooManyForms {};

void dictionaryForms(const QSet<QString>& headwordKeys, const FormSources& sources,
                     const StepProgress& progress, std::vector<InflectedForm>& forms) {
    AffixExpander expander(sources.dictionary, progress);
    QString stemKey;
    const auto expand = [&](bool oneSuffix) {
        expander.expand(
            [&](const QString& stem) {
                stemKey = WordKey(stem);
                return headwordKeys.contains(stemKey);
            },
            [&](const QString& form, const QString&) {
                QString key = WordKey(form);
                // A headword keeps its own synonyms, whatever else it may be a form of.
                if (key == stemKey || headwordKeys.contains(key))
                    return;
                if (forms.size() == kMaxForms)
                    throw TooManyForms();
                forms.push_back(InflectedForm{std::move(key), stemKey});
            },
            progress, oneSuffix);
    };
    try {
        expand(false);
        return;
    } catch (const TooManyForms&) {
        std::vector<InflectedForm>().swap(forms);
    }
    try {
        expand(true);
    } catch (const TooManyForms&) {
        throw ThesaurusError(sources.dictionary, 0,
                             QStringLiteral("its headwords have more than %1 forms; choose the "
                                            "words with --word-list")
                                 .arg(kMaxForms));
    }
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
        dictionaryForms(headwordKeys, sources, progress, forms);
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
