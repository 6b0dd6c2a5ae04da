// Program entry: the command line (read before anything needs a display), splash window, the
// main window (which creates the other windows hidden, in order), a 2000 ms pause, then the
// main window and the event loop.
#include "app/apptitle.h"
#include "app/commandline.h"
#include "app/formsdocument.h"
#include "app/ombrix.h"
#include "app/quitsignals.h"
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
    // Decoded as file names: a name that is not UTF-8 keeps its bytes.
    const ombrix::CommandLine commandLine =
        ombrix::parseCommandLine(ombrix::fileSystemArguments(argc, argv));
    switch (commandLine.action) {
    case ombrix::CommandLine::Action::ShowHelp:
        std::fputs(qPrintable(ombrix::commandLineHelp()), stdout);
        return 0;
    case ombrix::CommandLine::Action::ShowVersion:
        std::puts(qPrintable(ombrix::commandLineVersion()));
        return 0;
    case ombrix::CommandLine::Action::Refuse:
        std::fprintf(stderr, "ombrix: %s\n%s", qPrintable(commandLine.error),
                     qPrintable(ombrix::commandLineHelp()));
        return 2;
    case ombrix::CommandLine::Action::Run:
        break;
    }

    QApplication app(argc, argv);
    ombrix::clearUpperVectorState(); // Qt's start-up may leave it dirty (see vectorstate.h)
    try {
        auto splash = std::make_unique<ombrix::TSplashScreen>();
        splash->showPainted(); // nothing else is painted until the pause ends

        ombrix::setApplicationTitle();

        ombrix::TOmbrix mainWindow;
        const ombrix::QuitSignals quitSignals(mainWindow); // SIGTERM, SIGINT, SIGHUP

        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        splash.reset();

        mainWindow.show();
        // "ombrix FILE.set" (as the desktop starts it for a file) opens the file as Open
        // would, once the window is up so that a refusal shows over it.
        // The saved choice, or "--remote[=PORT]" (which is not saved).
        mainWindow.remote().apply(commandLine.remote
                                      ? ombrix::remoteChoiceFromCommandLine(commandLine.remotePort)
                                      : ombrix::RemoteChoice::load());
        if (!commandLine.file.isEmpty())
            QMetaObject::invokeMethod(
                &mainWindow,
                [&mainWindow, name = commandLine.file] { mainWindow.document().openFile(name); },
                Qt::QueuedConnection);
        QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Ombrix", e.what());
    }
    return 0;
}
