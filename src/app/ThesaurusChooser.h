// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThesaurusCatalog.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class DatabaseBuild;
class Desktop;
class ProgressDisplay;
class QComboBox;

// The window's choice of synonym database: the one beside the program (or given with
// --database) and every installed thesaurus. A thesaurus without a database yet is built
// in the background, its progress in the progress display; the connection moves to a
// database only once it is complete, and never under a running lookup. The choice is
// remembered for the next start.
class ThesaurusChooser : public QObject {
    Q_OBJECT
  public:
    struct Window {
        // Replaces the connection's database; throws AppError when it cannot be opened.
        std::function<void(const QString& path)> openDatabase;
        std::function<bool()> lookupRunning;
    };
    ThesaurusChooser(QComboBox& box, Desktop& desktop, ProgressDisplay& progress, Window window,
                     QObject* parent = nullptr, CatalogPlaces places = CatalogPlaces::standard());
    ~ThesaurusChooser() override;

    // The database to open at start: the given one, the remembered thesaurus's when it is
    // ready, else the one beside the program. With nothing remembered, the thesaurus of the
    // desktop's language stands for the remembered one; the database beside the program is
    // English.
    // --language: the thesaurus of this language instead of the remembered one.
    void setLanguage(const QString& code) { language_ = code; }
    QString startingDatabase(const QString& besideProgram, const QString& given);
    // Once the start-up database is open: fills the list, and builds or reports what the
    // remembered choice still needs.
    void restore();
    // Asked before the start button's handler: false (and the user told why) while the
    // chosen thesaurus is still being built; a database that became ready meanwhile is
    // opened now.
    bool readyToLookUp();

  private:
    struct Choice {
        QString name;
        QString database;
        const InstalledThesaurus* thesaurus = nullptr;
    };
    void fill();
    void choose(int index);
    void use(const QString& name, const QString& path);
    void openPending();
    void fallBack(const QString& name, const QString& reason);
    void showBuildProgress(int percent);
    void buildFinished(const QString& reason);
    void selectQuietly(int index);
    // The thesaurus of --language, else the one chosen last time, else the desktop's.
    const InstalledThesaurus* wanted() const;
    void act(int index);
    int indexOf(const InstalledThesaurus* thesaurus) const;

    QComboBox& box_;
    Desktop& desktop_;
    ProgressDisplay& progress_;
    Window window_;
    CatalogPlaces places_;
    QList<InstalledThesaurus> thesauri_;
    const InstalledThesaurus* own_ = nullptr; // the thesaurus words.mdb is built from
    QString ownName_;
    std::vector<Choice> choices_;
    QString besideProgram_;
    QString given_;
    QString remembered_;
    bool anyRemembered_ = false;
    QString language_;
    QString openPath_;
    QString pendingPath_;
    QString pendingName_;
    DatabaseBuild* build_ = nullptr;
    bool filling_ = false;
};
