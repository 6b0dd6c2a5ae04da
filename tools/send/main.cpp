// ombrix-send: sends a forms settings file to the generator from the command line.
#include "sendjob.h"
#include "sendoptions.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace ombrix::send;
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    std::string error;
    if (!parseOptions(args, options, error)) {
        std::cerr << "ombrix-send: " << error << "\nTry 'ombrix-send --help'.\n";
        return ExitUsage;
    }
    return run(options, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
