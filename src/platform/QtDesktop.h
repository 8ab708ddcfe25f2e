// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Desktop.h"

#include <QPointer>
#include <QWidget>

// The desktop as the user sees it: real message boxes and the real event loop.
class QtDesktop : public Desktop {
  public:
    // Boxes are modal to the owner window while it exists.
    void setOwner(QWidget* owner) { owner_ = owner; }

    int messageBox(const QString& text, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title) override;
    QStringList openFileDialog(const FileDialogRequest& request) override;
    QString saveFileDialog(const FileDialogRequest& request) override;
    bool clearClipboard() override;
    bool setClipboardText(const QString& text) override;
    QString clipboardText() override;
    long shellExecute(const QString& operation, const QString& file, const QString& parameters,
                      const QString& directory, int showCommand) override;

    // Message texts keep their CR and LF characters; only the display turns
    // them into line breaks.
    static QString displayText(QString text);

  protected:
    // Takes in pending events at most once per tick of a cheap clock; see
    // the definition.
    void processEvents() override;

  private:
    QPointer<QWidget> owner_;
    qint64 lastEventsMs_ = -1;
};
