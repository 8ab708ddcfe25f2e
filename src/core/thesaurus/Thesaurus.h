// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DatabaseFormat.h"
#include "FileSystem.h"
#include "Utf8Text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

// One term of one meaning of an entry, its labels taken off: relation "synonym", "similar term",
// "related term", "antonym", "generic term" or "narrower term"; note the usage labels ("ugs.,
// fig.") or empty; sense the meaning's 1-based place in the entry. listed marks what
// qrySynonyms answers: kListedSynonym the first time the entry gives this text as one of the
// synonym kinds; in an entry that gives none, kListedStandIn the first time it gives it as a
// broader or narrower term (IsStandInKind), answered only for a word no entry gives a synonym.
struct ThesaurusSynonym {
    QString text;
    QString partOfSpeech;
    QString relation;
    QString note;
    int sense = 0;
    int listed = kNotListed;
};

struct ThesaurusEntry {
    QString headword;
    std::vector<ThesaurusSynonym> synonyms;
    int senses = 0;
};

// what() = "<sourceName>:<line>: <problem>" (line omitted when 0), so a build log
// points straight at the offending line.
class ThesaurusError : public std::runtime_error {
  public:
    ThesaurusError(const QString& sourceName, int line, const QString& problem);

    QString sourceName() const { return sourceName_; }
    int line() const { return line_; }
    QString problem() const { return problem_; }

  private:
    QString sourceName_;
    int line_;
    QString problem_;
};

// Reads the file at path through to its end as the importer reads its inputs, keeping none of
// it, for a file that another library reads by its name (Hunspell): ThesaurusError naming it
// when it cannot be read or holds a line longer than the importer reads.
void CheckInputLines(const QString& path);

// How far one step of an import is: done out of total (lines, bytes or rows). A step calls it
// now and then; it throws ImportCancelled to stop the step.
using StepProgress = std::function<void(qint64 done, qint64 total)>;

// Whole MyThes .dat content -> entries, in file order. Labels are read with the label table's
// rows for language (ThesaurusLanguage) and for every language; an empty language uses every
// row. Throws ThesaurusError naming sourceName and the 1-based line.
std::vector<ThesaurusEntry> ParseThesaurus(const QByteArray& data, const QString& sourceName,
                                           const QString& language = QString(),
                                           const StepProgress& progress = {});
// The same for the thesaurus file at path, read line by line: memory does not grow with a
// line, and a line longer than WordStream::kLongestLine stops the import, naming it.
std::vector<ThesaurusEntry> ReadThesaurus(const QString& path, const QString& language = QString(),
                                          const StepProgress& progress = {});

// Where inflected forms come from: a Hunspell dictionary (its .dic file, with the .aff of the
// same name beside it) and optionally a word list, UTF-8, one word a line. The dictionary alone
// gives every form its affix rules build; with a word list, the words of the list that
// Hunspell traces back to a headword. Both empty: no forms. language (ThesaurusLanguage; the
// import fills it in from the thesaurus's name when empty) chooses its prefixes that reverse a
// meaning (ReversingPrefixes), which make no forms, and the further rules of its forms that the
// importer carries (morphology.tsv), such as English irregular forms from WordNet's exception
// lists where they are installed.
struct FormSources {
    QString dictionary;
    QString wordList;
    QString language = {};
};

// The installed files whose content the forms of a language's database depend on beyond its
// thesaurus and dictionary (WordNet's exception lists for English), so that a cache built
// before they came or changed is built again.
QStringList MorphologyFiles(const QString& language);

// The file of the same name with another extension beside path, spelled as path is: the .idx
// of a MyThes .dat ("th.dat": "th.idx"), the .aff Hunspell reads with a .dic.
QString FileBeside(const QString& path, QLatin1StringView extension);
inline QString AffixFileOf(const QString& dictionary) {
    return FileBeside(dictionary, QLatin1StringView(".aff"));
}

// A file an import reads, and what it is to the import.
struct ImportInput {
    enum Kind { Thesaurus, ThesaurusIndex, Dictionary, AffixFile, WordList };
    Kind kind;
    QString path;
};
// The input of importing datPath with forms that is the very file output is (the same device
// and inode, through links), taken in the order thesaurus, its index, dictionary, its affix
// file, word list; none when there is none. Results written there would destroy it.
std::optional<ImportInput> InputThatIs(const FileIdentity& output, const QString& datPath,
                                       const FormSources& forms);

// A word of the list that is not a headword, filed under key and answered with the synonyms of
// every headword whose key is baseKey. prefixes holds the bits of the leads (FormLead) that,
// put before key, make further forms of those headwords; a row whose key is baseKey (the
// headword's own) carries nothing else.
// how names the way the form was built (InflectedForms::hows), 0 when unknown.
struct InflectedForm {
    QString key;
    QString baseKey;
    quint64 prefixes = 0;
    quint32 how = 0;
};

// One way forms are built: a suffix of the dictionary (its flag, what it strips and appends,
// its condition) or an exception list (flag "@" and its part of speech), and the slot it fills
// among a word's forms (slots.tsv, or the suffix's own morphological fields) with the parts of
// speech that have it; an empty slot is one no synonym is put in.
struct FormHow {
    QString flag, strip, append, condition, slot, pos;
};

// Folded text that makes a form of a filed word when put before it (Italian "dell'" before
// "uomo"), and its bits in InflectedForm::prefixes. A prefix flag whose forms would not fit the
// limit on forms is filed this way: a mark on each word it stands before instead of a row for
// each form it makes.
struct FormLead {
    QString text;
    quint64 bits = 0;
};

struct InflectedForms {
    std::vector<InflectedForm> forms;
    std::vector<FormLead> leads;
    // InflectedForm::how - 1 indexes it.
    std::vector<FormHow> hows = {};
    // What was left out to keep the work bounded, one sentence each.
    QStringList notes = {};
};

// The forms that are not headwords themselves, each under every headword it is a form of (casas:
// casa and casar), sorted and without repeats. From the dictionary alone: each form the affix
// rules build from a stem that is a headword (AffixExpander), and the stems the dictionary
// leads to a headword otherwise (a root it names; suffixes run backwards). With a word list:
// each word of it whose nearest root under Hunspell (suffixes stripped, never a prefix) is a
// headword. Either way, the forms of the language's rules (MorphologyFiles), where an
// exception list may make a headword a form of another too. Throws
// ThesaurusError naming the file (and line) that cannot be used. At most maxForms rows of
// forms are kept, however many the dictionary builds (see InflectedForms.cpp).
constexpr size_t kMaxForms = 3'000'000;
InflectedForms FindInflectedForms(const std::vector<ThesaurusEntry>& entries,
                                  const FormSources& sources, const StepProgress& progress = {},
                                  size_t maxForms = kMaxForms);

// What an import wrote: headwords, (term, meaning) pairs per relation, and words filed under
// the key of another headword (inflected forms).
struct ImportReport {
    qint64 headwords = 0;
    std::map<QString, qint64> pairsPerRelation;
    qint64 forms = 0;
    QStringList notes; // InflectedForms::notes
};

// Writes the SQLite synonym database atomically: to a temporary name in the same folder,
// renamed over outPath only when complete; on failure nothing is left behind and
// ThesaurusError is thrown (sourceName = outPath, line 0).
ImportReport WriteSynonymDatabase(const std::vector<ThesaurusEntry>& entries,
                                  const QString& outPath, const InflectedForms& forms = {},
                                  const StepProgress& progress = {},
                                  FileOwner owner = FileOwner::User);

// The same with the forms found by findForms while the entries' own tables are written on
// another thread; findForms runs on the calling thread, and what it throws is thrown.
using FindForms = std::function<const InflectedForms&()>;
ImportReport WriteSynonymDatabase(const std::vector<ThesaurusEntry>& entries,
                                  const QString& outPath, const FindForms& findForms,
                                  const StepProgress& progress = {},
                                  FileOwner owner = FileOwner::User);

// Throws AppError ("Cannot write OUT: ...") for an output that lexigrove-import must not
// replace: one of the import's inputs under any name (the thesaurus and the .idx beside it, the
// dictionary and its .aff, the word list), a folder, a device, a named pipe or a socket, or an
// existing file that is neither empty nor an SQLite database. Follows symbolic links, as the
// database is written through them. A name that leads nowhere yet passes.
void CheckImportOutput(const QString& datPath, const FormSources& forms, const QString& outPath);

// Creates the folder filePath goes into, and each missing one above it, remembering which were
// new so that a failed build can take them away again: unless kept, they go (those still
// empty) with this object. The program's own folders are made for the user alone. Throws ThesaurusError (sourceName = filePath, line 0) naming the
// folder that cannot be made, once those made so far are gone.
class NewFolders {
  public:
    explicit NewFolders(const QString& filePath, FileOwner owner = FileOwner::User);
    ~NewFolders();
    NewFolders(const NewFolders&) = delete;
    NewFolders& operator=(const NewFolders&) = delete;
    void keep() { created_.clear(); }

  private:
    void removeCreated();
    QStringList created_;
};

// Called every few milliseconds during an import with how far it is, 0 to 100, the same
// percentage many times over (a display shows it when it changes); returning false cancels
// the import: ImportThesaurus then throws ImportCancelled and leaves nothing behind.
using ImportProgress = std::function<bool(int percent)>;
struct ImportCancelled {};

// Reads datPath (ThesaurusError with line 0 if unreadable), parses it with the labels of the
// language its name carries, finds the inflected forms, and writes outPath, creating its folder
// when missing. Needs no QCoreApplication and shares nothing between calls but an atomic count
// for temporary names, so imports may run on several threads at once. On a failure or a
// cancel, neither the file nor a folder it created is left behind.
ImportReport ImportThesaurus(const QString& datPath, const QString& outPath,
                             const FormSources& forms = {}, const ImportProgress& progress = {},
                             FileOwner owner = FileOwner::User);
