#include "ProgressBar.h"

#include <algorithm>
#include <cmath>

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void ProgressBar::setExactValue(double percent) {
    value_ = percent;
    const int shown = std::isnan(percent) ? 0 : int(std::lround(std::clamp(percent, 0.0, 100.0)));
    setValue(shown);
}

void ProgressBar::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    update();
}
