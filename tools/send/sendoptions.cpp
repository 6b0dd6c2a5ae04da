#include "sendoptions.h"

#include "core/model/numbertext.h"

#include "core/device/serialport.h"

#include <algorithm>
#include <optional>

namespace ombrix::send {

namespace {

// A whole number in [low, high], as the settings dialog reads its texts.
bool wholeIn(const std::string& text, long low, long high) {
    const std::optional<long> v = wholeNumber(text);
    return v && *v >= low && *v <= high;
}

} // namespace

int baudIndexOf(const std::string& text) {
    const std::optional<long> v = wholeNumber(text);
    if (!v)
        return -1;
    if (*v >= 0 && *v < static_cast<long>(kBaudTable.size()))
        return static_cast<int>(*v);
    const auto it = std::find(kBaudTable.begin(), kBaudTable.end(), *v);
    return it == kBaudTable.end() ? -1 : static_cast<int>(it - kBaudTable.begin());
}

bool parseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    o = Options{};
    bool portGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || arg == "-") {
            if (!o.file.empty()) {
                error = "more than one settings file: \"" + o.file + "\" and \"" + arg + "\"";
                return false;
            }
            o.file = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return true;
        }
        if (arg == "--version")
            o.version = true;
        if (o.version)
            continue; // a later --help still wins
        // "--name=value" or "--name value".
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        const auto flag = [&](bool& target) {
            if (inlineValue) {
                error = arg + " takes no value";
                return false;
            }
            target = true;
            return true;
        };
        const auto value = [&](std::string& target) {
            if (inlineValue) {
                target = *inlineValue;
            } else if (i + 1 < args.size()) {
                target = args[++i];
            } else {
                error = arg + " needs a value";
                return false;
            }
            return true;
        };
        if (arg == "--start") {
            if (!flag(o.start))
                return false;
        } else if (arg == "--disconnect") {
            if (!flag(o.disconnect))
                return false;
        } else if (arg == "--dry-run") {
            if (!flag(o.dryRun))
                return false;
        } else if (arg == "--port") {
            if (!value(o.settings.PortName))
                return false;
            if (o.settings.PortName.empty()) {
                error = "--port needs a device path or name";
                return false;
            }
            portGiven = true;
        } else if (arg == "--baud") {
            std::string text;
            if (!value(text))
                return false;
            o.settings.BaudIndex = baudIndexOf(text);
            if (o.settings.BaudIndex < 0) {
                error = "--baud " + text +
                        ": not one of 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600 (or 0..7)";
                return false;
            }
        } else if (arg == "--vref1" || arg == "--vref2") {
            std::string& target = arg == "--vref1" ? o.settings.VRef1 : o.settings.VRef2;
            if (!value(target))
                return false;
            // 2 x VRef - 1 must fit the 16-bit reference code.
            if (!wholeIn(target, 1, 32768)) {
                error = arg + " " + target + ": not a whole number of millivolts from 1 to 32768";
                return false;
            }
        } else if (arg == "--step") {
            std::string text;
            if (!value(text))
                return false;
            const auto hz = parseNumber(text, '.');
            if (!hz || !(*hz > 0)) {
                error = "--step " + text + ": not a number of Hz above 0 (with \".\")";
                return false;
            }
            o.step = text;
        } else if (arg == "--quartz") {
            if (!value(o.settings.Quartz))
                return false;
            if (!wholeIn(o.settings.Quartz, 1, 1000000)) {
                error = "--quartz " + o.settings.Quartz + ": not a whole number of MHz above 0";
                return false;
            }
        } else if (arg == "--instructions") {
            if (!value(o.settings.Instructions))
                return false;
            if (!wholeIn(o.settings.Instructions, 0, 1000000000)) {
                error = "--instructions " + o.settings.Instructions +
                        ": not a whole number of 0 or more";
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (o.version)
        return true;
    if (o.file.empty()) {
        error = "no settings file given";
        return false;
    }
    if (!portGiven && !o.dryRun) {
        error = "--port is needed (or --dry-run)";
        return false;
    }
    return true;
}

const char* usageText() {
    return R"(Usage: ombrix-send FILE.set --port PATH [options]

Loads a forms settings file, computes one period of every active output exactly as
Ombrix does, connects to the generator, sends the samples, the frequency, the
reference voltages and the sweep table ("Send all"), and optionally starts the
outputs and disconnects.

  FILE.set              forms settings file saved by Ombrix (13920 bytes); "." or ","
                        may be the decimal separator of its numbers
  --port PATH           serial port: a device path (/dev/ttyUSB0, a pseudo terminal),
                        a bare name (ttyUSB0 = /dev/ttyUSB0) or COMn (= /dev/ttyS<n-1>)
  --baud N              line speed after connecting: 600, 1200, 2400, 4800, 9600,
                        19200, 38400 or 57600, or its index 0..7 (default 9600);
                        the connection test always starts at 9600
  --step HZ             sweep step in Hz (the settings file does not hold it; default 1,
                        the step Ombrix starts with); used only when the file's sweep is on
  --vref1 MV            reference voltage of outputs 1 and 2 in mV (default 4096)
  --vref2 MV            reference voltage of outputs 3 to 6 in mV (default 4096)
  --quartz MHZ          DSP quartz frequency in MHz (default 20)
  --instructions G      DSP instructions per sample (default 29)
  --start               after sending, start Output 1 and every active output
  --disconnect          at the end, stop the outputs, turn the sweep off and return
                        the generator to 9600 baud (otherwise the port is just closed
                        and the generator keeps its state and line speed)
  --dry-run             open no port: print every frame that would be sent, one per
                        line (command name, then the bytes in hex, CRC included),
                        answered by a simulated generator; --port is not needed
  --help                this text
  --version             print the version of ombrix-send and exit

Options take their value as "--opt VALUE" or "--opt=VALUE"; "--" ends the options.
Progress goes to standard error: a bar on a terminal, a line per 10 % otherwise.

Exit codes:
  0    sent (and started / disconnected as asked)
  1    bad command line
  2    the file cannot be read, is not a forms settings file, an equation cannot be
       calculated, or the forms cannot be sent (more samples than the device holds
       for the active outputs, a frequency or sweep the device cannot play)
  3    the port does not open or the generator does not answer the connection test
  4    the generator did not accept a frame of the transfer, the start or the
       disconnect
  130  interrupted (Ctrl-C) during the transfer: it stops as the Stop button stops
       it, still sending the block's end and the frequency, reference and sweep
       frames; nothing is started; --disconnect is still honoured. Ctrl-C at any
       other moment ends the program at once.
)";
}

} // namespace ombrix::send
