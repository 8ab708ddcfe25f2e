// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DbConnection.h"
#include "LookupRun.h"

#include <QCursor>
#include <QWidget>
#include <memory>
#include <optional>

class CommonDialog;
class Desktop;
class ListView;
class ProgressBar;
class QComboBox;
class QPushButton;
class ResultsActions;
class ThesaurusChooser;
class WordListActions;

// The main window: two lists, ten buttons, a progress bar and the thesaurus chooser at
// fixed places.
// It wires the controls to their handlers; the work itself lives in the
// subsystem folders. Every control's objectName is its name in the layout.
class Form1 : public QWidget, private LookupHost {
    Q_OBJECT
  public:
    Form1(Desktop& desktop, const QString& applicationFolder, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up before the window is first shown. False when the program is
    // to end at once (no synonym database).
    bool Form_Load();
    // Another synonym database than words.mdb beside the program, for Form_Load.
    void setDatabasePath(const QString& path) { databasePath_ = path; }
    // The installed thesaurus of this language instead of the one chosen last time.
    void setLanguage(const QString& code);
    // Where the window's fixed layout is larger than room (a small screen, a large scale), the
    // window takes just that room and scrolls the unchanged layout within it.
    void fitWithin(QSize room);
    // The same with the room of its screen's available area, its frame left out.
    void fitScreen();
    // Word files given to the program, loaded into the word list as dropped files are.
    void loadWordFiles(const QStringList& paths);

    // 0 plain, 11 busy (hourglass), 99 the hand pointer.
    int MousePointer() const { return mousePointer_; }
    void setMousePointer(int mode);

    void PushButton2_Click();
    void PushButton7_Click();

    const DbConnection& connection() const { return db_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    QPushButton* addButton(const char* name, const QString& caption, QRect placeTwips);
    void ApplySkin();
    void Form_QueryUnload();
    // Pointer moves: buttons show the hand, the background and the lists the
    // plain pointer; neither overrides the busy pointer.
    void hover(int mode);
    // Runs a click handler; a close during one of its yields ends it here.
    template <class Handler> void handle(Handler&& handler);

    // LookupHost
    int wordCount() const override;
    QString wordText(int position) const override;
    void clearResults() override;
    void startWordRows(QByteArrayView wordUtf8) override;
    void appendResult(const QString& text) override;
    void appendResultUtf8(QByteArrayView row) override;
    // Before another database replaces the connection's: the results listed keep reading what
    // they mean from the one they came from.
    void keepResultsDatabase();
    void clearResultsList();
    void setProgressValue(double percent) override;
    void setProgressText(const QString& text) override;
    QString startCaption() const override;
    void setStartCaption(const QString& caption) override;
    int pointerMode() const override;
    void setPointerMode(int mode) override;

    Desktop& desktop_;
    const QString applicationFolder_;
    QString databasePath_;
    DbConnection db_;
    LookupRun lookup_;
    // The database the results came from, once the connection has moved to another.
    std::unique_ptr<SynonymStore> resultsStore_;
    std::optional<QCursor> handPointer_;
    int mousePointer_ = 0;
    bool unloading_ = false;
    QWidget* page_ = nullptr; // holds the controls while the window scrolls them

    ListView* ListView1 = nullptr;
    ListView* ListView2 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QPushButton* PushButton17 = nullptr;
    ProgressBar* ProgressBar1 = nullptr;
    QComboBox* Thesaurus = nullptr;
    std::unique_ptr<CommonDialog> CommonDialog1;
    std::unique_ptr<WordListActions> wordList_;
    std::unique_ptr<ResultsActions> results_;
    // A child too, so tests find its build; it goes first, with the members.
    std::unique_ptr<ThesaurusChooser> chooser_;
};
