#include "Thesaurus.h"
#include "ThesaurusLabels.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace {

// The share of an import's time each step takes on the large thesauri (German, English with
// its dictionary), so that the percentage moves evenly.
constexpr int kParseEnd = 35;
constexpr int kFormsEnd = 55;

// Maps each step's own progress onto one 0-100 scale, tells the caller only when the percentage
// changes, and turns a "stop" into ImportCancelled wherever the step is.
class ProgressScale {
  public:
    explicit ProgressScale(const ImportProgress& progress) : m_progress(progress) {}

    StepProgress step(int from, int to) {
        if (!m_progress)
            return {};
        return [this, from, to](qint64 done, qint64 total) {
            report(from + int(total > 0 ? (to - from) * done / total : 0));
        };
    }

    // The file is in place by then: too late to cancel.
    void finish() const {
        if (m_progress && m_last != 100)
            m_progress(100);
    }

    // Only a rise is told: a step that starts over (forms of one suffix after too many of two)
    // does not move the bar back.
    void report(int percent) {
        if (!m_progress || percent <= m_last)
            return;
        m_last = percent;
        if (!m_progress(percent))
            throw ImportCancelled();
    }

  private:
    const ImportProgress& m_progress;
    int m_last = -1;
};

// Creates the folder outPath goes into and remembers which folders were new, so that a failed
// import can take them away again.
class OutputFolder {
  public:
    explicit OutputFolder(const QString& outPath) {
        QString folder = QFileInfo(outPath).absolutePath();
        while (!QFileInfo::exists(folder)) {
            m_created.prepend(folder);
            const QString parent = QFileInfo(folder).path();
            if (parent == folder)
                break;
            folder = parent;
        }
        for (const QString& path : std::as_const(m_created)) {
            std::error_code error;
            if (!std::filesystem::create_directory(path.toStdU16String(), error) || error) {
                // Told after the folders made so far are gone, and path with them.
                const QString problem = QStringLiteral("cannot create the folder %1: %2")
                                            .arg(path, QString::fromLocal8Bit(error.message()));
                removeCreated();
                throw ThesaurusError(outPath, 0, problem);
            }
        }
    }

    void keep() { m_created.clear(); }

    ~OutputFolder() { removeCreated(); }
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

  private:
    // Deepest first; rmdir leaves a folder that someone filled meanwhile where it is.
    void removeCreated() {
        for (auto it = m_created.crbegin(); it != m_created.crend(); ++it)
            QDir().rmdir(*it);
        m_created.clear();
    }

    QStringList m_created;
};

} // namespace

ImportReport ImportThesaurus(const QString& datPath, const QString& outPath,
                             const FormSources& forms, const ImportProgress& progress) {
    ProgressScale scale(progress);
    scale.report(0);
    const auto entries = ParseThesaurus(ReadInputFile(datPath), datPath, ThesaurusLanguage(datPath),
                                        scale.step(0, kParseEnd));
    scale.report(kParseEnd);
    const auto inflected = FindInflectedForms(entries, forms, scale.step(kParseEnd, kFormsEnd));
    scale.report(kFormsEnd);
    OutputFolder folder(outPath);
    const ImportReport report =
        WriteSynonymDatabase(entries, outPath, inflected, scale.step(kFormsEnd, 100));
    folder.keep();
    scale.finish();
    return report;
}
