// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorTrap.h"

#include "Desktop.h"

#include <utility>

namespace {
const QString kProject = QStringLiteral("Lexigrove");
const QString kBuildStamp = QStringLiteral("2021/08/31");
const QString kSupportLine =
    QStringLiteral("Please email screenshot of this message to support@lexigrove.org");
const QString kReportTitle = QStringLiteral("Application Error");
} // namespace

ErrorTrap::ErrorTrap(Desktop& desktop, QString object, QString routine)
    : desktop_(desktop), object_(std::move(object)), routine_(std::move(routine)) {}

QString ErrorTrap::locationText() const {
    return QStringLiteral("in ") + kProject + kBuildStamp + u'.' + object_ + u'.' + routine_ + u' ';
}

QString ErrorTrap::reportText(const QString& description, const QString& locationText,
                              int lineNumber) {
    return description + QStringLiteral("\r\n") + locationText + QStringLiteral("at line ") +
           QString::number(lineNumber) + QStringLiteral("\r\r") + kSupportLine;
}

void ErrorTrap::report(const QString& description) {
    desktop_.messageBox(reportText(description, locationText(), line_), Desktop::Exclamation,
                        kReportTitle);
}
