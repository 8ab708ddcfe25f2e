// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// A file dialog as the program asks for it.
struct FileDialogRequest {
    QString title;
    QString nameFilters; // Qt's form: "Text Files (*.txt);;All Files (*)"
    bool multiSelect = false;
};

// Everything that would block a test or reach outside the process goes
// through here: message and input boxes, file dialogs, the clipboard, the
// shell and letting pending events run. The program uses the Qt
// implementation; tests script the answers and record the calls.
class Desktop {
  public:
    // Message box style values and answers, as the program's messages name them.
    enum Style {
        OkOnly = 0,
        YesNo = 4,
        Critical = 16,
        Question = 32,
        Exclamation = 48,
        DefaultButton2 = 256
    };
    enum Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    virtual ~Desktop() = default;

    // Shows a modal box and returns the button pressed.
    virtual int messageBox(const QString& text, int style, const QString& title) = 0;

    // A plain message: OK only, no icon, the application title.
    void message(const QString& text) { messageBox(text, OkOnly, appTitle()); }

    // The typed text, or the empty text on Cancel.
    virtual QString inputBox(const QString& prompt, const QString& title) = 0;

    // The chosen files' full paths; none when cancelled.
    virtual QStringList openFileDialog(const FileDialogRequest& request) = 0;
    // The chosen path; empty when cancelled.
    virtual QString saveFileDialog(const FileDialogRequest& request) = 0;

    // Each may fail (the clipboard is shared with other programs); false then.
    virtual bool clearClipboard() = 0;
    virtual bool setClipboardText(const QString& text) = 0;
    // The clipboard's plain text; empty when it holds none.
    virtual QString clipboardText() = 0;

    // Opens a document or address with the desktop's default program; the
    // result follows the shell's convention (above 32 is success).
    virtual long shellExecute(const QString& operation, const QString& file,
                              const QString& parameters, const QString& directory,
                              int showCommand) = 0;

    // Runs the window events already queued, then returns; throws
    // ClosingSignal when the window closed meanwhile.
    void letEventsRun();

    // Set by the close handler; every later yield unwinds the operation that made it.
    void markClosing() { closing_ = true; }
    bool isClosing() const { return closing_; }
    // For long work that lets no events run but may show a box, during which
    // the window can still be closed: throws ClosingSignal once it has.
    void unwindIfClosing() const;

    // The title of every message box that names none of its own.
    const QString& appTitle() const { return appTitle_; }
    void setAppTitle(const QString& title) { appTitle_ = title; }

  protected:
    virtual void processEvents() = 0;

  private:
    bool closing_ = false;
    QString appTitle_ = QStringLiteral("Lexigrove");
};
