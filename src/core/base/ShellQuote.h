// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Names and values shown in a message, made safe for a terminal the way GNU tools show them:
// a text holding control characters (C0, DEL, C1) or bytes that are not UTF-8 (kept by
// NameFromNative) is written in shell quotes with those characters escaped,
// 'evil'$'\033''[31m', so that nothing reaches the terminal as a command and a newline cannot
// forge a line of its own. Pasted into a shell, it gives back the same bytes.

// The text as it is when it is clean, quoted as above when not.
QString ShownText(const QString& text);
// The text between single quotes when it is clean, quoted as above when not.
QString QuotedText(const QString& text);
