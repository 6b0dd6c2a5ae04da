// The command line of ombrix, read before any window (or display) exists, so that --help and
// --version answer on a terminal without a desktop.
#pragma once

#include <QString>
#include <QStringList>

namespace ombrix {

struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    QString file; // the forms settings file to open at start, or empty
    // "--remote[=PORT]": start with remote control on, at PORT (0: the saved port).
    bool remote = false;
    quint16 remotePort = 0;
    QString error; // one line, when refused
};

// Reads the arguments (the program's name first). Qt's own options (-platform, -style, ...)
// pass through untouched for QApplication.
CommandLine parseCommandLine(const QStringList& arguments);

// The --help text, starting "Usage: ombrix [options] [file]".
QString commandLineHelp();

// "ombrix X.Y.Z".
QString commandLineVersion();

} // namespace ombrix
