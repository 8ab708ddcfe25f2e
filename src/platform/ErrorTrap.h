// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppError.h"

#include <QString>
#include <exception>
#include <new>

class Desktop;

// The error trap of a handler. Each numbered statement runs through line()
// (or test() for the test of a conditional); a failure shows the
// "Application Error" report naming the routine and the line, and the
// handler goes on with its next statement, as the user has always seen it.
class ErrorTrap {
  public:
    ErrorTrap(Desktop& desktop, QString object, QString routine);

    // Returns false when the statement failed (and was reported), so that a
    // handler can skip work that depends on it.
    template <class Statement> bool line(int number, Statement&& statement) {
        line_ = number;
        try {
            statement();
            return true;
        } catch (const AppError& e) {
            report(e.description());
        } catch (const std::bad_alloc&) {
            report(QStringLiteral("Out of memory"));
        } catch (const std::exception& e) {
            report(QString::fromUtf8(e.what()));
        }
        return false;
    }

    // A test that fails counts as true: after the report the guarded
    // statements run, as they always did.
    template <class Condition> bool test(int number, Condition&& condition) {
        bool result = true;
        line(number, [&] { result = condition(); });
        return result;
    }

    int lineNumber() const { return line_; }
    QString locationText() const;

    // The whole text of the report, CR LF after the description and two bare
    // CRs before the support line.
    static QString reportText(const QString& description, const QString& locationText,
                              int lineNumber);

  private:
    void report(const QString& description);

    Desktop& desktop_;
    QString object_;
    QString routine_;
    int line_ = 0;
};
