#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

struct ThesaurusSynonym {
    QString text;
    QString partOfSpeech;
    QString relation;
};

struct ThesaurusEntry {
    QString headword;
    std::vector<ThesaurusSynonym> synonyms;
};

// what() = "<sourceName>:<line>: <problem>" (line omitted when 0), so a build log
// points straight at the offending line.
class ThesaurusError : public std::runtime_error {
  public:
    ThesaurusError(const QString& sourceName, int line, const QString& problem);

    QString sourceName() const { return m_sourceName; }
    int line() const { return m_line; }
    QString problem() const { return m_problem; }

  private:
    QString m_sourceName;
    int m_line;
    QString m_problem;
};

// The whole file; ThesaurusError naming it (line 0) when it cannot be read.
QByteArray ReadInputFile(const QString& path);

// The part of speech the database files for a thesaurus label (parentheses already taken off):
// the English names noun, adj, verb and adv for what other languages call the same ("Nom",
// "verbe"), in any letter case; any other label as written.
QString CommonPartOfSpeech(QStringView label);

// How far one step of an import is: done out of total (lines, bytes or rows). A step calls it
// now and then; it throws ImportCancelled to stop the step.
using StepProgress = std::function<void(qint64 done, qint64 total)>;

// Whole MyThes .dat content -> entries, in file order. Throws ThesaurusError naming
// sourceName and the 1-based line.
std::vector<ThesaurusEntry> ParseThesaurus(const QByteArray& data, const QString& sourceName,
                                           const StepProgress& progress = {});

// The text under which the database files a word: simple Unicode case folding, so "ÉTÉ",
// "Été" and "été" share the key "été". The program's connection compares words folded the
// same way (DbConnection), which keeps the index order valid for it.
inline QString WordKey(const QString& word) {
    return word.toCaseFolded();
}

// Where inflected forms come from: a Hunspell dictionary (its .dic file, with the .aff of the
// same name beside it) and optionally a word list, UTF-8, one word a line. The dictionary alone
// gives every form its suffix rules build; with a word list, the words of the list that
// Hunspell traces back to a headword. Both empty: no forms.
struct FormSources {
    QString dictionary;
    QString wordList;
};

// A word of the list that is not a headword, filed under key and answered with the synonyms of
// every headword whose key is baseKey.
struct InflectedForm {
    QString key;
    QString baseKey;
};

// The forms that are not headwords themselves, each under every headword it is a form of (casas:
// casa and casar), sorted and without repeats. From the dictionary alone: each form the suffix
// rules build from a stem that is a headword (AffixExpander). With a word list: each word of it
// whose nearest root under Hunspell (suffixes stripped, never a prefix) is a headword. Throws
// ThesaurusError naming the file (and line) that cannot be used.
std::vector<InflectedForm> FindInflectedForms(const std::vector<ThesaurusEntry>& entries,
                                              const FormSources& sources,
                                              const StepProgress& progress = {});

// Writes the SQLite synonym database atomically: to a temporary name in the same folder,
// renamed over outPath only when complete; on failure nothing is left behind and
// ThesaurusError is thrown (sourceName = outPath, line 0).
void WriteSynonymDatabase(const std::vector<ThesaurusEntry>& entries, const QString& outPath,
                          const std::vector<InflectedForm>& forms = {},
                          const StepProgress& progress = {});

// Called now and then during an import with how far it is, 0 to 100; returning false
// cancels it: ImportThesaurus then throws ImportCancelled and leaves nothing behind.
using ImportProgress = std::function<bool(int percent)>;
struct ImportCancelled {};

// What an import wrote, for its report.
struct ImportSummary {
    qint64 headwords = 0;
    // (relation, pairs) in order of first appearance.
    std::vector<std::pair<QString, qint64>> pairsByRelation;
    // Words answered under another headword's entry.
    qint64 forms = 0;
};

// Reads datPath (ThesaurusError with line 0 if unreadable), parses, finds the inflected forms,
// and writes outPath, creating its folder when missing. Needs no QCoreApplication and shares
// nothing between calls but an atomic count for temporary names, so imports may run on several
// threads at once. On a failure or a cancel, neither the file nor a folder it created is left
// behind.
ImportSummary ImportThesaurus(const QString& datPath, const QString& outPath,
                              const FormSources& forms = {}, const ImportProgress& progress = {});
