// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <stdexcept>

// A failure that the user is shown in the error report. The text must read
// well on its own: it is the first line of the report.
class AppError : public std::runtime_error {
  public:
    explicit AppError(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    // As given: a file name that is not UTF-8 keeps its bytes (NameFromNative).
    QString description() const { return description_; }

  private:
    QString description_;
};

// Thrown by an event yield once the window has closed, so that an operation
// suspended in the yield unwinds without running another step. Deliberately
// not a std::exception: error traps must let it pass.
struct ClosingSignal {};
