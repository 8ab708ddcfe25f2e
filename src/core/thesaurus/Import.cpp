// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppError.h"
#include "FileSystem.h"
#include "Thesaurus.h"
#include "ThesaurusLabels.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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

// The file a name leads to, through every symbolic link; none when there is none.
std::optional<struct stat> fileAt(const QString& path) {
    struct stat info;
    if (path.isEmpty() || ::stat(NativeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

// Only the start of the file is read: SQLite writes its header first.
void requireDatabaseOrEmpty(const QString& outPath, const struct stat& info) {
    if (info.st_size == 0)
        return;
    static constexpr char kHeader[] = "SQLite format 3"; // and its NUL
    char start[sizeof kHeader] = {};
    const int fd = ::open(NativeName(outPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(outPath, SystemErrorText(errno)));
    const ssize_t got = ReadSome(fd, start, sizeof start, 0);
    const int error = errno;
    ::close(fd);
    if (got < 0)
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(outPath, SystemErrorText(error)));
    if (got != ssize_t(sizeof start) || std::memcmp(start, kHeader, sizeof start) != 0)
        throw AppError(QStringLiteral("Cannot replace %1: it is neither empty nor an SQLite "
                                      "database")
                           .arg(outPath));
}

} // namespace

NewFolders::NewFolders(const QString& filePath, FileOwner owner) {
    QStringList missing;
    QString folder = QFileInfo(filePath).absolutePath();
    while (!QFileInfo::exists(folder)) {
        missing.prepend(folder);
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    for (const QString& path : std::as_const(missing)) {
        if (::mkdir(NativeName(path).constData(), owner == FileOwner::Program ? 0700 : 0777) == 0) {
            created_ << path;
        } else if (errno != EEXIST) {
            // Told after the folders made so far are gone, and path with them.
            const QString problem =
                QStringLiteral("cannot create the folder %1: %2").arg(path, SystemErrorText(errno));
            removeCreated();
            throw ThesaurusError(filePath, 0, problem);
        }
    }
}

NewFolders::~NewFolders() {
    removeCreated();
}

// Deepest first; rmdir leaves a folder that someone filled meanwhile where it is.
void NewFolders::removeCreated() {
    for (auto it = created_.crbegin(); it != created_.crend(); ++it)
        QDir().rmdir(*it);
    created_.clear();
}

QString FileBeside(const QString& path, QLatin1StringView extension) {
    return path.first(path.lastIndexOf(u'/') + 1) + QFileInfo(path).completeBaseName() + extension;
}

std::optional<ImportInput> InputThatIs(const FileIdentity& output, const QString& datPath,
                                       const FormSources& forms) {
    const ImportInput inputs[] = {
        {ImportInput::Thesaurus, datPath},
        {ImportInput::ThesaurusIndex, FileBeside(datPath, QLatin1StringView(".idx"))},
        {ImportInput::Dictionary, forms.dictionary},
        {ImportInput::AffixFile,
         forms.dictionary.isEmpty() ? QString() : AffixFileOf(forms.dictionary)},
        {ImportInput::WordList, forms.wordList},
    };
    for (const ImportInput& input : inputs) {
        const std::optional<struct stat> info = fileAt(input.path);
        if (info && FileIdentity{info->st_dev, info->st_ino} == output)
            return input;
    }
    return std::nullopt;
}

void CheckImportOutput(const QString& datPath, const FormSources& forms, const QString& outPath) {
    const std::optional<struct stat> out = fileAt(outPath);
    // A new name, a dangling link or a path that cannot be reached: publishing tells.
    if (!out)
        return;
    static const char* const kRoles[] = {"the thesaurus", "the thesaurus's index", "the dictionary",
                                         "the dictionary's affix file", "the word list"};
    if (const auto input = InputThatIs({out->st_dev, out->st_ino}, datPath, forms))
        throw AppError(QStringLiteral("Cannot write %1: it is %2 %3, the same file")
                           .arg(outPath, QLatin1StringView(kRoles[input->kind]), input->path));
    const auto refuse = [&](const char* what) {
        throw AppError(QStringLiteral("Cannot write %1: it is %2, not a database file")
                           .arg(outPath, QLatin1StringView(what)));
    };
    if (S_ISDIR(out->st_mode))
        refuse("a folder");
    if (S_ISCHR(out->st_mode) || S_ISBLK(out->st_mode))
        refuse("a device");
    if (S_ISFIFO(out->st_mode))
        refuse("a named pipe");
    if (S_ISSOCK(out->st_mode))
        refuse("a socket");
    requireDatabaseOrEmpty(outPath, *out);
}

ImportReport ImportThesaurus(const QString& datPath, const QString& outPath,
                             const FormSources& forms, const ImportProgress& progress,
                             FileOwner owner) {
    ProgressScale scale(progress);
    scale.report(0);
    const QString language = ThesaurusLanguage(datPath);
    const auto entries = ReadThesaurus(datPath, language, scale.step(0, kParseEnd));
    scale.report(kParseEnd);
    FormSources sources = forms;
    if (sources.language.isEmpty())
        sources.language = language;
    NewFolders folder(outPath, owner);
    InflectedForms inflected;
    const auto findForms = [&]() -> const InflectedForms& {
        inflected = FindInflectedForms(entries, sources, scale.step(kParseEnd, kFormsEnd));
        scale.report(kFormsEnd);
        return inflected;
    };
    const ImportReport report =
        WriteSynonymDatabase(entries, outPath, findForms, scale.step(kFormsEnd, 100), owner);
    folder.keep();
    scale.finish();
    return report;
}
