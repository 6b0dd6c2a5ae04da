#include "core/device/serialport.h"

#include <algorithm>

namespace ombrix {

int baudForIndex(int baudIndex) {
    if (baudIndex < 0 || baudIndex >= static_cast<int>(kBaudTable.size()))
        return kBaudTable[kStartBaudIndex];
    return kBaudTable[static_cast<std::size_t>(baudIndex)];
}

std::size_t SerialPort::ReadAvailable(std::size_t maxCount) {
    return ReadInto(receiveBuffer_.data(), std::min(maxCount, kReceiveBufferSize));
}

} // namespace ombrix
