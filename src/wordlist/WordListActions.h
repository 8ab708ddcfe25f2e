// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WordListText.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CommonDialog;
class Desktop;
class ErrorTrap;
class ListView;
class PointerControl;

// The word list as files and pastes fill it.
class ListViewWords : public WordSink {
  public:
    explicit ListViewWords(ListView& list) : list_(list) {}
    void reserveText(std::size_t bytes) override;
    void appendValidUtf8(QByteArrayView text) override;
    void append(const QString& text) override;

  private:
    ListView& list_;
};

// The word list's handlers: adding a word, the sample words, clearing,
// removing the selected entry (Delete key, double-click) and loading text
// files through the dialog. Beyond the buttons, files dropped onto the list
// load as if chosen in the dialog, and pasting (Ctrl+V, Shift+Insert)
// appends the clipboard's text split into entries at a file's line breaks,
// one entry per non-empty line.
//
// Handlers run their numbered statements through an error trap and throw
// nothing but ClosingSignal, which they let pass.
class WordListActions : public QObject {
    Q_OBJECT
  public:
    WordListActions(ListView& ListView1, CommonDialog& CommonDialog1, Desktop& desktop,
                    PointerControl& pointer, QObject* parent = nullptr);

    // Connects the list's key and double-click events to their handlers and
    // lets the list take dropped files. The buttons are the window's to wire.
    void attach();

    void PushButton6_Click();
    void PushButton8_Click();
    void PushButton1_Click();
    void PushButton3_Click();
    // Windows key codes; shift: 1 Shift, 2 Ctrl, 4 Alt.
    void ListView1_KeyDown(int keyCode, int shift);
    void ListView1_DblClick();
    // Local paths of files dropped onto the list, in the order of the drop.
    void ListView1_OLEDragDrop(const QStringList& paths);
    // Word files named when the program was started: those that cannot be read are named in
    // one plain message with the reason for each, and the others load as dropped files do.
    void loadGivenFiles(const QStringList& paths);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The dialog's steps from the busy pointer on: parts is one path, or a
    // folder followed by names in it.
    void loadChosenFiles(ErrorTrap& trap, const QStringList& parts);
    void removeSelected();
    void pasteClipboard();
    bool busy() const;

    ListView& ListView1_;
    CommonDialog& CommonDialog1_;
    Desktop& desktop_;
    PointerControl& pointer_;
    ListViewWords words_{ListView1_};
};
