// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The progress bar that long operations write: a value on a 0 to 100 scale
// and a text shown on the bar.
class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    virtual void setProgressValue(double percent) = 0;
    virtual void setProgressText(const QString& text) = 0;
};

// The window's pointer mode (see PointerMode.h): long operations show the
// busy pointer while they run, and handlers that must idle meanwhile ask.
class PointerControl {
  public:
    virtual ~PointerControl() = default;
    virtual int pointerMode() const = 0;
    virtual void setPointerMode(int mode) = 0;
};
