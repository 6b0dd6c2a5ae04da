// ombrix-send: sends a forms settings file to the generator from the command line.
#include "sendjob.h"
#include "sendoptions.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

namespace {

// Ctrl-C during the transfer stops it cleanly; at any other moment it ends the program.
void onInterrupt(int sig) {
    if (!ombrix::send::interruptTransfer()) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
}

} // namespace

int main(int argc, char** argv) {
    using namespace ombrix::send;
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    std::string error;
    if (!parseOptions(args, options, error)) {
        std::cerr << "ombrix-send: " << error << "\nTry 'ombrix-send --help'.\n";
        return ExitUsage;
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    return run(options, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
