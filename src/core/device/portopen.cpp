#include "core/device/portopen.h"

namespace ombrix {

bool openPortOrReport(SerialPort& port, const std::string& name, int baudIndex, UserInterface& ui) {
    if (port.OpenPort(name, baudIndex))
        return true;
    ui.ShowMessage(kOpenFailedText, kOpenFailedCaption, MessageIcon::Error);
    return false;
}

} // namespace ombrix
