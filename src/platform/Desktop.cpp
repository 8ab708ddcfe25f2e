// SPDX-License-Identifier: GPL-3.0-or-later
#include "Desktop.h"

#include "AppError.h"

void Desktop::letEventsRun() {
    processEvents();
    unwindIfClosing();
}

void Desktop::unwindIfClosing() const {
    if (closing_)
        throw ClosingSignal{};
}
