// Command line of ombrix-devsim.
#pragma once

#include "core/device/simgenerator.h"

#include <string>

namespace ombrix::devsim {

struct Options {
    std::string link;      // symlink to the pseudo terminal, or empty
    std::string logFile;   // decoded frame log, or empty for stderr
    std::string stateFile; // JSON state written on every change, or empty
    SimFaults faults;
    bool split = false;       // send each reply in two pieces
    int splitGapMs = 50;      // pause between the pieces
    int lateMs = 0;           // delay before each reply
    bool pace = false;        // take line time at the speed the other side set
    int baud = 0;             // take line time at this speed (0: see pace)
    bool strictSpeed = false; // lose bytes sent at another speed than the device's
    int blockIdleMs = 250;    // quiet time that ends a block cut short
    SimSettings settings;
    bool help = false;
    bool version = false; // print the program's version
};

// Parses argv; on a bad option returns false with `error` set.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

// The --help text.
const char* usageText();

} // namespace ombrix::devsim
