// The serial ports the settings dialog offers: the system's ports, then the simulated
// generator's port "Simulator" last.
#pragma once

#include <QStringList>

namespace ombrix {

// Port names as TermiosPort takes them ("ttyS0", "ttyUSB0", ...), each once, followed by
// "Simulator". With no serial port on the system the list holds only "Simulator".
QStringList ListSerialPorts();

} // namespace ombrix
