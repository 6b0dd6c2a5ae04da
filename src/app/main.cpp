// Program entry: splash window, the main window (which creates the other windows hidden, in
// order), a 2000 ms pause, then the main window and the event loop.
#include "app/apptitle.h"
#include "app/formsdocument.h"
#include "app/ombrix.h"
#include "core/compute/vectorstate.h"
#include "gui/common/localfiles.h"
#include "gui/dialogs/splashscreen.h"

#include <QApplication>
#include <QMessageBox>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ombrix::clearUpperVectorState(); // Qt's start-up may leave it dirty (see vectorstate.h)
    // Decoded as file names: a name that is not UTF-8 keeps its bytes.
    QStringList arguments = ombrix::fileSystemArguments(argc, argv);
    QString remoteError; // "--remote[=PORT]" starts with remote control on
    const auto remote = ombrix::takeRemoteOption(arguments, remoteError);
    if (!remoteError.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(remoteError));
        return 1;
    }
    try {
        auto splash = std::make_unique<ombrix::TSplashScreen>();
        splash->showPainted(); // nothing else is painted until the pause ends

        ombrix::setApplicationTitle();

        ombrix::TOmbrix mainWindow;

        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        splash.reset();

        mainWindow.show();
        // "ombrix FILE.set" (as the desktop starts it for a file) opens the file as Open
        // would, once the window is up so that a refusal shows over it.
        mainWindow.remote().apply(remote ? *remote : ombrix::RemoteChoice::load());
        if (arguments.size() > 1)
            QMetaObject::invokeMethod(
                &mainWindow,
                [&mainWindow, name = arguments.at(1)] { mainWindow.document().openFile(name); },
                Qt::QueuedConnection);
        QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Ombrix", e.what());
    }
    return 0;
}
