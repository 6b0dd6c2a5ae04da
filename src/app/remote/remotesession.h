// One remote client's state as the commands see it: its error queue and the device commands
// it started that have not ended yet (*OPC? and *WAI wait for them).
#pragma once

#include "core/remote/scpiparser.h"

#include <functional>

namespace ombrix {

struct RemoteSession {
    scpi::ErrorQueue errors;
    int pendingOperations = 0;
    // Called when the last pending operation has ended.
    std::function<void()> operationsEnded;
};

} // namespace ombrix
