// Round trips through a real pseudo terminal: the termios port on one side, ombrix-devsim on
// the other, with each of its reply faults.
#include "core/device/clock.h"
#include "core/device/protocol.h"
#include "core/device/termiosport.h"
#include "core/device/transfer.h"
#include "testkit/recordingui.h"

#include <gtest/gtest.h>

#include "../unit/commands_testkit.h"
#include "testkit/spawnline.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ombrix {
namespace {

using Words = std::vector<std::uint16_t>;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// One ombrix-devsim process with its own scratch directory; stopped with SIGTERM at the end.
class Devsim {
  public:
    explicit Devsim(std::vector<std::string> extra = {}) {
        char dir[] = "/tmp/ombrix-e2e-XXXXXX";
        dir_ = mkdtemp(dir) ? dir : "";
        std::vector<std::string> args = {OMBRIX_DEVSIM, "--log",  logPath(), "--state",
                                         statePath(),   "--link", linkPath()};
        args.insert(args.end(), extra.begin(), extra.end());
        pid_ = testkit::spawnReadingFirstLine(std::move(args), path_);
    }
    ~Devsim() {
        stop(SIGTERM);
        std::system(("rm -rf " + dir_).c_str());
    }

    const std::string& path() const { return path_; }
    std::string linkPath() const { return dir_ + "/port"; }
    std::string logPath() const { return dir_ + "/frames.log"; }
    std::string statePath() const { return dir_ + "/state.json"; }

    // Sends `sig` and returns the exit status (-1 when it did not exit normally).
    int stop(int sig) {
        if (pid_ <= 0)
            return exitCode_;
        kill(pid_, sig);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exitCode_;
    }

  private:
    std::string dir_;
    std::string path_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
};

class DevsimLink : public ::testing::Test {
  protected:
    bool openAt(const std::string& path, int baudIndex) {
        if (!port.OpenPort(path, baudIndex))
            return false;
        port.SetPortEvents();
        return true;
    }
    ReplyResult send(const CommandFrame& f, Exchange e = Exchange::Command) {
        return Transact(port, clock, ui, f, e);
    }
    ReplyResult sendBlock(const CommandFrame& header, const Words& words) {
        BlockWriter block(port, clock);
        block.writeHeader(header);
        for (std::uint16_t w : words)
            block.writeWord(w);
        return block.finish(ui);
    }

    TermiosPort port;
    Clock& clock = systemClock();
    RecordingUserInterface ui;
};

TEST_F(DevsimLink, RoundTripsEveryCommandThroughTheTerminal) {
    Devsim sim;
    ASSERT_FALSE(sim.path().empty());
    ASSERT_TRUE(openAt(sim.linkPath(), kStartBaudIndex)) << port.lastError();

    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
    EXPECT_EQ(send(systemFrame(SysVersion)), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "SIM 1.0");
    EXPECT_EQ(send(runMaskFrame(0, false)), ReplyOk);
    EXPECT_EQ(send(sweepOffFrame()), ReplyOk);
    Words samples;
    for (int j = 0; j < 16; ++j)
        samples.push_back(sampleCode(std::sin(j * 0.3927), sampleStep(4096)));
    EXPECT_EQ(sendBlock(samplesHeader(0, 0, 16, 0x03), samples), ReplyOk);
    EXPECT_EQ(sendBlock(samplesHeader(1, 1, 16, 0x03), Words(16, 0x1000)), ReplyOk);
    EXPECT_EQ(send(frequencyFrame(timingWords(50, 8192, 20, 29).words)), ReplyOk);
    EXPECT_EQ(send(referenceFrame(referenceCode(4096), referenceCode(2048))), ReplyOk);
    const SweepTable table = sweepTable(50, 55, 1, 16, 20, 29);
    ASSERT_TRUE(table.ok());
    BlockWriter sweep(port, clock);
    sweep.writeHeader(sweepHeader(SweepSingle, static_cast<std::uint16_t>(sweepCyclesPerMs(20)),
                                  100, table.wordCount));
    for (std::size_t k = 0; k < table.words.size(); k += 3)
        sweep.writeWords(std::span(table.words).subspan(k, 3));
    EXPECT_EQ(sweep.finish(ui), ReplyOk);
    EXPECT_EQ(send(runMaskFrame(0x03, false), Exchange::PanelRunMask), ReplyOk);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(port.ClosePort());

    const std::string state = readFile(sim.statePath());
    std::string codes = "\"codes\": [";
    for (std::size_t j = 0; j < samples.size(); ++j)
        codes += (j ? "," : "") + std::to_string(samples[j]);
    for (const std::string& part :
         {std::string("\"run_mask\": 3"),
          std::string("\"outer\": 1, \"inner\": 1, \"remainder\": 68"),
          std::string("\"reference_codes\": [8191, 4095]"), codes + "]",
          std::string("\"mode\": 1, \"cycles_per_ms\": 40000, \"step_time_ms\": 100"),
          std::string("\"frames_rejected\": 0")})
        EXPECT_NE(state.find(part), std::string::npos) << part << "\n" << state;
    const std::string log = readFile(sim.logPath());
    EXPECT_NE(log.find("CmdSamples output 1 ordinal 0 count 16 mask 0x03 words 16 crc ok"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("CmdFrequency outer 1 inner 1 remainder 68"), std::string::npos) << log;
}

// Waits (bounded) until the devsim's state file contains `part`.
bool stateShows(const Devsim& sim, const std::string& part) {
    for (int i = 0; i < 1000; ++i) {
        if (readFile(sim.statePath()).find(part) != std::string::npos)
            return true;
        systemClock().Sleep(10);
    }
    return false;
}

TEST_F(DevsimLink, FollowsTheLineSpeedItIsTold) {
    Devsim sim({"--strict-speed"});
    ASSERT_TRUE(openAt(sim.path(), kStartBaudIndex));
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
    EXPECT_EQ(send(lineSpeedFrame(7, false), Exchange::LineSpeed), ReplyOk);
    ASSERT_TRUE(port.ClosePort());
    // The speed is judged when the device reads: let it take the frame before reopening.
    ASSERT_TRUE(stateShows(sim, "\"baud\": 57600"));

    // At a speed the device does not listen at, frames are lost and the wait times out.
    ASSERT_TRUE(openAt(sim.path(), 5));
    EXPECT_EQ(send(systemFrame(SysCheck)), ReplyTimeout);
    ASSERT_TRUE(port.ClosePort());

    ASSERT_TRUE(openAt(sim.path(), 7));
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
    EXPECT_EQ(send(lineSpeedFrame(4, true), Exchange::LineSpeedAtShutdown), ReplyOk);
    ASSERT_TRUE(port.ClosePort());
    ASSERT_TRUE(stateShows(sim, "\"baud\": 9600"));
    ASSERT_TRUE(openAt(sim.path(), 8)); // any index outside the table is 9600
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Respond error: time out!"});
    EXPECT_NE(readFile(sim.logPath()).find("bytes at 19200 baud lost (device at 57600 baud)"),
              std::string::npos);
}

TEST_F(DevsimLink, HearsAnySpeedUnlessStrict) {
    Devsim sim;
    ASSERT_TRUE(openAt(sim.path(), 2));
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
}

TEST_F(DevsimLink, EachInjectedFaultGivesItsResult) {
    struct Case {
        std::vector<std::string> options;
        std::vector<ReplyResult> results; // of consecutive SysCheck exchanges
        const char* message;
    };
    const Case cases[] = {
        {{"--silent"}, {ReplyTimeout}, "Respond error: time out!"},
        {{"--bad-crc"}, {ReplyCrcInvalid}, "CRC invalid!"},
        {{"--bad-format"}, {ReplyBadFormat}, "Invalid respond frame format!"},
        {{"--status", "3"}, {ReplyCrcInvalid}, "CRC invalid!"},
        {{"--split", "--split-gap", "60"}, {ReplyOk, ReplyOk}, nullptr},
        {{"--stop-after", "2"}, {ReplyOk, ReplyOk, ReplyTimeout}, "Respond error: time out!"},
    };
    for (const Case& c : cases) {
        const std::string name = c.options.front();
        Devsim sim(c.options);
        ASSERT_TRUE(openAt(sim.path(), kStartBaudIndex)) << name;
        ui.clear();
        for (ReplyResult expected : c.results)
            EXPECT_EQ(send(systemFrame(SysCheck)), expected) << name;
        const auto texts = ui.messageTexts();
        if (c.message == nullptr) {
            EXPECT_TRUE(texts.empty()) << name;
        } else {
            ASSERT_EQ(texts.size(), 1U) << name;
            EXPECT_EQ(texts[0], c.message) << name;
        }
        EXPECT_TRUE(port.ClosePort());
    }
}

TEST_F(DevsimLink, LateRepliesNeverAnswerALaterQuestion) {
    Devsim sim({"--late", "550"});
    ASSERT_TRUE(openAt(sim.path(), kStartBaudIndex));
    for (int round = 0; round < 3; ++round) {
        // The panel's run mask waits 100 + 300 ms: its reply comes 150 ms after that.
        EXPECT_EQ(send(runMaskFrame(0x01, false), Exchange::PanelRunMask), ReplyTimeout) << round;
        // The next question waits 300 + 500 ms and gets its own answer, not the late one.
        EXPECT_EQ(send(systemFrame(SysVersion), Exchange::ConnectionTest), ReplyOk) << round;
        EXPECT_EQ(versionText(port.receiveBuffer()), "SIM 1.0") << round;
    }
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>(3, "Respond error: time out!"));
}

TEST_F(DevsimLink, NoiseBeforeEveryReplyCostsNoExchange) {
    Devsim sim({"--noise-every", "1"});
    ASSERT_TRUE(openAt(sim.path(), 7));
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(send(systemFrame(SysVersion)), ReplyOk) << i;
        EXPECT_EQ(versionText(port.receiveBuffer()), "SIM 1.0") << i;
    }
    ASSERT_TRUE(port.ClosePort());
    ASSERT_TRUE(stateShows(sim, "\"replies_sent\": 100,"));
    EXPECT_NE(readFile(sim.statePath()).find("\"noise_sent\": 100,"), std::string::npos);
    EXPECT_TRUE(ui.messages().empty());
}

// Counts the bytes the link writes.
class WrittenBytes final : public LineObserver {
  public:
    void BytesWritten(std::span<const std::uint8_t> bytes) override { count += bytes.size(); }
    void ReplyRead(std::span<const std::uint8_t>, ReplyResult) override {}
    void BytesDiscarded(std::span<const std::uint8_t>) override {}
    std::size_t count = 0;
};

// Output 1 and the outputs in `more` active, `samples` each.
TransferInput transferOf(int samples, std::initializer_list<int> more = {}) {
    TransferInput in;
    in.general.NumOfSam = std::to_string(samples);
    in.general.Freq = "50";
    for (int k : more)
        in.general.Active[static_cast<std::size_t>(k - 1)] = true;
    for (auto& store : in.samples)
        for (int j = 0; j < samples; ++j)
            store.push_back(2.0 * std::sin(6.283185307179586 * j / samples));
    return in;
}

TEST_F(DevsimLink, PacedTransferTakesItsLineTimeAndNoMore) {
    Devsim sim({"--baud", "9600"});
    ASSERT_TRUE(openAt(sim.path(), kStartBaudIndex));
    WrittenBytes written;
    port.setLineObserver(&written);
    testkit::RecordingButtons buttons;
    testkit::RecordingProgress progress;
    DeviceCommands commands(port, clock, ui, buttons);
    const TransferInput in = transferOf(1000);
    std::string error;
    const auto plan = planTransfer(in, error);
    ASSERT_TRUE(plan) << error;

    const auto start = std::chrono::steady_clock::now();
    SendThread(commands, progress, in, *plan);
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // Stop outputs, sweep off, the block, frequency, reference and the closing sweep frame:
    // six exchanges with a 100 ms pause each, and 10 bits a byte on the line.
    const double lineMs = static_cast<double>(written.count) * 10.0 / 9600.0 * 1000.0;
    const double boundMs = lineMs + 6 * 100.0;
    RecordProperty("elapsed_ms", std::to_string(elapsedMs));
    RecordProperty("line_time_plus_pauses_ms", std::to_string(boundMs));
    std::printf("1000 samples at 9600 baud: %.0f ms elapsed, line time + pauses %.0f ms\n",
                elapsedMs, boundMs);
    EXPECT_TRUE(ui.messages().empty()) << readFile(sim.logPath());
    EXPECT_NEAR(elapsedMs, boundMs, 0.05 * boundMs);
    EXPECT_TRUE(stateShows(sim, "\"output\": 1, \"count\": 1000,"));
}

TEST_F(DevsimLink, ARefusedBlockStopsTheTransferThere) {
    // With this seed the device garbles the sweep-off frame (a refusal the transfer ignores),
    // takes two blocks and garbles the third.
    Devsim sim({"--garble", "0.25", "--seed", "3"});
    ASSERT_TRUE(openAt(sim.path(), 7));
    testkit::RecordingButtons buttons;
    testkit::RecordingProgress progress;
    DeviceCommands commands(port, clock, ui, buttons);
    TransferInput in = transferOf(8, {2, 3, 4, 5, 6});
    in.sendAll = false;
    std::string error;
    const auto plan = planTransfer(in, error);
    ASSERT_TRUE(plan) << error;
    SendThread(commands, progress, in, *plan);

    std::vector<bool> garbledBlocks;
    std::istringstream log(readFile(sim.logPath()));
    std::string lastFrame;
    for (std::string line; std::getline(log, line);) {
        if (line.find("] frame ") == std::string::npos)
            continue;
        lastFrame = line;
        if (line.find("CmdSamples") != std::string::npos)
            garbledBlocks.push_back(line.find(" garbled") != std::string::npos);
    }
    EXPECT_EQ(garbledBlocks, (std::vector<bool>{false, false, true}));
    EXPECT_NE(lastFrame.find("CmdSweep off crc ok"), std::string::npos) << lastFrame;
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>(2, "CRC invalid!"));
    EXPECT_EQ(progress.steps, 3 * 8);
}

TEST_F(DevsimLink, BlockCutShortStillGetsItsReply) {
    Devsim sim({"--block-idle", "150"});
    ASSERT_TRUE(openAt(sim.path(), kStartBaudIndex));
    // Announces 8 words, sends 3 and the trailer, as a stopped transfer does.
    EXPECT_EQ(sendBlock(samplesHeader(0, 0, 8, 0x01), {0x1000, 0x1100, 0x1200}), ReplyOk);
    EXPECT_EQ(send(systemFrame(SysCheck)), ReplyOk);
    EXPECT_NE(readFile(sim.statePath()).find("\"codes\": [4096,4352,4608]"), std::string::npos);
}

TEST(Devsim, ExitsCleanlyOnSigtermAndSigint) {
    for (int sig : {SIGTERM, SIGINT}) {
        Devsim sim;
        ASSERT_FALSE(sim.path().empty());
        struct stat st {};
        EXPECT_EQ(lstat(sim.linkPath().c_str(), &st), 0);
        EXPECT_EQ(sim.stop(sig), 0) << sig;
        EXPECT_NE(lstat(sim.linkPath().c_str(), &st), 0) << "link left behind";
    }
}

} // namespace
} // namespace ombrix
