#pragma once

#include <QProgressBar>

// A progress bar that shows the program's own text, exactly (no %-codes),
// and keeps the exact value it was given while drawing at most 100.
class ProgressBar : public QProgressBar {
    Q_OBJECT
  public:
    explicit ProgressBar(QWidget* parent = nullptr);

    double exactValue() const { return value_; }
    void setExactValue(double percent);

    QString text() const override { return text_; }
    void setText(const QString& text);

  private:
    double value_ = 0;
    QString text_;
};
