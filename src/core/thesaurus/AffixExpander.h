// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Thesaurus.h"

#include <QString>
#include <functional>
#include <memory>

// The words a Hunspell dictionary builds from its .dic stems and the affix rules of its .aff:
// what Hunspell's unmunch lists, read the way Hunspell reads the files (SET, FLAG, AF aliases,
// conditions, strip and append, continuation classes for a second suffix, cross products of a
// prefix and suffixes, NEEDAFFIX, ONLYINCOMPOUND, CIRCUMFIX, FORBIDDENWORD, FULLSTRIP): every
// word Hunspell's spell accepts and stems to that stem, compounds left out.
class AffixExpander {
  public:
    // Reads the .aff beside dicPath (same base name). Throws ThesaurusError naming the file and
    // line that cannot be read. progress is called now and then (with 0 done) while it reads.
    // A prefix that puts one of reversing (folded texts) before the word builds nothing: its
    // words are no forms of the word it is put on.
    explicit AffixExpander(const QString& dicPath, const StepProgress& progress = {},
                           const QStringList& reversing = {});
    ~AffixExpander();
    AffixExpander(const AffixExpander&) = delete;
    AffixExpander& operator=(const AffixExpander&) = delete;

    // How a form is built, so that a kind of form can be given up: kOneSuffix, kTwoSuffixes
    // (without a prefix), or kFirstPrefix + n for the forms of the nth prefix flag of the .aff
    // (alone or with suffixes). groups() is one more than the last.
    static constexpr int kOneSuffix = 0;
    static constexpr int kTwoSuffixes = 1;
    static constexpr int kFirstPrefix = 2;
    int groups() const;

    // Goes through the .dic in file order. For each stem that wantStem accepts, calls
    // form(text, stem, group, lead) for every word its affixes build (the stem itself is not
    // one of them; the same text may come more than once); lead is the prefix's lead, or -1.
    // For a group marked instead, calls mark(lead, base, stem) for each word (the stem or one
    // of its suffixed forms) a prefix with a lead is put on. progress gets the bytes of the
    // .dic read so far.
    using StemFilter = std::function<bool(const QString& stem)>;
    using FormSink =
        std::function<void(const QString& form, const QString& stem, int group, int lead)>;
    using MarkSink = std::function<void(int lead, const QString& base, const QString& stem)>;
    // Before wantStem, own(stem, root, flagged) is called for every stem of the .dic, with or
    // without flags (flagged): root is the stem its line names in a morphological field
    // (French "yeux st:œil"), or empty.
    using OwnStemSink = std::function<void(const QString& stem, const QString& root, bool flagged)>;
    void expand(const StemFilter& wantStem, const FormSink& form, const MarkSink& mark = {},
                const StepProgress& progress = {}, const OwnStemSink& own = {});
    // The words wanted that a single suffix of the .aff, of any flag, would have built word
    // from: the suffix's text taken off, what it stripped put back, its condition met. Only
    // suffixes that add text are run backwards; a stem of fewer than three letters is no word's.
    QStringList suffixBases(const QString& word,
                            const std::function<bool(const QString&)>& wanted) const;
    // From now on, even during expand, builds no form of the group.
    void drop(int group);
    // Bounds expand's work and memory, which the forms kept do not bound: a prefix flag or a
    // second suffix on thousands of others multiplies the affixes tried. Once work affixes
    // have been tried on words in all, or stemWork on one stem's words, or a stem holds more
    // than held forms of two suffixes at once, the group that has tried the most (in all, or
    // on that stem) is given up as drop() does (the second suffixes then with prefixes too),
    // and givenUp(group) is called; past a bound with only the forms of one suffix left,
    // expand throws ThesaurusError naming the .aff.
    void bound(qint64 work, qint64 stemWork, size_t held,
               const std::function<void(int group)>& givenUp);
    // How a form of one suffix was built: the suffix's flag as the .aff writes it, what it
    // strips and appends, its condition, and its morphological fields (French "is:pl"), which
    // the form's slot among a word's forms comes from where the .aff gives them.
    struct Rule {
        QString flag, strip, append, condition, fields;
    };
    // Within form(), the rule of the form just given when one suffix alone built it, else -1.
    int builtBy() const;
    const Rule& rule(int id) const;
    // Within form(), whether the stem's line carries the flag (written as Rule::flag).
    bool stemCarries(const QString& flag) const;

    // "second suffixes" or "prefix flag X", for messages.
    QString groupName(int group) const;
    // From now on, even during expand, marks the words a prefix of the group is put on
    // instead of building its forms; the forms of its prefixes without a lead are given up.
    void markInstead(int group);

    // A prefix's lead: the folded text it puts before the folded word it is put on, so that a
    // form's key is its lead followed by that word's key (Italian "dell'" and "l'", from
    // "l'A" on a word whose "a" it strips, too). Numbered per group; a prefix that changes the
    // word's own letters beyond letter case (un-, re- do not; a stripped "e" made "i" does)
    // has none.
    int leads() const;
    const QString& leadText(int lead) const;

  private:
    struct Rules;
    std::unique_ptr<Rules> rules_;
    QString dicPath_;
};
