#include "gui/device/serialportlist.h"

#include "core/device/simport.h"

#include <QSerialPortInfo>

namespace ombrix {

QStringList ListSerialPorts() {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        if (!name.isEmpty() && !names.contains(name) && name != QLatin1String(kSimulatorPortName))
            names.append(name);
    }
    names.append(QString::fromLatin1(kSimulatorPortName));
    return names;
}

} // namespace ombrix
