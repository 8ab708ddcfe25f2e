// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressBar.h"

#include <QAccessibleWidget>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kFrameMs = 33;
constexpr qsizetype kShownChars = 300;

// Qt gives screen readers the bar's percentage as its value; what the bar
// tells is its text, so that is the value they read. Qt's bridge to AT-SPI
// passes on only the number, so the text is the bar's description as well.
class ProgressBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit ProgressBarAccessible(ProgressBar* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value || type == QAccessible::Description)
            return bar()->text();
        return QAccessibleWidget::text(type);
    }
    QVariant currentValue() const override { return bar()->value(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return 0; }

  private:
    ProgressBar* bar() const { return static_cast<ProgressBar*>(widget()); }
};

QAccessibleInterface* Accessible(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<ProgressBar*>(object))
        return new ProgressBarAccessible(bar);
    return nullptr;
}
} // namespace

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    static const bool accessible = [] {
        QAccessible::installFactory(Accessible);
        return true;
    }();
    Q_UNUSED(accessible);
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
        if (QAccessible::isActive()) {
            QAccessibleValueChangeEvent changed(this, shown);
            QAccessible::updateAccessibility(&changed);
            QAccessibleEvent described(this, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&described);
        }
    }
    setValue(shown);
}
