#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>
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

// Whole MyThes .dat content -> entries, in file order. Throws ThesaurusError naming
// sourceName and the 1-based line.
std::vector<ThesaurusEntry> ParseThesaurus(const QByteArray& data, const QString& sourceName);

// Writes the SQLite synonym database atomically: to a temporary name in the same folder,
// renamed over outPath only when complete; on failure nothing is left behind and
// ThesaurusError is thrown (sourceName = outPath, line 0).
void WriteSynonymDatabase(const std::vector<ThesaurusEntry>& entries, const QString& outPath);

// Reads datPath (ThesaurusError with line 0 if unreadable), parses, writes.
void ImportThesaurus(const QString& datPath, const QString& outPath);
