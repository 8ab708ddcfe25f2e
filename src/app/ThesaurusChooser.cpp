// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThesaurusChooser.h"

#include "CachedDatabase.h"
#include "DatabaseBuild.h"
#include "Desktop.h"
#include "WindowState.h"

#include <QComboBox>
#include <QSettings>

namespace {
const QString kKey = QStringLiteral("thesaurus/key");
const QString kName = QStringLiteral("thesaurus/name");
constexpr int kBesideProgram = 0;

QSettings Settings() {
    return QSettings(QSettings::UserScope, QStringLiteral("lexigrove"),
                     QStringLiteral("lexigrove"));
}

// The language of the desktop's messages, as the C library picks its locale
// variable; without encoding and modifier ("de_DE.UTF-8@euro" is "de_DE").
QString DesktopLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty())
            return locale.section(u'.', 0, 0).section(u'@', 0, 0);
    }
    return QString();
}
} // namespace

ThesaurusChooser::ThesaurusChooser(QComboBox& box, Desktop& desktop, ProgressDisplay& progress,
                                   Window window, QObject* parent, CatalogPlaces places)
    : QObject(parent), box_(box), desktop_(desktop), progress_(progress),
      window_(std::move(window)), places_(std::move(places)), build_(new DatabaseBuild(this)) {
    connect(&box_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_ && index >= 0)
            choose(index);
    });
    connect(build_, &DatabaseBuild::progress, this, &ThesaurusChooser::showBuildProgress);
    connect(build_, &DatabaseBuild::finished, this, &ThesaurusChooser::buildFinished);
}

ThesaurusChooser::~ThesaurusChooser() = default;

QString ThesaurusChooser::startingDatabase(const QString& besideProgram, const QString& given) {
    besideProgram_ = besideProgram;
    given_ = given;
    // The database beside the program is remembered as an empty key.
    anyRemembered_ = Settings().contains(kKey);
    remembered_ = Settings().value(kKey).toString();
    thesauri_ = FindThesauri(places_);
    // The thesaurus words.mdb is built from, by the rules of its language's own database: the
    // database beside the program stands for it, and it is not listed apart.
    const FileLanguage own = LanguageOfThesaurusFile(QStringLiteral(LEXIGROVE_OWN_THESAURUS));
    ownName_ = own.name.isEmpty() ? QStringLiteral("words.mdb (beside the program)") : own.name;
    own_ = nullptr;
    for (const InstalledThesaurus& thesaurus : std::as_const(thesauri_))
        if (!own_ && !own.locale.isEmpty() && !thesaurus.imported() &&
            thesaurus.locales.contains(own.locale))
            own_ = &thesaurus;
    openPath_ = besideProgram;
    if (!given.isEmpty()) {
        openPath_ = given;
    } else if (const InstalledThesaurus* chosen = wanted();
               chosen && chosen != own_ && DatabaseReady(*chosen)) {
        openPath_ = chosen->database;
    }
    return openPath_;
}

void ThesaurusChooser::fill() {
    choices_.clear();
    choices_.push_back({ownName_, besideProgram_});
    if (!given_.isEmpty())
        choices_.push_back({given_, given_});
    for (const InstalledThesaurus& thesaurus : std::as_const(thesauri_))
        if (&thesaurus != own_)
            choices_.push_back({thesaurus.name, thesaurus.database, &thesaurus});
    filling_ = true;
    box_.clear();
    for (const Choice& choice : choices_)
        box_.addItem(choice.name);
    box_.setItemData(kBesideProgram, besideProgram_, Qt::ToolTipRole);
    filling_ = false;
}

const InstalledThesaurus* ThesaurusChooser::wanted() const {
    if (!language_.isEmpty())
        return MatchLanguage(thesauri_, language_);
    if (!anyRemembered_) {
        const QString desktop = DesktopLanguage();
        return desktop.section(u'_', 0, 0) == QLatin1String("en")
                   ? nullptr
                   : MatchLanguage(thesauri_, desktop);
    }
    for (const InstalledThesaurus& thesaurus : thesauri_)
        if (!remembered_.isEmpty() && thesaurus.key() == remembered_)
            return &thesaurus;
    return nullptr;
}

int ThesaurusChooser::indexOf(const InstalledThesaurus* thesaurus) const {
    if (thesaurus == own_)
        return kBesideProgram;
    for (size_t i = 0; i < choices_.size(); ++i)
        if (choices_[i].thesaurus == thesaurus)
            return int(i);
    return -1;
}

void ThesaurusChooser::restore() {
    fill();
    if (!given_.isEmpty()) {
        selectQuietly(1);
        return;
    }
    if (const InstalledThesaurus* chosen = wanted()) {
        const int index = indexOf(chosen);
        selectQuietly(index);
        // Opened at start when it was ready; otherwise it is built now.
        if (openPath_ != choices_[index].database)
            act(index);
        return;
    }
    selectQuietly(kBesideProgram);
    if (!language_.isEmpty()) {
        desktop_.message(QStringLiteral("No thesaurus for '%1' is installed.\r\n"
                                        "The database beside the program is used instead.")
                             .arg(language_));
    } else if (!remembered_.isEmpty()) {
        const QString name = Settings().value(kName, remembered_).toString();
        desktop_.message(QStringLiteral("The thesaurus %1 chosen last time is no longer installed."
                                        "\r\nThe database beside the program is used instead.")
                             .arg(name));
    }
}

void ThesaurusChooser::selectQuietly(int index) {
    filling_ = true;
    box_.setCurrentIndex(index);
    filling_ = false;
}

void ThesaurusChooser::choose(int index) {
    const Choice& choice = choices_[index];
    QSettings settings = Settings();
    if (choice.thesaurus) {
        settings.setValue(kKey, choice.thesaurus->key());
        settings.setValue(kName, choice.name);
    } else if (index == kBesideProgram) {
        settings.setValue(kKey, QString());
        settings.remove(kName);
    }
    act(index);
}

void ThesaurusChooser::act(int index) {
    const Choice& choice = choices_[index];
    if (build_->running() &&
        (!choice.thesaurus || build_->thesaurus().key() != choice.thesaurus->key())) {
        build_->cancel();
        progress_.setProgressValue(0);
        progress_.setProgressText(QStringLiteral("Progress Bar"));
    }
    if (!choice.thesaurus || DatabaseReady(*choice.thesaurus)) {
        use(choice.name, choice.database);
    } else if (!build_->running()) {
        build_->start(*choice.thesaurus);
        showBuildProgress(0);
    }
}

void ThesaurusChooser::use(const QString& name, const QString& path) {
    pendingPath_ = path == openPath_ ? QString() : path;
    pendingName_ = name;
    if (!window_.lookupRunning())
        openPending();
}

void ThesaurusChooser::openPending() {
    if (pendingPath_.isEmpty())
        return;
    const QString path = std::exchange(pendingPath_, QString());
    try {
        window_.openDatabase(path);
        openPath_ = path;
    } catch (const std::exception& error) {
        fallBack(pendingName_, QString::fromUtf8(error.what()));
    }
}

void ThesaurusChooser::fallBack(const QString& name, const QString& reason) {
    desktop_.message(QStringLiteral("The thesaurus %1 cannot be used:\r\n%2\r\n"
                                    "The database beside the program stays in use.")
                         .arg(name, reason));
    selectQuietly(kBesideProgram);
    if (openPath_ == besideProgram_)
        return;
    pendingPath_.clear();
    try {
        window_.openDatabase(besideProgram_);
        openPath_ = besideProgram_;
    } catch (const std::exception& error) {
        desktop_.message(QString::fromUtf8(error.what()));
    }
}

void ThesaurusChooser::showBuildProgress(int percent) {
    // A running lookup owns the progress display; the build shows again after it.
    if (window_.lookupRunning())
        return;
    progress_.setProgressValue(percent);
    progress_.setProgressText(
        QStringLiteral("Preparing %1: %2%").arg(build_->thesaurus().name).arg(percent));
}

void ThesaurusChooser::buildFinished(const QString& reason) {
    const InstalledThesaurus& built = build_->thesaurus();
    if (!window_.lookupRunning()) {
        progress_.setProgressValue(0);
        progress_.setProgressText(reason.isEmpty() ? QStringLiteral("%1 is ready.").arg(built.name)
                                                   : QStringLiteral("Progress Bar"));
    }
    if (reason.isEmpty())
        use(built.name, built.database);
    else
        fallBack(built.name, reason);
}

bool ThesaurusChooser::readyToLookUp() {
    // A click on the start button during a run asks the run to stop.
    if (window_.lookupRunning())
        return true;
    if (build_->running()) {
        desktop_.message(QStringLiteral("The thesaurus %1 is still being prepared (%2%).\r\n"
                                        "The lookup can start once it is ready.")
                             .arg(build_->thesaurus().name)
                             .arg(build_->percent()));
        return false;
    }
    openPending();
    return true;
}
