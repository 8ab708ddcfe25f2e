// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressBar.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kFrameMs = 33;
constexpr qsizetype kShownChars = 300;
} // namespace

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    redraw_.setSingleShot(true);
    redraw_.setInterval(kFrameMs);
    connect(&redraw_, &QTimer::timeout, this, &ProgressBar::showLatest);
}

void ProgressBar::setExactValue(double percent) {
    value_ = percent;
    scheduleRedraw();
}

void ProgressBar::setText(const QString& text) {
    text_ = text;
    scheduleRedraw();
}

void ProgressBar::scheduleRedraw() {
    if (!isVisible())
        showLatest(); // nothing to draw yet, so nothing to save
    else if (!redraw_.isActive())
        redraw_.start();
}

void ProgressBar::showLatest() {
    const int shown = std::isnan(value_) ? 0 : int(std::lround(std::clamp(value_, 0.0, 100.0)));
    // The bar has room for one short line. Laying out a text of megabytes (a
    // word from a file of one long line) would cost the window half a
    // minute and gigabytes, so it shows the start of such a text.
    QString text = text_;
    if (text.size() > kShownChars) {
        const qsizetype cut =
            text.at(kShownChars - 1).isHighSurrogate() ? kShownChars - 1 : kShownChars;
        text = text.left(cut) + QChar(0x2026);
    }
    if (shownText_ != text) {
        shownText_ = text;
        update();
    }
    setValue(shown);
}
