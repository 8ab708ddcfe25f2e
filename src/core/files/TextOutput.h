// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Where a format writer's text goes: a file being published, or the command
// line's output. Texts are written in the system's 8-bit encoding; text
// already in UTF-8 goes out as it is on a UTF-8 system.
class TextOutput {
  public:
    virtual ~TextOutput() = default;
    virtual void write(const QString& text) = 0;
    virtual void writeUtf8(const QByteArray& text) = 0;
};
