// Opening the device port with the user told about a failure.
#pragma once

#include "core/device/serialport.h"
#include "core/device/userinterface.h"

#include <string>

namespace ombrix {

inline constexpr const char* kOpenFailedText = "Niewłaściwa nazwa portu lub port jest aktywny.";
inline constexpr const char* kOpenFailedCaption = "Błąd";

// OpenPort(name, baudIndex); when it fails shows kOpenFailedText (caption kOpenFailedCaption,
// error icon) and returns false with the port closed.
bool openPortOrReport(SerialPort& port, const std::string& name, int baudIndex, UserInterface& ui);

} // namespace ombrix
