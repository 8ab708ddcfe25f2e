// SPDX-License-Identifier: GPL-3.0-or-later
// The synonym databases held against MyThes and Hunspell themselves.
//
// For every installed thesaurus it builds the database the program builds on first use, then
// takes a seeded sample of headwords and of inflected forms and compares, word by word, what
// the database answers with what MyThes and Hunspell give, read by the rules of docs/languages.md:
//
// - a headword's synonyms are the terms of all its meanings (every spelling of its folded key),
//   the labels the table knows taken off, a term that is the headword dropped; each term's
//   relation is its own label's, else its meaning's, else "synonym"; qrySynonyms gives the
//   synonym kinds (synonym, similar term, related term), qryRelations every relation;
//   a word whose entries give no synonym kind answers with their generic and narrower terms;
// - a form (a word that is no headword) is filed under every headword Hunspell stems it to,
//   spelt in that headword's letter case, compounds left out, and never through a prefix that
//   reverses the meaning; it answers with their synonyms (or generic and narrower terms).
//
// Forms are sampled half from what the database files and half from the words of the sampled
// headwords' synonyms that Hunspell traces to a headword, so both what the program files
// wrongly and what it misses show. Prints a table and the first disagreements of each
// language; exits 1 when, in any language, fewer than 99.5 % of headwords or 99 % of forms
// agree, or a term's relations differ. A language named in the file given with --shortfalls
// may agree on fewer forms, never on fewer than the figure written there with its reason.

#include "SynonymStore.h"
#include "Thesaurus.h"
#include "ThesaurusCatalog.h"
#include "ThesaurusLabels.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <hunspell.hxx>
#include <iconv.h>
#include <map>
#include <memory>
#include <mythes.hxx>
#include <random>
#include <set>
#include <sqlite3.h>

namespace {

// Text in a dictionary's or thesaurus's byte encoding, both ways, through iconv.
class Encoding {
  public:
    explicit Encoding(const QByteArray& name) : utf8_(name.toUpper().replace('-', "") == "UTF8") {
        if (!utf8_) {
            toUtf8_ = iconv_open("UTF-8", name.constData());
            fromUtf8_ = iconv_open(name.constData(), "UTF-8");
        }
    }
    ~Encoding() {
        if (!utf8_) {
            iconv_close(toUtf8_);
            iconv_close(fromUtf8_);
        }
    }
    Encoding(const Encoding&) = delete;
    Encoding& operator=(const Encoding&) = delete;

    QString decode(const QByteArray& bytes) const {
        return QString::fromUtf8(utf8_ ? bytes : convert(toUtf8_, bytes));
    }
    // Empty when the encoding cannot write the text.
    std::string encode(const QString& text) const {
        const QByteArray utf8 = text.toUtf8();
        return (utf8_ ? utf8 : convert(fromUtf8_, utf8)).toStdString();
    }

  private:
    static QByteArray convert(iconv_t cd, const QByteArray& in) {
        if (cd == iconv_t(-1))
            return QByteArray();
        QByteArray out(in.size() * 4 + 4, '\0');
        char* inPtr = const_cast<char*>(in.constData());
        size_t inLeft = size_t(in.size());
        char* outPtr = out.data();
        size_t outLeft = size_t(out.size());
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1))
            return QByteArray();
        out.truncate(out.size() - qsizetype(outLeft));
        return out;
    }
    bool utf8_;
    iconv_t toUtf8_ = iconv_t(-1);
    iconv_t fromUtf8_ = iconv_t(-1);
};

using Relations = std::map<QString, std::set<QString>>; // term -> its relations

bool IsSynonymKind(const QString& relation) {
    return relation == u"synonym" || relation == u"similar term" || relation == u"related term";
}

QSet<QString> TermsOf(const Relations& relations, bool (*kind)(const QString&)) {
    QSet<QString> terms;
    for (const auto& [term, kinds] : relations) {
        if (std::any_of(kinds.begin(), kinds.end(), kind))
            terms.insert(term);
    }
    return terms;
}

// What a word is answered with, from the relations of all its entries: the synonym kinds, or
// where there are none, the broader and narrower terms, as LibreOffice lists them too.
QSet<QString> Answer(const Relations& relations) {
    const QSet<QString> synonyms = TermsOf(relations, IsSynonymKind);
    return !synonyms.isEmpty() ? synonyms : TermsOf(relations, [](const QString& relation) {
        return relation == u"generic term" || relation == u"narrower term";
    });
}

// A MyThes meaning read by the label rules of docs/languages.md.
class Reader {
  public:
    explicit Reader(const QString& language) : labels_(ThesaurusLabels::builtIn(language)) {}

    // The relation a meaning's first field gives its terms.
    QString meaningRelation(QString field) const {
        field = field.trimmed();
        if (field.startsWith(u'(') || field.startsWith(u'[')) {
            const qsizetype close = field.indexOf(field.front() == u'(' ? u')' : u']');
            field = close < 0 ? field.sliced(1) : field.sliced(1, close - 1);
        }
        const LabelReading reading = labels_.read(field.trimmed());
        return reading.anyKnown && !reading.relation.isEmpty() ? reading.relation
                                                               : QStringLiteral("synonym");
    }

    // The term without the brackets whose every part the table knows; relation is replaced by
    // a relation label's.
    QString term(QString text, QString& relation) const {
        text = text.trimmed();
        bool changed = true;
        while (changed) {
            changed = false;
            for (qsizetype open = text.indexOf(u'('); open >= 0 && !changed;
                 open = text.indexOf(u'(', open + 1)) {
                const qsizetype close = text.indexOf(u')', open);
                if (close < 0)
                    break;
                const bool apart = (open == 0 || text[open - 1].isSpace()) &&
                                   (close + 1 == text.size() || text[close + 1].isSpace());
                const QString before = text.first(open).trimmed();
                const QString after = text.sliced(close + 1).trimmed();
                if (!apart || (before.isEmpty() && after.isEmpty()))
                    continue;
                const LabelReading reading =
                    labels_.read(text.sliced(open + 1, close - open - 1).trimmed());
                const bool inside = !before.isEmpty() && !after.isEmpty();
                if (!reading.anyKnown || !reading.rest.isEmpty() ||
                    (inside && (!reading.relation.isEmpty() || !reading.partsOfSpeech.isEmpty())))
                    continue;
                if (!reading.relation.isEmpty())
                    relation = reading.relation;
                text = inside ? before + u' ' + after : before + after;
                changed = true;
            }
        }
        return text;
    }

  private:
    const ThesaurusLabels& labels_;
};

struct Thesaurus {
    std::unique_ptr<MyThes> mythes;
    std::unique_ptr<Encoding> encoding;
    QHash<QString, QStringList> spellings; // headword key -> spellings in the index
    QSet<QString> repeated;                // spellings the index lists more than once
    bool keepsCase = false;                // some headword is written with capitals
    std::unique_ptr<Reader> reader;

    Thesaurus(const QString& dat, const QString& language) {
        QString idx = dat;
        idx.replace(QStringLiteral(".dat"), QStringLiteral(".idx"));
        mythes = std::make_unique<MyThes>(QFile::encodeName(idx).constData(),
                                          QFile::encodeName(dat).constData());
        encoding = std::make_unique<Encoding>(QByteArray(mythes->get_th_encoding()));
        reader = std::make_unique<Reader>(language);
        QFile file(idx);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (qsizetype i = 2; i < lines.size(); ++i) {
            const qsizetype bar = lines[i].lastIndexOf('|');
            if (bar <= 0)
                continue;
            const QString word = encoding->decode(lines[i].first(bar));
            QStringList& known = spellings[WordKey(word)];
            keepsCase = keepsCase || word != word.toLower();
            if (known.contains(word))
                repeated.insert(WordKey(word));
            else
                known << word;
        }
    }

    // Every term of every meaning MyThes gives the key's spellings, with its relations.
    Relations relations(const QString& key) const {
        Relations result;
        for (const QString& spelling : spellings.value(key))
            lookUp(spelling, result);
        return result;
    }

    // What MyThes gives one spelling, as written.
    void lookUp(const QString& spelling, Relations& result) const {
        const std::string bytes = encoding->encode(spelling);
        mentry* meanings = nullptr;
        const int count = mythes->Lookup(bytes.c_str(), int(bytes.size()), &meanings);
        for (int m = 0; m < count; ++m) {
            // defn is the meaning's first field, a space and its first term.
            const QString defn = encoding->decode(meanings[m].defn);
            const QString first =
                meanings[m].count > 0 ? encoding->decode(meanings[m].psyns[0]) : QString();
            const QString field =
                defn.first(std::max<qsizetype>(0, defn.size() - first.size() - 1));
            const QString meaningRelation = reader->meaningRelation(field);
            for (int t = 0; t < meanings[m].count; ++t) {
                // MyThes keeps the rest of the line as one term after an empty one
                // ("(pos)||a|b"); the bars still part its terms.
                const QString field = encoding->decode(meanings[m].psyns[t]);
                for (const QString& part : field.split(u'|')) {
                    QString relation = meaningRelation;
                    const QString text = reader->term(part, relation);
                    if (!text.isEmpty() && text.compare(spelling, Qt::CaseInsensitive) != 0)
                        result[text].insert(relation);
                }
            }
        }
        mythes->CleanUpAfterLookup(&meanings, count);
    }
};

class Database {
  public:
    explicit Database(const QString& path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READONLY, nullptr);
        store_.open(path);
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QList<QStringList> rows(const char* sql, const QString& word = QString()) const {
        QList<QStringList> result;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK)
            return result;
        const QByteArray bytes = word.toUtf8();
        if (!word.isNull())
            sqlite3_bind_text(statement, 1, bytes.constData(), int(bytes.size()), SQLITE_STATIC);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                row << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, c)));
            result << row;
        }
        sqlite3_finalize(statement);
        return result;
    }

    Relations relations(const QString& key) const {
        Relations result;
        for (const QStringList& row :
             rows("SELECT synonym, relation FROM qryRelations WHERE word = ?", key))
            result[row[0]].insert(row[1]);
        return result;
    }
    // As the program answers: qrySynonyms, or for a word without rows of its own the forms
    // that a prefix kept as marks makes.
    QSet<QString> synonyms(const QString& key) const {
        QSet<QString> result;
        for (const QStringList& row : rows("SELECT synonym FROM qrySynonyms WHERE word = ?", key))
            result.insert(row[0]);
        if (result.isEmpty()) {
            for (const SynonymStore::Record& record : store_.prefixedRecords(
                     key.toUtf8(), SynonymStore::View::SynonymsAlone))
                result.insert(QString::fromUtf8(record.synonym));
        }
        return result;
    }
    // The headwords a word is filed under, by its own rows, else by the rule for
    // prefixes kept as marks: a text of table prefix before a row's key, one of its bits set.
    QSet<QString> roots(const QString& key) const {
        QSet<QString> result;
        for (const QStringList& row :
             rows("SELECT h.word FROM form f JOIN headword h ON h.id = f.headword_id "
                  "WHERE f.key = ?",
                  key))
            result.insert(WordKey(row[0]));
        if (!result.isEmpty())
            return result;
        for (const QStringList& lead : rows("SELECT text, bits FROM prefix")) {
            if (!key.startsWith(lead[0]) || key.size() == lead[0].size())
                continue;
            const QString sql = QStringLiteral("SELECT h.word FROM form f JOIN headword h ON "
                                               "h.id = f.headword_id WHERE f.key = ? AND "
                                               "f.prefixes & %1")
                                    .arg(lead[1]);
            for (const QStringList& row : rows(sql.toUtf8().constData(), key.mid(lead[0].size())))
                result.insert(WordKey(row[0]));
        }
        return result;
    }

  private:
    sqlite3* db_ = nullptr;
    mutable SynonymStore store_;
};

// The form key spelt in the headword's letter case: small, capitals, or each letter as the
// headword has it ("häuser" for "Haus": "Häuser"; "mcdonalds" for "McDonald": "McDonalds").
QString SpeltLike(const QString& key, const QString& headword) {
    if (headword == headword.toUpper() && headword != headword.toLower())
        return key.toUpper();
    QString word = key;
    for (qsizetype i = 0; i < std::min(word.size(), headword.size()); ++i) {
        if (headword[i].isUpper())
            word[i] = word[i].toUpper();
    }
    return word;
}

class Dictionary {
  public:
    Dictionary(const QString& dic, const QString& language)
        : reversing_(ReversingPrefixes(language)) {
        QString aff = dic;
        aff.replace(QStringLiteral(".dic"), QStringLiteral(".aff"));
        hunspell_ = std::make_unique<Hunspell>(QFile::encodeName(aff).constData(),
                                               QFile::encodeName(dic).constData());
        encoding_ =
            std::make_unique<Encoding>(QByteArray::fromStdString(hunspell_->get_dict_encoding()));
    }

    // The keys of the stems Hunspell gives the word as written, leaving out compounds (an
    // analysis of several stems).
    QSet<QString> stems(const QString& word) {
        QSet<QString> result;
        const std::string bytes = encoding_->encode(word);
        if (bytes.empty() || !hunspell_->spell(bytes))
            return result;
        std::vector<std::string> simple;
        for (const std::string& analysis : hunspell_->analyze(bytes)) {
            const QByteArray text = QByteArray::fromStdString(analysis);
            if (text.count("st:") == 1 && !text.contains("pa:"))
                simple.push_back(analysis);
        }
        for (const std::string& stem : hunspell_->stem(simple))
            result.insert(WordKey(encoding_->decode(QByteArray::fromStdString(stem))));
        return result;
    }

    // Every stem Hunspell gives the word as written, compounds too, as a spelling front end
    // asks for them.
    QStringList allStems(const QString& word) {
        QStringList result;
        const std::string bytes = encoding_->encode(word);
        if (!bytes.empty())
            for (const std::string& stem : hunspell_->stem(bytes))
                result << encoding_->decode(QByteArray::fromStdString(stem));
        return result;
    }

    // The headwords a form key is filed under by the rule of docs/languages.md. A thesaurus
    // in small letters only says nothing of case: the form as written in small letters or
    // capitalised counts. One that keeps case: the form spelt as the headword is.
    QSet<QString> roots(const QString& key, const QHash<QString, QStringList>& spellings,
                        bool keepsCase) {
        QSet<QString> result;
        const QString capitalised = key.first(std::min<qsizetype>(1, key.size())).toUpper() +
                                    key.sliced(std::min<qsizetype>(1, key.size()));
        QHash<QString, QSet<QString>> stemsOf;
        for (const QString& variant : {key, capitalised, key.toUpper()}) {
            if (!keepsCase && variant != key && variant != capitalised)
                continue;
            for (const QString& stem : stems(variant)) {
                if (stem == key || result.contains(stem) || !spellings.contains(stem) ||
                    reversed(key, stem))
                    continue;
                if (!keepsCase) {
                    result.insert(stem);
                    continue;
                }
                for (const QString& headword : spellings.value(stem)) {
                    const QString spelt = SpeltLike(key, headword);
                    if (!stemsOf.contains(spelt))
                        stemsOf.insert(spelt, stems(spelt));
                    if (stemsOf[spelt].contains(stem))
                        result.insert(stem);
                }
            }
        }
        return result;
    }

    // Whether Hunspell took off a prefix that reverses the meaning to reach stem ("dis" of
    // "dissatisfies" for "satisfy"): the word starts with it and the stem does not.
    bool reversed(const QString& key, const QString& stem) const {
        return std::any_of(reversing_.begin(), reversing_.end(), [&](const QString& prefix) {
            return key.startsWith(prefix) && !stem.startsWith(prefix);
        });
    }

  private:
    std::unique_ptr<Hunspell> hunspell_;
    std::unique_ptr<Encoding> encoding_;
    QStringList reversing_;
};

// WordNet's morphology, as its `wn` applies it (morphy(7WN)): a word of an exception list is
// the form of the bases listed there; any other word, of the base the first detachment rule of
// the part of speech gives that WordNet's index holds. Nouns of two letters, or ending in
// "ss", are not detached. Empty without wordnet-base.
class WordNet {
  public:
    WordNet() {
        QString folder = qEnvironmentVariable("WNSEARCHDIR");
        if (folder.isEmpty())
            folder = QStringLiteral("/usr/share/wordnet");
        const auto lines = [&](const QString& name) {
            QFile file(folder + u'/' + name);
            return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList();
        };
        // Each part of speech with its detachment rules, ending:replacement.
        for (const char* rules : {"noun s: ses:s xes:x zes:z ches:ch shes:sh men:man ies:y",
                                  "verb s: ies:y es:e es: ed:e ed: ing:e ing:",
                                  "adj er: est: er:e est:e", "adv"}) {
            const QStringList fields = QString::fromLatin1(rules).split(u' ');
            Part& part = parts_[fields[0]];
            for (const QString& rule : fields.mid(1))
                part.rules.emplace_back(rule.section(u':', 0, 0), rule.section(u':', 1));
            for (const QByteArray& line : lines(QStringLiteral("index.") + fields[0])) {
                if (!line.startsWith(' '))
                    part.lemmas.insert(QString::fromUtf8(line.left(line.indexOf(' '))));
            }
            for (const QByteArray& line : lines(fields[0] + QStringLiteral(".exc"))) {
                const QList<QByteArray> words = line.split(' ');
                for (const QByteArray& base : words.mid(1))
                    part.exceptions[QString::fromUtf8(words[0])] << QString::fromUtf8(base);
            }
        }
    }

    // The keys of the bases, WordNet's words joined by _ as in its files; listed: only those
    // of the exception lists.
    QSet<QString> bases(const QString& key, bool listed) const {
        QSet<QString> result;
        QString word = key;
        word.replace(u' ', u'_');
        for (auto part = parts_.cbegin(); part != parts_.cend(); ++part) {
            if (const auto found = part->exceptions.constFind(word);
                found != part->exceptions.constEnd()) {
                for (const QString& base : *found) {
                    if (part->lemmas.contains(base))
                        result.insert(WordKey(QString(base).replace(u'_', u' ')));
                }
                continue;
            }
            if (listed || word.contains(u'_') ||
                (part.key() == u"noun" && (word.size() <= 2 || word.endsWith(u"ss"))))
                continue;
            for (const auto& [ending, replacement] : part->rules) {
                const QString base = word.chopped(std::min(word.size(), ending.size())) + replacement;
                if (word.endsWith(ending) && base != word && part->lemmas.contains(base)) {
                    result.insert(base);
                    break;
                }
            }
        }
        result.remove(key);
        return result;
    }

    bool loaded() const { return !parts_.value(QStringLiteral("noun")).lemmas.isEmpty(); }

    // Whether `wn` finds the word: in an index as it is, or through a base.
    bool knows(const QString& word) const {
        const QString key = word.toLower();
        const QString spelled = QString(key).replace(u' ', u'_');
        for (const Part& part : parts_)
            if (part.lemmas.contains(spelled))
                return true;
        return !bases(key, false).isEmpty();
    }

  private:
    struct Part {
        QSet<QString> lemmas;
        QHash<QString, QStringList> exceptions;
        std::vector<std::pair<QString, QString>> rules;
    };
    QHash<QString, Part> parts_;
};

QString Show(QSet<QString> set) {
    QStringList list(set.begin(), set.end());
    list.sort();
    if (list.size() > 12)
        list = list.mid(0, 12) << QStringLiteral("...");
    return u'{' + list.join(QStringLiteral(", ")) + u'}';
}

struct Tally {
    int headwords = 0, headwordsAgree = 0, forms = 0, formsAgree = 0, relationMistakes = 0;
};

Tally Compare(const InstalledThesaurus& installed, const QString& databasePath, quint32 seed,
              int headwordSample, int formSample, QTextStream& out) {
    Tally tally;
    const Thesaurus thesaurus(installed.thesaurusFile, ThesaurusLanguage(installed.thesaurusFile));
    const Database database(databasePath);
    std::mt19937 random(seed ^ qHash(installed.code));
    int shown = 0;
    const auto report = [&](const QString& what) {
        if (shown++ < 6)
            out << "  " << installed.code << ": " << what << "\n";
    };

    QStringList keys(thesaurus.spellings.keyBegin(), thesaurus.spellings.keyEnd());
    keys.sort();
    std::shuffle(keys.begin(), keys.end(), random);
    keys = keys.mid(0, headwordSample);
    QHash<QString, Relations> expectedOf;
    QSet<QString> tokens;
    // English forms also as WordNet finds them; a headword an exception list names as a form
    // answers for its bases too.
    static const WordNet wordNet;
    const bool english = ThesaurusLanguage(installed.thesaurusFile) == u"en";
    const auto morphology = [&](const QString& key, bool listed = false) {
        QSet<QString> bases = english ? wordNet.bases(key, listed) : QSet<QString>();
        for (auto it = bases.begin(); it != bases.end();)
            it = thesaurus.spellings.contains(*it) ? std::next(it) : bases.erase(it);
        return bases;
    };
    for (const QString& key : std::as_const(keys)) {
        Relations expected = thesaurus.relations(key);
        for (const QString& base : morphology(key, true)) {
            for (const auto& [term, kinds] : thesaurus.relations(base))
                expected[term].insert(kinds.begin(), kinds.end());
        }
        const Relations found = database.relations(key);
        expectedOf.insert(key, expected);
        ++tally.headwords;
        int mistakes = 0;
        for (const auto& [term, kinds] : expected) {
            const auto other = found.find(term);
            if (other != found.end() && other->second != kinds) {
                ++mistakes;
                QStringList a(kinds.begin(), kinds.end()),
                    b(other->second.begin(), other->second.end());
                report(QStringLiteral("\"%1\": \"%2\" is %3 in MyThes, %4 in the database")
                           .arg(key, term, a.join(u'+'), b.join(u'+')));
            }
            // The words of the term, without the punctuation around them.
            for (QString word : term.split(u' ', Qt::SkipEmptyParts)) {
                while (!word.isEmpty() && !word.front().isLetterOrNumber())
                    word.remove(0, 1);
                while (!word.isEmpty() && !word.back().isLetterOrNumber())
                    word.chop(1);
                if (!word.isEmpty())
                    tokens.insert(WordKey(word));
            }
        }
        tally.relationMistakes += mistakes;
        const QSet<QString> wanted = Answer(expected);
        const QSet<QString> got = database.synonyms(key);
        // Where the index lists a spelling twice, MyThes answers one of its entries only.
        const bool agree = thesaurus.repeated.contains(key)
                               ? wanted - got == QSet<QString>() && mistakes == 0
                               : wanted == got && mistakes == 0 && expected.size() == found.size();
        if (agree)
            ++tally.headwordsAgree;
        else if (mistakes == 0)
            report(QStringLiteral("\"%1\": MyThes only %2, database only %3")
                       .arg(key, Show(wanted - got), Show(got - wanted)));
    }

    if (installed.dictionary.isEmpty())
        return tally;
    Dictionary dictionary(installed.dictionary, ThesaurusLanguage(installed.thesaurusFile));
    // Half from the database's forms, half from the synonyms' words that Hunspell traces to a
    // headword.
    QStringList filed;
    for (const QStringList& row : database.rows("SELECT DISTINCT key FROM form")) {
        if (!thesaurus.spellings.contains(row[0]))
            filed << row[0];
    }
    std::shuffle(filed.begin(), filed.end(), random);
    QStringList words(tokens.begin(), tokens.end());
    words.sort();
    std::shuffle(words.begin(), words.end(), random);
    QStringList sample = filed.mid(0, formSample / 2);
    for (const QString& word : std::as_const(words)) {
        if (sample.size() >= formSample)
            break;
        if (!thesaurus.spellings.contains(word) && !sample.contains(word) &&
            !(dictionary.roots(word, thesaurus.spellings, thesaurus.keepsCase) + morphology(word))
                 .isEmpty())
            sample << word;
    }
    for (const QString& word : filed.mid(formSample / 2)) {
        if (sample.size() >= formSample)
            break;
        sample << word;
    }
    for (const QString& key : std::as_const(sample)) {
        ++tally.forms;
        QSet<QString> wanted =
            dictionary.roots(key, thesaurus.spellings, thesaurus.keepsCase) + morphology(key);
        // An elision before a headword (Italian "dall'" before "avvio") leads to it too.
        for (const QStringList& lead : database.rows("SELECT text FROM prefix")) {
            const QString rest = key.sliced(std::min(key.size(), lead[0].size()));
            if (!wanted.isEmpty() && key.startsWith(lead[0]) && thesaurus.spellings.contains(rest))
                wanted.insert(rest);
        }
        const QSet<QString> got = database.roots(key);
        Relations all;
        for (const QString& root : wanted) {
            if (!expectedOf.contains(root))
                expectedOf.insert(root, thesaurus.relations(root));
            for (const auto& [term, kinds] : expectedOf[root])
                all[term].insert(kinds.begin(), kinds.end());
        }
        const QSet<QString> synonyms = Answer(all);
        if (wanted != got)
            report(QStringLiteral("form \"%1\": Hunspell's roots %2, the database's %3")
                       .arg(key, Show(wanted), Show(got)));
        else if (const QSet<QString> found = database.synonyms(key); synonyms != found)
            report(QStringLiteral("form \"%1\": MyThes only %2, database only %3")
                       .arg(key, Show(synonyms - found), Show(found - synonyms)));
        else
            ++tally.formsAgree;
    }
    return tally;
}

QString Percent(int part, int whole) {
    return whole == 0 ? QStringLiteral("-") : QString::number(100.0 * part / whole, 'f', 1);
}

// The distinct words of the UTF-8 texts the patterns name ("/usr/share/x/*.txt"): letters,
// with an apostrophe (' or ’) between letters kept as part of the word.
QStringList WordsOfTexts(const QStringList& patterns) {
    QSet<QString> words;
    for (const QString& pattern : patterns) {
        const QFileInfo where(pattern);
        for (const QFileInfo& info :
             QDir(where.path())
                 .entryInfoList({where.fileName()}, QDir::Files | QDir::Readable, QDir::Name)) {
            QFile file(info.filePath());
            if (info.suffix() == u"dat" || !file.open(QIODevice::ReadOnly))
                continue;
            QStringDecoder decoder(QStringDecoder::Utf8);
            const QString text = decoder(file.readAll());
            if (decoder.hasError())
                continue;
            QString word;
            for (qsizetype i = 0; i <= text.size(); ++i) {
                const QChar c = i < text.size() ? text[i] : QChar(u' ');
                const bool apostrophe = (c == u'\'' || c == u'\u2019') && !word.isEmpty() &&
                                        i + 1 < text.size() && text[i + 1].isLetter();
                if (c.isLetter() || c.isMark() || apostrophe) {
                    word += c;
                } else if (!word.isEmpty()) {
                    words.insert(std::exchange(word, QString()));
                }
            }
        }
    }
    QStringList list(words.begin(), words.end());
    list.sort();
    return list;
}

// Whether the LibreOffice way answers a word: the word, its lower case, then each stem
// Hunspell gives, looked up in MyThes until one reaches an entry with a term other than itself.
bool PeerAnswers(const Thesaurus& thesaurus, Dictionary* dictionary, const QString& word) {
    QStringList tried{word, word.toLower()};
    // A stem reached through a prefix that reverses the meaning answers with opposites:
    // such words are left to an entry of their own.
    if (dictionary)
        for (const QString& stem : dictionary->allStems(word))
            if (!dictionary->reversed(word.toLower(), stem.toLower()))
                tried << stem;
    for (const QString& candidate : std::as_const(tried)) {
        Relations terms;
        thesaurus.lookUp(candidate, terms);
        if (!terms.empty())
            return true;
    }
    return false;
}

// The words the program answers with at least one row: `lexigrove --lookup --format jsonl`,
// on the database beside it or with --language.
QSet<QString> FoundByProgram(const QString& program, const QString& language,
                             const QStringList& words, const QString& folder) {
    QFile list(folder + QStringLiteral("/words.txt"));
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    list.write(words.join(u'\n').toUtf8() + '\n');
    list.close();
    QStringList arguments{"--lookup", "--format", "jsonl", list.fileName()};
    if (language != u"-")
        arguments << "--language" << language;
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(program, arguments);
    run.waitForFinished(-1);
    QSet<QString> found;
    for (const QByteArray& line : run.readAllStandardOutput().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (!record.value("synonym").isNull() && !record.isEmpty())
            found.insert(record.value("word").toString());
    }
    return found;
}

// Real prose that Debian packages ship, per language (the rows of the file given with
// --corpus): its distinct words looked up by the program and by the LibreOffice way, and for
// English by WordNet's morphology too. Fails when, in a language, the program finds fewer
// than 99 % of the words the LibreOffice way answers, or in English fewer words than WordNet
// knows.
int CompareCorpus(const QString& table, const QString& program, qsizetype perLanguage,
                  quint32 seed) {
    QTextStream out(stdout);
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << table << "\n";
        return 2;
    }
    const QList<InstalledThesaurus> installed = FindThesauri(CatalogPlaces::standard());
    QTemporaryDir folder;
    QStringList rows{
        QStringLiteral("| language | words | the LibreOffice way answers | found by "
                       "Lexigrove | share % | Lexigrove finds in all | WordNet knows |")};
    bool pass = true;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // language, the thesaurus's locale, --language ("-": the database beside the program),
        // the texts
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        if (line.startsWith('#') || fields.size() < 4)
            continue;
        const InstalledThesaurus* peer = MatchLanguage(installed, fields[1]);
        QStringList words = WordsOfTexts(fields[3].split(u' ', Qt::SkipEmptyParts));
        if (!peer || words.isEmpty()) {
            out << "  " << fields[0] << ": no thesaurus or no text installed\n";
            pass = false;
            continue;
        }
        std::mt19937 random(seed ^ qHash(fields[0]));
        std::shuffle(words.begin(), words.end(), random);
        words = words.mid(0, perLanguage);
        const Thesaurus thesaurus(peer->thesaurusFile, ThesaurusLanguage(peer->thesaurusFile));
        std::unique_ptr<Dictionary> dictionary;
        if (!peer->dictionary.isEmpty())
            dictionary = std::make_unique<Dictionary>(peer->dictionary, ThesaurusLanguage(peer->thesaurusFile));
        const QSet<QString> found = FoundByProgram(program, fields[2], words, folder.path());
        int answered = 0, agreed = 0, known = -1;
        QStringList missed;
        for (const QString& word : std::as_const(words)) {
            if (!PeerAnswers(thesaurus, dictionary.get(), word))
                continue;
            ++answered;
            if (found.contains(word))
                ++agreed;
            else
                missed << word;
        }
        if (fields[0] == u"en") {
            const WordNet wordNet;
            known =
                wordNet.loaded()
                    ? int(std::count_if(words.begin(), words.end(),
                                        [&](const QString& word) { return wordNet.knows(word); }))
                    : -1;
            pass = pass && known >= 0 && found.size() >= known;
        }
        pass = pass && answered > 0 && agreed * 100 >= answered * 99;
        out << "  " << fields[0] << ": the LibreOffice way only: " << missed.mid(0, 20).join(", ")
            << "\n";
        rows << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |")
                    .arg(fields[0])
                    .arg(words.size())
                    .arg(answered)
                    .arg(agreed)
                    .arg(Percent(agreed, answered))
                    .arg(found.size())
                    .arg(known < 0 ? QStringLiteral("-") : QString::number(known));
        out.flush();
    }
    out << rows.join(u'\n') << "\n" << (pass ? "PASS" : "FAIL") << "\n";
    return pass ? 0 : 1;
}

} // namespace

// The synonyms put in a word's form (--inflections): per language of the judged list, a
// seeded sample of forms the database knows the slot of, each with its single-word synonyms:
// the share given a form; and the judged pairs, the share of forms given that are right and
// of right forms found. Fails below the list's targets, 95 % precision or 80 % of right forms
// found, unless a "short" row of the list accepts less, with its reason.
int MeasureInflections(const QString& judgedPath, int sample, quint32 seed,
                       const QStringList& only) {
    QFile file(judgedPath);
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    struct Judged {
        QByteArray word, synonym, pos, form;
    };
    QMap<QString, std::vector<Judged>> judged;
    QHash<QString, double> target, shortOf;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (line.startsWith('#') || f.size() < 3)
            continue;
        if (f[0] == "target")
            target.insert(QString::fromUtf8(f[1]), f[2].toDouble());
        else if (f[0] == "short" && f.size() >= 5)
            shortOf.insert(QString::fromUtf8(f[1] + ' ' + f[2]), f[3].toDouble());
        else if (f.size() >= 5)
            judged[QString::fromUtf8(f[0])].push_back({f[1], f[2], f[3], f[4] == "none" ? QByteArray() : f[4]});
    }
    QTextStream out(stdout);
    QTemporaryDir folder;
    bool pass = true;
    for (const InstalledThesaurus& installed : FindThesauri(CatalogPlaces::standard())) {
        if (installed.imported() || !target.contains(installed.code) ||
            (!only.isEmpty() && !only.contains(installed.code)))
            continue;
        const QString path = folder.filePath(installed.code + QStringLiteral(".mdb"));
        ImportThesaurus(installed.thesaurusFile, path, FormSources{installed.dictionary, {}});
        SynonymStore store;
        store.open(path);
        std::vector<QByteArray> forms;
        SynonymStore::Rows rows;
        store.run(rows, "select key from form where how in (select id from how where slot <> '') "
                        "group by key order by key");
        for (; !rows.atEnd(); rows.next())
            forms.push_back(rows.text(0).toByteArray());
        std::shuffle(forms.begin(), forms.end(), std::mt19937(seed));
        forms.resize(std::min(forms.size(), size_t(sample)));
        int pairs = 0, given = 0, shown = 0;
        std::vector<qint64> micros;
        QElapsedTimer timer;
        for (const QByteArray& word : forms) {
            std::vector<std::pair<QByteArray, QByteArray>> synonyms;
            for (store.lookUp(rows, word, SynonymStore::View::Synonyms); !rows.atEnd(); rows.next())
                synonyms.emplace_back(rows.text(0).toByteArray(), rows.text(1).toByteArray());
            for (const auto& [synonym, pos] : synonyms) {
                if (synonym.contains(' '))
                    continue;
                ++pairs;
                timer.start();
                const QByteArray form = store.inflected(word, synonym, pos);
                micros.push_back(timer.nsecsElapsed() / 1000);
                // Every seventh form given, for judging by hand.
                if (!form.isEmpty() && given++ % 7 == 0 && shown++ < 60)
                    out << "  " << installed.code << "\t" << word << "\t" << synonym << "\t" << pos
                        << "\t" << form << "\n";
            }
        }
        int answered = 0, right = 0, formsDue = 0, found = 0;
        for (const Judged& pair : judged.value(installed.code)) {
            const QByteArray form = store.inflected(pair.word, pair.synonym, pair.pos);
            answered += !form.isEmpty();
            right += !form.isEmpty() && form == pair.form;
            formsDue += !pair.form.isEmpty();
            found += !pair.form.isEmpty() && form == pair.form;
            if (form != pair.form)
                out << "  " << installed.code << " judged " << pair.word << " " << pair.synonym
                    << ": " << (form.isEmpty() ? "none" : form) << ", not "
                    << (pair.form.isEmpty() ? "none" : pair.form) << "\n";
        }
        std::sort(micros.begin(), micros.end());
        const double coverage = pairs ? 100.0 * given / pairs : 0;
        out << "| " << installed.code << " | " << forms.size() << " forms | " << pairs
            << " pairs | " << Percent(given, pairs) << " % given | judged " << answered
            << " given, " << right << " right (" << Percent(right, answered) << " %) | found "
            << found << " of " << formsDue << " | median "
            << (micros.empty() ? 0 : micros[micros.size() / 2]) << " us |\n";
        out.flush();
        const auto floor = [&](const char* figure, double wanted) {
            return shortOf.value(installed.code + u' ' + QLatin1StringView(figure), wanted);
        };
        pass = pass && coverage >= floor("coverage", target.value(installed.code)) &&
               right * 100 >= answered * floor("precision", 95) &&
               found * 100 >= formsDue * floor("found", 80);
    }
    out << (pass ? "PASS" : "FAIL") << "\n";
    return pass ? 0 : 1;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    quint32 seed = 25;
    int headwordSample = 500;
    int formSample = 200;
    QStringList only;
    QHash<QString, double> lowestForms; // per language, from --shortfalls
    QString corpus, program, inflections;
    int corpusWords = 5000;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == u"--seed")
            seed = arguments[i + 1].toUInt();
        else if (arguments[i] == u"--headwords")
            headwordSample = arguments[i + 1].toInt();
        else if (arguments[i] == u"--forms")
            formSample = arguments[i + 1].toInt();
        else if (arguments[i] == u"--corpus")
            corpus = arguments[i + 1];
        else if (arguments[i] == u"--inflections")
            inflections = arguments[i + 1];
        else if (arguments[i] == u"--program")
            program = arguments[i + 1];
        else if (arguments[i] == u"--words")
            corpusWords = arguments[i + 1].toInt();
        else if (arguments[i] == u"--languages")
            only = arguments[i + 1].split(u',');
        else if (arguments[i] == u"--shortfalls") {
            QFile file(arguments[i + 1]);
            if (!file.open(QIODevice::ReadOnly)) {
                QTextStream(stderr) << "cannot read " << arguments[i + 1] << "\n";
                return 2;
            }
            for (const QByteArray& line : file.readAll().split('\n')) {
                const QList<QByteArray> fields = line.split('\t');
                if (!line.startsWith('#') && fields.size() == 3)
                    lowestForms.insert(QString::fromUtf8(fields[0]), fields[1].toDouble());
            }
        }
    }
    if (!corpus.isEmpty())
        return CompareCorpus(corpus, program, corpusWords, seed);
    if (!inflections.isEmpty())
        return MeasureInflections(inflections, formSample, seed, only);
    QTextStream out(stdout);
    QTemporaryDir folder;
    out << "seed " << seed << "; per language " << headwordSample << " headwords, " << formSample
        << " forms\n";
    QStringList table{QStringLiteral(
        "| language | headwords | agree % | forms | agree % | relation mistakes | build s | MB |")};
    Tally all;
    bool pass = true;
    for (const InstalledThesaurus& installed : FindThesauri(CatalogPlaces::standard())) {
        if (installed.imported() || (!only.isEmpty() && !only.contains(installed.code)))
            continue;
        const QString path = folder.filePath(installed.code + QStringLiteral(".mdb"));
        QElapsedTimer timer;
        timer.start();
        InstalledThesaurus used = installed;
        try {
            ImportThesaurus(installed.thesaurusFile, path, FormSources{installed.dictionary, {}});
        } catch (const ThesaurusError& error) {
            // A dictionary with more forms than the importer keeps: the headwords alone.
            out << "  " << installed.code << ": " << error.what() << "\n";
            used.dictionary.clear();
            ImportThesaurus(installed.thesaurusFile, path);
        }
        const double seconds = timer.elapsed() / 1000.0;
        const Tally tally = Compare(used, path, seed, headwordSample, formSample, out);
        table << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 |")
                     .arg(installed.code)
                     .arg(tally.headwords)
                     .arg(Percent(tally.headwordsAgree, tally.headwords))
                     .arg(tally.forms)
                     .arg(Percent(tally.formsAgree, tally.forms))
                     .arg(tally.relationMistakes)
                     .arg(seconds, 0, 'f', 1)
                     .arg(QFileInfo(path).size() / 1e6, 0, 'f', 1);
        QFile::remove(path);
        out.flush();
        const double lowest = lowestForms.value(installed.code, 99.0);
        if (lowestForms.contains(installed.code))
            out << "  " << installed.code << ": a known shortfall, forms may agree down to "
                << lowest << " %\n";
        pass = pass && tally.headwordsAgree * 1000 >= tally.headwords * 995 &&
               tally.formsAgree * 100.0 >= tally.forms * lowest && tally.relationMistakes == 0;
        all.headwords += tally.headwords;
        all.headwordsAgree += tally.headwordsAgree;
        all.forms += tally.forms;
        all.formsAgree += tally.formsAgree;
        all.relationMistakes += tally.relationMistakes;
    }
    table << QStringLiteral("| all | %1 | %2 | %3 | %4 | %5 | | |")
                 .arg(all.headwords)
                 .arg(Percent(all.headwordsAgree, all.headwords))
                 .arg(all.forms)
                 .arg(Percent(all.formsAgree, all.forms))
                 .arg(all.relationMistakes);
    out << table.join(u'\n') << "\n";
    pass = pass && all.headwords > 0;
    out << (pass ? "PASS" : "FAIL") << "\n";
    return pass ? 0 : 1;
}
