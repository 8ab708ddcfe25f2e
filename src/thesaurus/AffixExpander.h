#pragma once

#include "Thesaurus.h"

#include <QString>
#include <functional>
#include <memory>

// The words a Hunspell dictionary builds from its .dic stems and the suffix rules of its .aff:
// what Hunspell's unmunch lists, read the way Hunspell reads the files (SET, FLAG, AF aliases,
// conditions, strip and append, continuation classes for a second suffix, NEEDAFFIX,
// ONLYINCOMPOUND, CIRCUMFIX, FORBIDDENWORD, FULLSTRIP).
//
// Prefixes are never applied: in Debian's dictionaries they make other words (English un-, re-,
// dis-; Spanish anti-, auto-, con-; Czech ne-; Italian ri-), not forms of the same one, and a
// form must keep its root's synonyms. Forms that exist only inside compounds are left out too.
class AffixExpander {
  public:
    // Reads the .aff beside dicPath (same base name). Throws ThesaurusError naming the file and
    // line that cannot be read. progress is called now and then (with 0 done) while it reads.
    explicit AffixExpander(const QString& dicPath, const StepProgress& progress = {});
    ~AffixExpander();
    AffixExpander(const AffixExpander&) = delete;
    AffixExpander& operator=(const AffixExpander&) = delete;

    // Goes through the .dic in file order. For each stem that wantStem accepts, calls
    // form(text, stem) for every word its suffixes build (the stem itself is not one of them;
    // the same text may come more than once). progress gets the bytes of the .dic read so far.
    // With oneSuffix, a second suffix is never added.
    using StemFilter = std::function<bool(const QString& stem)>;
    using FormSink = std::function<void(const QString& form, const QString& stem)>;
    void expand(const StemFilter& wantStem, const FormSink& form, const StepProgress& progress = {},
                bool oneSuffix = false);

  private:
    struct Rules;
    std::unique_ptr<Rules> rules_;
    QString dicPath_;
};
