#include "ProgressBar.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kFrameMs = 33;
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
    if (shownText_ != text_) {
        shownText_ = text_;
        update();
    }
    setValue(shown);
}
