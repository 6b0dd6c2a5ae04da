#include "devsimoptions.h"

#include <cstdlib>
#include <limits>
#include <string_view>

namespace ombrix::devsim {

namespace {

bool toLong(const char* text, long min, long max, long& out) {
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end != '\0' || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool toDouble(const char* text, double min, double max, double& out) {
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*end != '\0' || !(v >= min && v <= max))
        return false;
    out = v;
    return true;
}

} // namespace

const char* usageText() {
    return "Usage: ombrix-devsim [options]\n"
           "Simulated Ombrix generator on a pseudo terminal. Prints the terminal's path on\n"
           "stdout (one line), then answers frames until SIGTERM or SIGINT.\n"
           "\n"
           "  --link PATH        also make PATH a symbolic link to the terminal\n"
           "  --log FILE         write the decoded frame log to FILE (default: stderr)\n"
           "  --state FILE       write the generator's state as JSON to FILE on every change\n"
           "  --device-version TEXT\n"
           "                     version string the generator reports (7 characters at most;\n"
           "                     default SIM 1.0)\n"
           "  --quartz MHZ       DSP quartz used for the played frequency (default 20)\n"
           "  --instructions N   DSP instructions per sample (default 29)\n"
           "  --baud RATE        the line runs at RATE baud (300..4000000): every byte received\n"
           "                     or sent takes its line time, 10 bits per byte, whatever speed\n"
           "                     the other side set. Use it wherever true line times matter.\n"
           "  --pace             as --baud, at the speed the other side set on the terminal\n"
           "  --strict-speed     lose bytes sent at another line speed than the device listens\n"
           "                     at, as a real line garbles them (default: any speed is heard).\n"
           "                     The speed is read when the bytes are read: reopening at\n"
           "                     another speed right after a write may lose that write.\n"
           "  --block-idle MS    quiet time that ends a block cut short (default 250)\n"
           "Fault injection:\n"
           "  --silent           never reply\n"
           "  --bad-crc          reply with a wrong CRC\n"
           "  --bad-format       reply with byte 2 = 1 (its CRC matching)\n"
           "  --status N         reply with status byte N (1..255)\n"
           "  --split            send each reply in two pieces, --split-gap MS apart\n"
           "  --split-gap MS     gap between the pieces (default 50)\n"
           "  --late MS          send each reply MS milliseconds late\n"
           "  --stop-after N     reply to the first N frames only, then stay silent\n"
           "Line faults:\n"
           "  --noise-every N    send one random byte of line noise before every Nth reply\n"
           "  --garble P         flip one bit of the CRC in a fraction P (0..1) of the frames\n"
           "                     received, so that they are answered with status 1 (CRC invalid)\n"
           "  --seed N           seed of the random noise bytes and garbled frames (default 1)\n"
           "  --help             show this text\n"
           "  --version          print the version of ombrix-devsim and exit\n";
}

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        auto needs = [&](bool ok) {
            if (!ok)
                error = "bad or missing value for " + std::string(arg);
            else
                ++i;
            return ok;
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--link") {
            if (!needs(value != nullptr))
                return false;
            o.link = value;
        } else if (arg == "--log") {
            if (!needs(value != nullptr))
                return false;
            o.logFile = value;
        } else if (arg == "--state") {
            if (!needs(value != nullptr))
                return false;
            o.stateFile = value;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--device-version") {
            if (!needs(value != nullptr))
                return false;
            o.settings.version = value;
        } else if (arg == "--quartz") {
            if (!needs(toDouble(value, std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::max(), o.settings.quartzMHz)))
                return false;
        } else if (arg == "--instructions") {
            if (!needs(toLong(value, 0, 1000000, n)))
                return false;
            o.settings.instructions = static_cast<double>(n);
        } else if (arg == "--pace") {
            o.pace = true;
        } else if (arg == "--baud") {
            if (!needs(toLong(value, 300, 4000000, n)))
                return false;
            o.baud = static_cast<int>(n);
        } else if (arg == "--strict-speed") {
            o.strictSpeed = true;
        } else if (arg == "--block-idle") {
            if (!needs(toLong(value, 1, 60000, n)))
                return false;
            o.blockIdleMs = static_cast<int>(n);
        } else if (arg == "--silent") {
            o.faults.silent = true;
        } else if (arg == "--bad-crc") {
            o.faults.badCrc = true;
        } else if (arg == "--bad-format") {
            o.faults.badFormat = true;
        } else if (arg == "--status") {
            if (!needs(toLong(value, 1, 255, n)))
                return false;
            o.faults.status = static_cast<std::uint8_t>(n);
        } else if (arg == "--split") {
            o.split = true;
        } else if (arg == "--split-gap") {
            if (!needs(toLong(value, 0, 60000, n)))
                return false;
            o.splitGapMs = static_cast<int>(n);
        } else if (arg == "--late") {
            if (!needs(toLong(value, 0, 600000, n)))
                return false;
            o.lateMs = static_cast<int>(n);
        } else if (arg == "--stop-after") {
            if (!needs(toLong(value, 0, 1000000000, n)))
                return false;
            o.faults.stopAfter = n;
        } else if (arg == "--noise-every") {
            if (!needs(toLong(value, 1, 1000000000, n)))
                return false;
            o.faults.noiseEvery = n;
        } else if (arg == "--garble") {
            if (!needs(toDouble(value, 0, 1, o.faults.garble)))
                return false;
        } else if (arg == "--seed") {
            if (!needs(toLong(value, 0, 4294967295L, n)))
                return false;
            o.faults.seed = static_cast<std::uint32_t>(n);
        } else {
            error = "unknown option " + std::string(arg);
            return false;
        }
    }
    return true;
}

} // namespace ombrix::devsim
