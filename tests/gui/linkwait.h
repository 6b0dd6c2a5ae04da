// Waiting for the device link in GUI tests: the commands run on the link thread, and their
// reports reach the window through its event loop.
#pragma once

#include "app/devicelink.h"
#include "app/ombrix.h"
#include "gui/device/devicecontroller.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace ombrix::testkit {

// Runs the events until the link has done every command asked of it and their outcomes have
// reached the window (at most `limitMs`); false when it has not.
inline bool waitForLink(DeviceController& device, int limitMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!device.idle() && t.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
    return device.idle();
}

inline bool waitForLink(TOmbrix& window, int limitMs = 30000) {
    return waitForLink(window.link().device(), limitMs);
}

} // namespace ombrix::testkit
