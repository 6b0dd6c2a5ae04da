// ombrix-send against ombrix-devsim on a pseudo terminal, both run as programs: what the
// simulated generator holds afterwards (sample codes per output, timing words, reference
// codes, sweep, run mask, line speed) is what the program computes for the same file; a
// generator that does not answer gives the documented exit codes.
#include "sendjob.h"

#include "core/compute/calcexpress.h"
#include "core/compute/calculationrun.h"
#include "core/compute/spectrum.h"
#include "core/model/settingsfile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ombrix::send {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

pid_t spawn(std::vector<std::string> args, int outFd, int errFd) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    if (errFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One ombrix-devsim in a scratch directory, stopped at the end; ombrix-send runs beside it.
class SendAgainstDevsim : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/ombrix-send-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        if (devsim_ > 0) {
            kill(devsim_, SIGTERM);
            waitExit(devsim_);
        }
        std::system(("rm -rf " + dir_).c_str());
    }

    void startDevsim(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {OMBRIX_DEVSIM, "--state", statePath(),         "--link",
                                         portPath(),    "--log",   dir_ + "/frames.log"};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        devsim_ = spawn(args, out[1], -1);
        close(out[1]);
        // The first line it prints is the terminal's path: it is ready.
        std::string line;
        char c = 0;
        pollfd p{out[0], POLLIN, 0};
        while (poll(&p, 1, 20000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        close(out[0]);
        ASSERT_GT(devsim_, 0);
        ASSERT_FALSE(line.empty());
    }

    // Runs ombrix-send with `args` after the program name; keeps its output.
    int send(const std::vector<std::string>& args) {
        std::vector<std::string> all = {OMBRIX_SEND};
        all.insert(all.end(), args.begin(), args.end());
        const int out = open((dir_ + "/out").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        const int err = open((dir_ + "/err").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        const pid_t pid = spawn(all, out, err);
        close(out);
        close(err);
        if (pid <= 0)
            return -1;
        const int code = waitExit(pid);
        out_ = readFile(dir_ + "/out");
        err_ = readFile(dir_ + "/err");
        return code;
    }

    std::string writeSet(const FormsConfig& forms) {
        const std::string path = dir_ + "/forms.set";
        const auto bytes = encodeForms(forms);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // The state file once it holds `part` (written by the simulator after each change).
    std::string stateWith(const std::string& part) {
        std::string state;
        for (int i = 0; i < 500; ++i) {
            state = readFile(statePath());
            if (state.find(part) != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return state;
    }

    std::string statePath() const { return dir_ + "/state.json"; }
    std::string portPath() const { return dir_ + "/port"; }

    std::string dir_;
    pid_t devsim_ = -1;
    std::string out_, err_;
};

template <class T> std::string jsonArray(const std::vector<T>& values) {
    std::string s = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        s.append(i ? "," : "").append(std::to_string(values[i]));
    return s + "]";
}

// The sample store as the main window fills it: one calculation run over all six outputs.
class StoreSink final : public CalcSink {
  public:
    void status(const std::string&) override {}
    void clearSeries(int) override {}
    void appendPoints(int, std::vector<double>, std::vector<double>) override {}
    void samples(int output, std::vector<double> values) override {
        store[static_cast<std::size_t>(output)] = std::move(values);
    }
    void failure(const std::string&, const std::string&) override {}
    void completed(const std::array<bool, kOutputCount>&) override {}
    std::array<std::vector<double>, kOutputCount> store;
};

// Sample codes of output `k` from the main window's calculation of `forms`, each volt value
// encoded with its reference voltage's step.
std::vector<std::uint16_t> programCodes(const FormsConfig& forms, int k, double vrefMv) {
    CalcSnapshot snap;
    snap.forms = forms;
    TCalcExpress calc('.');
    TSpectrum engine;
    StoreSink sink;
    std::atomic<bool> stop{false};
    runCalculation(0, kOutputCount - 1, snap, calc, engine, sink, stop);
    std::vector<std::uint16_t> codes;
    for (double v : sink.store[static_cast<std::size_t>(k)])
        codes.push_back(sampleCode(v, sampleStep(vrefMv)));
    return codes;
}

// Output 1 sine with a third harmonic, Output 2 pulse shifted by 90 degrees, Output 4 an
// equation with an offset; 32 samples at 500 Hz; a cyclic sweep 500..800 Hz.
FormsConfig threeKinds() {
    FormsConfig f = startupForms();
    GeneralSettings& g = f.General;
    g.NumOfSam = "32";
    g.Freq = "500";
    g.Active[1] = true;
    g.Active[3] = true;
    g.Ph_Disp[1] = "90";
    g.SwapEnabled = true;
    g.SwapCyclic = true;
    g.StartFreq = "500";
    g.StopFreq = "800";
    g.Time = "10";
    f.Outputs[0].Harmonics[0] = {"1.2", "0", true};
    f.Outputs[0].Harmonics[2] = {"0.3", "45", true};
    f.Outputs[1].Form = FormKind::Pulse;
    f.Outputs[1].Pulse = {"1,5", "-0.5", "20", "10", "30", "5"};
    f.Outputs[3].Form = FormKind::Equation;
    f.Outputs[3].Equation = "2*sin(X)*cos(3*X)";
    f.Outputs[3].Offset = "-0.25";
    return f;
}

TEST_F(SendAgainstDevsim, GeneratorHoldsWhatTheProgramComputesForTheFile) {
    startDevsim();
    const std::string file = writeSet(threeKinds());
    ASSERT_EQ(send({file, "--port", portPath(), "--baud", "57600", "--vref1", "2000", "--vref2",
                    "3000", "--step", "100", "--start"}),
              ExitOk)
        << err_;
    EXPECT_NE(out_.find("Sent 32 samples of outputs 1, 2, 4, frequency 500 Hz, reference "
                        "2000/3000 mV, sweep of 4 steps.\nStarted outputs 1, 2, 4.\n"),
              std::string::npos)
        << out_;
    EXPECT_NE(err_.find("Connected to " + portPath() + " at 57600 baud."), std::string::npos)
        << err_;
    EXPECT_NE(err_.find("Sending: 100 %"), std::string::npos) << err_;

    // The last frame is the start: once the run mask shows, everything is there.
    const std::string state = stateWith("\"run_mask\": 11,");
    ASSERT_NE(state.find("\"run_mask\": 11,"), std::string::npos) << state;

    // What the program computes for the same file and settings.
    std::string error;
    std::optional<FormsConfig> forms = loadForms(file, error);
    ASSERT_TRUE(forms) << error;
    forms->General.Step = "100";
    DeviceSettings settings;
    settings.VRef1 = "2000";
    settings.VRef2 = "3000";
    settings.BaudIndex = 7;
    const auto prepared = prepareSend(*forms, settings, error);
    ASSERT_TRUE(prepared) << error;
    const TransferPlan& plan = prepared->plan;

    for (int k = 0; k < kOutputCount; ++k) {
        const bool active = k == 0 || k == 1 || k == 3;
        const std::vector<std::uint16_t> words =
            active ? programCodes(*forms, k, k < 2 ? 2000.0 : 3000.0)
                   : std::vector<std::uint16_t>{};
        ASSERT_EQ(words.size(), active ? 32u : 0u);
        const std::string codes = jsonArray(words);
        const std::string part = "{\"output\": " + std::to_string(k + 1) +
                                 ", \"count\": " + (active ? "32" : "0") + ", \"codes\": " + codes +
                                 ",";
        EXPECT_NE(state.find(part), std::string::npos) << "Output " << k + 1 << "\n" << part;
    }
    // Hand-checked: 500 Hz x 32 samples is 2500 cycles of 25 ns, 29 of them instructions.
    ASSERT_TRUE(plan.frequency);
    EXPECT_EQ(plan.frequency->Remainder, 2471);
    EXPECT_NE(state.find("\"timing\": {\"outer\": 1, \"inner\": 1, \"remainder\": 2471}"),
              std::string::npos);
    EXPECT_NE(state.find("\"reference_codes\": [3999, 5999]"), std::string::npos);
    EXPECT_NE(state.find("\"active_mask\": 11,"), std::string::npos);
    EXPECT_EQ(plan.sweepWords.size(), 12u);
    EXPECT_NE(state.find("\"sweep\": {\"mode\": 3, \"cycles_per_ms\": 40000, \"step_time_ms\": 10, "
                         "\"table\": " +
                         jsonArray(plan.sweepWords) + "}"),
              std::string::npos)
        << state;
    EXPECT_NE(state.find("\"baud\": 57600,"), std::string::npos);
    EXPECT_NE(state.find("\"frames_rejected\": 0,"), std::string::npos);
}

TEST_F(SendAgainstDevsim, DisconnectReturnsTheGeneratorToItsIdleState) {
    startDevsim();
    FormsConfig f = startupForms();
    f.General.NumOfSam = "8";
    const std::string file = writeSet(f);
    ASSERT_EQ(send({file, "--port", portPath(), "--baud=7", "--start", "--disconnect"}), ExitOk)
        << err_;
    EXPECT_NE(out_.find("Started output 1.\nDisconnected.\n"), std::string::npos) << out_;
    const std::string state = stateWith("\"baud\": 9600,");
    EXPECT_NE(state.find("\"baud\": 9600,"), std::string::npos) << state;
    EXPECT_NE(state.find("\"run_mask\": 0,\n  \"run_mask_closing\": true"), std::string::npos)
        << state;
    EXPECT_NE(state.find("\"sweep\": {\"mode\": 0,"), std::string::npos) << state;
    EXPECT_NE(state.find("{\"output\": 1, \"count\": 8,"), std::string::npos) << state;
}

TEST_F(SendAgainstDevsim, NoiseBeforeEveryReplyCostsNothing) {
    startDevsim({"--noise-every", "1"});
    const std::string file = writeSet(threeKinds());
    ASSERT_EQ(send({file, "--port", portPath(), "--baud", "57600", "--start"}), ExitOk) << err_;
    EXPECT_NE(out_.find("Started outputs 1, 2, 4.\n"), std::string::npos) << out_;
    EXPECT_EQ(err_.find("CRC invalid!"), std::string::npos) << err_;
    const std::string state = stateWith("\"run_mask\": 11,");
    EXPECT_NE(state.find("\"run_mask\": 11,"), std::string::npos) << state;
    EXPECT_NE(state.find("{\"output\": 4, \"count\": 32,"), std::string::npos) << state;
    EXPECT_NE(state.find("\"frames_rejected\": 0,"), std::string::npos) << state;
    // Every reply had its noise byte.
    const auto at = state.find("\"replies_sent\": ");
    ASSERT_NE(at, std::string::npos) << state;
    const std::string replies = state.substr(at + 16, state.find(',', at) - at - 16);
    EXPECT_NE(state.find("\"noise_sent\": " + replies + ","), std::string::npos) << state;
    EXPECT_GE(std::stoi(replies), 8);
}

TEST_F(SendAgainstDevsim, UnansweredFramesGiveConnectionAndTransferExitCodes) {
    FormsConfig f = startupForms();
    f.General.NumOfSam = "8";
    {
        startDevsim({"--status", "2"}); // every reply refuses: the connection test fails
        const std::string file = writeSet(f);
        EXPECT_EQ(send({file, "--port", portPath(), "--baud", "57600"}), ExitConnection) << err_;
        EXPECT_NE(err_.find("no connection to the generator on " + portPath()), std::string::npos)
            << err_;
        EXPECT_TRUE(out_.empty()) << out_;
        kill(devsim_, SIGTERM);
        waitExit(devsim_);
        devsim_ = -1;
    }
    // Answers the two connection tests (and perhaps the stop), then falls silent.
    startDevsim({"--stop-after", "3"});
    const std::string file = writeSet(f);
    EXPECT_EQ(send({file, "--port", portPath(), "--baud", "57600", "--start"}), ExitTransfer)
        << err_;
    EXPECT_NE(err_.find("Respond error: time out!"), std::string::npos) << err_;
    EXPECT_NE(err_.find("the generator did not accept the transfer"), std::string::npos) << err_;
    EXPECT_EQ(out_.find("Started"), std::string::npos) << out_;
}

} // namespace
} // namespace ombrix::send
