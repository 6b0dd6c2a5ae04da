// ombrix-send in-process: the command line, the frame splitter of --dry-run, the frames a dry
// run prints for a small file, and the exit codes of files and settings that cannot be sent.
#include "sendjob.h"
#include "sendoptions.h"

#include "core/device/frame.h"
#include "core/model/settingsfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace ombrix::send {
namespace {

TEST(SendOptions, ParsesTheCommandLine) {
    struct Case {
        std::vector<std::string> args;
        bool ok = false;
        std::string errorPart = "";
        std::string file = "", port = "";
        int baud = 4;
        bool start = false, disconnect = false, dryRun = false, help = false;
        std::string vref1 = "4096", vref2 = "4096", quartz = "20", instructions = "29";
    };
    const std::vector<Case> cases = {
        {{"a.set", "--port", "/dev/pts/3"}, true, "", "a.set", "/dev/pts/3"},
        {{"--port=/dev/x", "a.set", "--baud", "57600", "--start", "--disconnect"},
         true,
         "",
         "a.set",
         "/dev/x",
         7,
         true,
         true},
        {{"a.set", "--port", "p", "--baud=7"}, true, "", "a.set", "p", 7},
        {{"a.set", "--port", "p", "--baud", "600"}, true, "", "a.set", "p", 0},
        {{"a.set", "--port", "p", "--vref1", "2000", "--vref2=1000", "--quartz", "33",
          "--instructions", "0"},
         true,
         "",
         "a.set",
         "p",
         4,
         false,
         false,
         false,
         false,
         "2000",
         "1000",
         "33",
         "0"},
        {{"a.set", "--dry-run"}, true, "", "a.set", "COM1", 4, false, false, true},
        {{"--", "-odd.set", "--port", "p"}, false, "more than one settings file"},
        {{"--port", "p", "--", "-odd.set"}, true, "", "-odd.set", "p"},
        {{"--help", "--bogus"}, true, "", "", "COM1", 4, false, false, false, true},
        {{"a.set", "--port", "p", "--baud", "9601"}, false, "--baud 9601"},
        {{"a.set", "--port", "p", "--baud", "8"}, false, "--baud 8"},
        {{"a.set", "--port", "p", "--baud"}, false, "--baud needs a value"},
        {{"a.set", "--port", "p", "--vref1", "0"}, false, "--vref1 0"},
        {{"a.set", "--port", "p", "--vref2", "32769"}, false, "--vref2 32769"},
        {{"a.set", "--port", "p", "--vref1", "2.5"}, false, "--vref1 2.5"},
        {{"a.set", "--port", "p", "--quartz", "0"}, false, "--quartz 0"},
        {{"a.set", "--port", "p", "--instructions", "-1"}, false, "--instructions -1"},
        {{"a.set", "--port", "p", "--start=yes"}, false, "--start takes no value"},
        {{"a.set", "--port", ""}, false, "--port needs"},
        {{"a.set"}, false, "--port is needed"},
        {{"--port", "p"}, false, "no settings file"},
        {{"a.set", "b.set", "--port", "p"}, false, "more than one settings file"},
        {{"a.set", "--port", "p", "--speed", "3"}, false, "unknown option --speed"},
        {{"a.set", "--port", "p", "--step", "0"}, false, "--step 0"},
        {{"a.set", "--port", "p", "--step", "1,5"}, false, "--step 1,5"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args)
            joined += a + " ";
        Options o;
        std::string error;
        const bool ok = parseOptions(c.args, o, error);
        ASSERT_EQ(ok, c.ok) << joined << ": " << error;
        if (!ok) {
            EXPECT_NE(error.find(c.errorPart), std::string::npos) << joined << ": " << error;
            continue;
        }
        EXPECT_EQ(o.help, c.help) << joined;
        if (c.help)
            continue;
        EXPECT_EQ(o.file, c.file) << joined;
        EXPECT_EQ(o.settings.PortName, c.port) << joined;
        EXPECT_EQ(o.settings.BaudIndex, c.baud) << joined;
        EXPECT_EQ(o.start, c.start) << joined;
        EXPECT_EQ(o.disconnect, c.disconnect) << joined;
        EXPECT_EQ(o.dryRun, c.dryRun) << joined;
        EXPECT_EQ(o.settings.VRef1, c.vref1) << joined;
        EXPECT_EQ(o.settings.VRef2, c.vref2) << joined;
        EXPECT_EQ(o.settings.Quartz, c.quartz) << joined;
        EXPECT_EQ(o.settings.Instructions, c.instructions) << joined;
    }
}

TEST(FrameSplitter, CutsFramesAndBlocksFedInPieces) {
    std::vector<std::vector<std::uint8_t>> frames;
    FrameSplitter splitter([&](const std::vector<std::uint8_t>& f) { frames.push_back(f); });
    std::vector<std::uint8_t> stream;
    const auto add = [&](auto bytes) { stream.insert(stream.end(), bytes.begin(), bytes.end()); };
    add(systemFrame(SysCheck).wire());
    add(samplesHeader(0, 0, 3, 0x01).bytes);
    for (std::uint16_t w : {0x1000, 0x1001, 0x0FFF})
        add(wordBytes(w));
    add(std::array<std::uint8_t, 2>{0x12, 0x34});
    add(sweepOffFrame().wire());
    add(sweepHeader(SweepSingle, 40000, 5, 6).bytes);
    add(std::vector<std::uint8_t>(12, 0x77));
    add(std::array<std::uint8_t, 2>{0x56, 0x78});
    add(systemFrame(SysVersion).wire()); // the last frame is left one byte short

    for (std::size_t at = 0; at + 1 < stream.size(); at += 5)
        splitter.feed(
            std::span(stream).subspan(at, std::min<std::size_t>(5, stream.size() - 1 - at)));
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].size(), 14u);
    EXPECT_EQ(frames[1].size(), 12u + 6 + 2);
    EXPECT_EQ(frames[1].back(), 0x34);
    EXPECT_EQ(frames[2].size(), 14u);
    EXPECT_EQ(frames[3].size(), 12u + 12 + 2);
    EXPECT_EQ(frames[3].back(), 0x78);
    EXPECT_EQ(splitter.pending().size(), 13u);
    EXPECT_EQ(
        frameLine(frames[0]), "CmdSystem AA AA 00 00 00 00 00 00 00 00 00 55 " + [&] {
            char b[8];
            const auto t = systemFrame(SysCheck).trailer();
            std::snprintf(b, sizeof b, "%02X %02X", t[0], t[1]);
            return std::string(b);
        }());
}

// A scratch .set file removed at the end.
class SetFile {
  public:
    explicit SetFile(const FormsConfig& forms) {
        char name[] = "/tmp/ombrix-send-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        const auto bytes = encodeForms(forms);
        if (fd >= 0) {
            [[maybe_unused]] auto n = ::write(fd, bytes.data(), bytes.size());
            close(fd);
        }
    }
    ~SetFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Output 1 sine, output 3 pulse: 16 samples each at 1000 Hz.
FormsConfig smallForms() {
    FormsConfig f = startupForms();
    f.General.NumOfSam = "16";
    f.General.Freq = "1000";
    f.General.Active[2] = true;
    f.Outputs[0].Harmonics[0] = {"1,5", "0", true}; // a file from a "," machine
    f.Outputs[2].Form = FormKind::Pulse;
    f.Outputs[2].Pulse = {"2", "-1", "25", "10", "25", "10"};
    return f;
}

struct RunResult {
    int code;
    std::vector<std::string> out;
    std::string err;
};

RunResult runWith(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    EXPECT_TRUE(parseOptions(args, o, error)) << error;
    std::ostringstream out, err;
    RunResult r;
    r.code = run(o, out, err, false);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        r.out.push_back(line);
    r.err = err.str();
    return r;
}

std::string nameOf(const std::string& line) {
    return line.substr(0, line.find(' '));
}

TEST(SendDryRun, PrintsEveryFrameOfConnectSendStartAndDisconnect) {
    const SetFile file(smallForms());
    const RunResult r = runWith({file.path(), "--dry-run", "--start", "--disconnect"});
    ASSERT_EQ(r.code, ExitOk) << r.err;
    const std::vector<std::string> names = {
        "CmdSystem",    "CmdLineSpeed", "CmdSystem",                  // connect
        "CmdRunMask",   "CmdSweep",     "CmdSamples",   "CmdSamples", // transfer
        "CmdFrequency", "CmdReference", "CmdSweep",                   //
        "CmdRunMask",                                                 // --start
        "CmdRunMask",   "CmdSweep",     "CmdLineSpeed",               // --disconnect
    };
    ASSERT_EQ(r.out.size(), names.size()) << r.err;
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(nameOf(r.out[i]), names[i]) << i << ": " << r.out[i];
    EXPECT_EQ(r.out[0].substr(0, 45), "CmdSystem AA AA 00 00 00 00 00 00 00 00 00 55");
    // Sample blocks: header (output, ordinal, N = 16, mask 0x05), 16 words, trailer.
    EXPECT_EQ(r.out[5].substr(0, 46), "CmdSamples AA AA 01 00 00 00 10 05 00 00 00 55");
    EXPECT_EQ(r.out[6].substr(0, 46), "CmdSamples AA AA 01 02 01 00 10 05 00 00 00 55");
    EXPECT_EQ(r.out[5].size(), std::string("CmdSamples").size() + 3 * (14 + 2 * 16));
    // Start: Output 1 and Output 3.
    EXPECT_EQ(r.out[10].substr(0, 46), "CmdRunMask AA AA 04 05 00 00 00 00 00 00 00 55");
    EXPECT_NE(r.err.find("14 frames."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Sent 16 samples of outputs 1, 3, frequency 1000 Hz"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Sending: 100 %"), std::string::npos) << r.err;
}

TEST(SendDryRun, SweepFrameCarriesTheTableAndOutputOneSamplesFollowTheFile) {
    FormsConfig f = smallForms();
    f.General.SwapEnabled = true;
    f.General.StartFreq = "1000";
    f.General.StopFreq = "1200";
    f.General.Step = "100";
    f.General.Time = "5";
    const SetFile file(f);
    // The step is not part of the file; without --step the sweep would have 201 steps.
    const RunResult r = runWith({file.path(), "--dry-run", "--baud", "57600", "--step", "100"});
    ASSERT_EQ(r.code, ExitOk) << r.err;
    ASSERT_EQ(r.out.size(), 10u);
    EXPECT_EQ(r.out[1].substr(0, 48), "CmdLineSpeed AA AA 06 07 00 00 00 00 00 00 00 55");
    // Three steps of three words each.
    const std::string& sweep = r.out[9];
    EXPECT_EQ(sweep.substr(0, 13), "CmdSweep AA A");
    EXPECT_EQ(sweep.size(), std::string("CmdSweep").size() + 3 * (14 + 2 * 9));

    std::string error;
    FormsConfig loaded = *loadForms(file.path(), error);
    loaded.General.Step = "100";
    const auto prepared = prepareSend(loaded, Options{}.settings, error);
    ASSERT_TRUE(prepared) << error;
    // 1.5 V sine: sample 4 of 16 is the crest, 1500 codes of 1 mV above 0x1000.
    const auto words = sampleWords(prepared->input, prepared->plan, 0);
    EXPECT_EQ(words[0], 0x1000);
    EXPECT_EQ(words[4], 0x1000 + 1500);
    EXPECT_EQ(prepared->plan.sweepWords.size(), 9u);
}

TEST(SendRun, RefusesFilesAndFormsBeforeOpeningAPort) {
    FormsConfig badEquation = smallForms();
    badEquation.General.Active[3] = true;
    badEquation.Outputs[3].Form = FormKind::Equation;
    badEquation.Outputs[3].Equation = "sin(X";
    FormsConfig tooMany = smallForms();
    tooMany.General.NumOfSam = "4097"; // two active outputs hold 4096 each
    FormsConfig tooFast = smallForms();
    tooFast.General.Freq = "1000000";
    const SetFile equationFile(badEquation), manyFile(tooMany), fastFile(tooFast);

    char shortName[] = "/tmp/ombrix-send-short-XXXXXX";
    const int fd = mkstemp(shortName);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    close(fd);

    const struct {
        std::string file;
        std::string errPart;
    } cases[] = {
        {"/nonexistent/forms.set", "cannot read"},
        {"/dev/null", "cannot read \"/dev/null\": it is a device, not a file"},
        {shortName, "is not a forms settings file"},
        {equationFile.path(), "Output 4 cannot be calculated"},
        {manyFile.path(), "from 1 to 4096 (2 active outputs)"},
        {fastFile.path(), "cannot be sent"},
    };
    for (const auto& c : cases) {
        // A port that does not exist: reaching it would give exit code 3.
        const RunResult r = runWith({c.file, "--port", "/nonexistent/tty"});
        EXPECT_EQ(r.code, ExitFile) << c.file << ": " << r.err;
        EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    std::remove(shortName);
}

TEST(SendRun, MissingPortIsAConnectionFailure) {
    const SetFile file(smallForms());
    const RunResult r = runWith({file.path(), "--port", "/nonexistent/tty"});
    EXPECT_EQ(r.code, ExitConnection) << r.err;
    EXPECT_NE(r.err.find("no connection to the generator on /nonexistent/tty"), std::string::npos)
        << r.err;
}

} // namespace
} // namespace ombrix::send
