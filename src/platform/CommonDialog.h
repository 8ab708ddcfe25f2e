// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Desktop;

// The window's one file dialog, with the members the program sets and reads.
// After a confirmed open dialog FileName holds the chosen path, or for
// several files the folder and the names separated by NUL characters; after
// a cancel it keeps the value set before.
class CommonDialog {
  public:
    explicit CommonDialog(Desktop& desktop) : desktop_(desktop) {}

    enum : int {
        OFN_READONLY = 0x1,
        OFN_ALLOWMULTISELECT = 0x200,
        OFN_EXPLORER = 0x80000,
        OFN_LONGNAMES = 0x200000,
    };

    QString FileName;
    int Flags = 0;
    QString DialogTitle;
    QString Filter;

    void ShowOpen();
    void ShowSave();

    // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|" in Qt's form.
    static QString QtNameFilters(const QString& filter);

  private:
    Desktop& desktop_;
};
