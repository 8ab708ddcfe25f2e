// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// A line of progress on standard error, redrawn in place for a person watching a terminal;
// elsewhere (logs, pipes) nothing at all, so that they get the report alone.
class StatusLine {
  public:
    // Drawn only when wanted and standard error is a terminal.
    explicit StatusLine(bool wanted = true);
    bool shown() const { return shown_; }
    // Draws text over what is there, unless it is what is there already.
    void show(const QByteArray& text);
    // Clears the line for other output to the same terminal; the next show draws it again.
    void wipe();
    // What ends the line: "\n" keeps it on the screen, "\r\033[K" wipes it.
    void end(const char* ending);

  private:
    bool shown_;
    QByteArray drawn_;
};
