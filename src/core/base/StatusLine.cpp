// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusLine.h"

#include <cstdio>
#include <unistd.h>

StatusLine::StatusLine(bool wanted) : shown_(wanted && isatty(STDERR_FILENO)) {}

void StatusLine::show(const QByteArray& text) {
    if (!shown_ || text == drawn_)
        return;
    drawn_ = text;
    std::fprintf(stderr, "\r%s", text.constData());
    std::fflush(stderr);
}

void StatusLine::wipe() {
    if (drawn_.isEmpty())
        return;
    drawn_.clear();
    end("\r\033[K");
}

void StatusLine::end(const char* ending) {
    if (!shown_)
        return;
    std::fputs(ending, stderr);
    std::fflush(stderr);
}
