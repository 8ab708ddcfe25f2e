#include "Desktop.h"

#include "AppError.h"

void Desktop::letEventsRun() {
    processEvents();
    if (closing_)
        throw ClosingSignal{};
}
