// Command line of ombrix-send and its exit codes.
#pragma once

#include "core/model/devicesettings.h"

#include <optional>
#include <string>
#include <vector>

namespace ombrix::send {

// Exit codes, as --help lists them.
enum ExitCode : int {
    ExitOk = 0,
    ExitUsage = 1,         // bad command line
    ExitFile = 2,          // unreadable or malformed settings file, or forms that cannot be sent
    ExitConnection = 3,    // the port does not open or the generator does not answer the test
    ExitTransfer = 4,      // a frame of the transfer, start or disconnect was not accepted
    ExitInterrupted = 130, // Ctrl-C stopped the transfer (its end frames were still sent)
};

struct Options {
    std::string file;                // the .set file
    DeviceSettings settings;         // PortName from --port, line speed and advanced settings
    std::optional<std::string> step; // sweep step [Hz]; the file does not hold it
    bool start = false;              // start Output 1 and every active output after sending
    bool disconnect = false;         // stop, turn the sweep off and return the device to 9600
    bool dryRun = false;             // print the frames instead of opening a port
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. On a fault returns false with `error` set to
// one line naming the argument. --help (then --version) wins over everything else.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// Line-speed index of a --baud value: a rate of the table (600 .. 57600) or an index 0..7;
// -1 for anything else.
int baudIndexOf(const std::string& text);

// The --help text.
const char* usageText();

} // namespace ombrix::send
