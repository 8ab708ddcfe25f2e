#include "Thesaurus.h"
#include "ThesaurusLabels.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// The share of an import's time each step takes on the large thesauri (German, English with
// its dictionary), so that the percentage moves evenly.
constexpr int kParseEnd = 35;
constexpr int kFormsEnd = 55;

// Maps each step's own progress onto one 0-100 scale, asks the caller at every report of a step
// (so a stop is seen within milliseconds, not at the next whole percent), and turns a "stop"
// into ImportCancelled wherever the step is.
class ProgressScale {
  public:
    explicit ProgressScale(const ImportProgress& progress) : progress_(progress) {}

    StepProgress step(int from, int to) {
        if (!progress_)
            return {};
        return [this, from, to](qint64 done, qint64 total) {
            report(from + int(total > 0 ? (to - from) * done / total : 0));
        };
    }

    // The file is in place by then: too late to cancel.
    void finish() const {
        if (progress_ && last_ != 100)
            progress_(100);
    }

    // The percentage never falls: a step that starts over (forms of one suffix after too many
    // of two) does not move the bar back.
    void report(int percent) {
        if (!progress_)
            return;
        last_ = std::max(last_, percent);
        if (!progress_(last_))
            throw ImportCancelled();
    }

  private:
    const ImportProgress& progress_;
    int last_ = -1;
};

// Creates the folder outPath goes into and remembers which folders were new, so that a failed
// import can take them away again.
class OutputFolder {
  public:
    explicit OutputFolder(const QString& outPath) {
        QString folder = QFileInfo(outPath).absolutePath();
        while (!QFileInfo::exists(folder)) {
            created_.prepend(folder);
            const QString parent = QFileInfo(folder).path();
            if (parent == folder)
                break;
            folder = parent;
        }
        for (const QString& path : std::as_const(created_)) {
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

    void keep() { created_.clear(); }

    ~OutputFolder() { removeCreated(); }
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

  private:
    // Deepest first; rmdir leaves a folder that someone filled meanwhile where it is.
    void removeCreated() {
        for (auto it = created_.crbegin(); it != created_.crend(); ++it)
            QDir().rmdir(*it);
        created_.clear();
    }

    QStringList created_;
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
