// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProgressBar>
#include <QTimer>

// A progress bar that shows the program's own text, exactly (no %-codes),
// and keeps the exact value it was given while drawing at most 100.
//
// Long operations set value and text once per item, thousands of times a
// second; drawing each would cost more than the work itself. The bar keeps
// what was set at once and draws the latest of it at screen rate.
class ProgressBar : public QProgressBar {
    Q_OBJECT
  public:
    explicit ProgressBar(QWidget* parent = nullptr);

    // What the program set last.
    double exactValue() const { return value_; }
    const QString& currentText() const { return text_; }
    void setExactValue(double percent);
    void setText(const QString& text);

    // What the bar shows now: the latest text, or the start of a very long one.
    QString text() const override { return shownText_; }

  private:
    void scheduleRedraw();
    void showLatest();

    double value_ = 0;
    QString text_;
    QString shownText_;
    QTimer redraw_;
};
