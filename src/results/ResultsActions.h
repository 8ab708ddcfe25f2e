// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class CommonDialog;
class ErrorTrap;
class Desktop;
class ListView;
class PointerControl;
class ProgressDisplay;

// What the window does with its results list: the two file exports and the
// clipboard copy behind their buttons, and ticking many rows at once.
// The click handlers throw ClosingSignal when the window closes during one
// of their yields.
class ResultsActions : public QObject {
    Q_OBJECT
  public:
    // lookupRunning: whether a lookup run is under way, filling the list still.
    ResultsActions(ListView& ListView2, CommonDialog& CommonDialog1, Desktop& desktop,
                   PointerControl& pointer, ProgressDisplay& progress,
                   std::function<bool()> lookupRunning = {}, QObject* parent = nullptr);

    // Lets the user pick several rows and tick them together: Space sets
    // the marks of all selected rows (the opposite of the current row's
    // mark), Ctrl+A selects every row, and the context menu offers
    // "Tick All" and "Untick All". Once is enough.
    void attach();

    // "Save Results As Text File": the checked rows, aligned.
    void PushButton4_Click();
    // "Save As Comma Delimited": every row on one line; during a lookup run, the rows so far,
    // and the user is told so.
    void PushButton9_Click();
    // "Copy Results To Clipboard": the checked rows, aligned.
    void PushButton5_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The lines an error in each step of the overwrite question is told at.
    struct QuestionLines {
        int exists, ask, answer;
    };
    // Asks before an existing file is replaced; false when the user says No.
    bool overwriteAgreed(ErrorTrap& trap, const QString& name, const QuestionLines& lines);

    void toggleSelectedMarks();

    ListView& list_;
    CommonDialog& dialog_;
    Desktop& desktop_;
    PointerControl& pointer_;
    ProgressDisplay& progress_;
    std::function<bool()> lookupRunning_;
    bool attached_ = false;
};
