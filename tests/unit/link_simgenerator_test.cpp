#include "core/device/forwardingport.h"
#include "core/device/protocol.h"
#include "core/device/selectingport.h"
#include "core/device/simport.h"
#include "core/device/simstatejson.h"
#include "testkit/fakeclock.h"
#include "testkit/fakeport.h"
#include "testkit/recordingui.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint16_t>;

class SimulatorTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(port.OpenPort(kSimulatorPortName, kStartBaudIndex)); }

    ReplyResult send(const CommandFrame& frame, Exchange exchange = Exchange::Command) {
        return Transact(port, clock, ui, frame, exchange);
    }
    ReplyResult sendBlock(const CommandFrame& header, const Words& words) {
        BlockWriter block(port, clock);
        block.writeHeader(header);
        for (std::uint16_t w : words)
            block.writeWord(w);
        return block.finish(ui);
    }
    SimState state() {
        return port.withGenerator([](SimGenerator& g) { return g.state(); });
    }
    template <class F> auto generator(F&& f) { return port.withGenerator(std::forward<F>(f)); }

    FakeClock clock;
    SimPort port{clock};
    RecordingUserInterface ui;
};

TEST_F(SimulatorTest, AnswersEveryCommandThatExpectsAReply) {
    const CommandFrame frames[] = {
        systemFrame(SysCheck),      systemFrame(SysVersion),   frequencyFrame({1, 1, 68}),
        referenceFrame(8191, 4095), runMaskFrame(0x03, false), sweepOffFrame(),
        systemFrame(SysReset),
    };
    for (const CommandFrame& f : frames) {
        EXPECT_EQ(send(f), ReplyOk) << commandName(f.code());
        // A correct reply: zero byte 2, status 0, end marker, and a CRC the judge accepted.
        EXPECT_EQ(port.receiveBuffer()[2], 0);
        EXPECT_EQ(port.receiveBuffer()[3], 0);
        EXPECT_EQ(port.receiveBuffer()[11], 0x55);
    }
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(sendBlock(samplesHeader(0, 0, 2, 1), {0x1000, 0x17FF}), ReplyOk);
    EXPECT_EQ(state().repliesSent, 8U);
}

TEST_F(SimulatorTest, ReportsItsVersionInSevenCharacters) {
    ASSERT_EQ(send(systemFrame(SysVersion)), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "SIM 1.0");

    SimPort longName(clock, SimSettings{20, 29, "VERSION 12.5"});
    ASSERT_TRUE(longName.OpenPort(kSimulatorPortName, 4));
    ASSERT_EQ(Transact(longName, clock, ui, systemFrame(SysVersion), Exchange::Command), ReplyOk);
    EXPECT_EQ(versionText(longName.receiveBuffer()), "VERSION");
}

TEST_F(SimulatorTest, KeepsWhatItIsSentAndWhatItPlays) {
    const Words out1{0x1000, 0x17FF, 0x0800, 0x1FFF};
    const Words out3{0x1001, 0x0FFF, 0x1000, 0x1000};
    ASSERT_EQ(sendBlock(samplesHeader(0, 0, 4, 0x05), out1), ReplyOk);
    ASSERT_EQ(sendBlock(samplesHeader(2, 1, 4, 0x05), out3), ReplyOk);
    const TimingWords tw = timingWords(50, 4, 20, 29).words;
    ASSERT_EQ(send(frequencyFrame(tw)), ReplyOk);
    ASSERT_EQ(send(referenceFrame(referenceCode(4096), referenceCode(2048))), ReplyOk);
    ASSERT_EQ(send(runMaskFrame(0x05, false)), ReplyOk);
    const SweepTable table = sweepTable(50, 52, 1, 4, 20, 29);
    ASSERT_EQ(sendBlock(sweepHeader(SweepCyclic, 40000, 250, table.wordCount), table.words),
              ReplyOk);

    const SimState s = state();
    EXPECT_EQ(s.samples[0], out1);
    EXPECT_EQ(s.samples[2], out3);
    EXPECT_TRUE(s.samples[1].empty());
    EXPECT_EQ(s.activeMask, 0x05);
    EXPECT_EQ(s.timing, tw);
    EXPECT_EQ(s.runMask, 0x05);
    EXPECT_FALSE(s.runMaskClosing);
    EXPECT_EQ(s.sweepMode, 3);
    EXPECT_EQ(s.sweepCyclesPerMs, 40000);
    EXPECT_EQ(s.sweepStepTimeMs, 250);
    EXPECT_EQ(s.sweepTable, table.words);

    generator([&](SimGenerator& g) {
        EXPECT_DOUBLE_EQ(g.referenceMillivolts1(), 4096);
        EXPECT_DOUBLE_EQ(g.referenceMillivolts2(), 2048);
        const std::vector<double> v1 = g.outputVolts(0);
        ASSERT_EQ(v1.size(), 4U);
        EXPECT_DOUBLE_EQ(v1[0], 0.0);
        EXPECT_NEAR(v1[1], 2.047, 1e-12);
        EXPECT_NEAR(v1[2], -2.048, 1e-12);
        EXPECT_NEAR(v1[3], 4.095, 1e-12);
        // Output 3 runs on the second reference: 0.5 mV per code.
        const std::vector<double> v3 = g.outputVolts(2);
        EXPECT_NEAR(v3[0], 0.0005, 1e-12);
        EXPECT_NEAR(v3[1], -0.0005, 1e-12);
        // 50 Hz at 4 samples: 199971 wait cycles in 12 outer loops; played back exactly.
        EXPECT_EQ(tw, (TimingWords{12, 16383, 3375}));
        EXPECT_NEAR(g.playedFrequency(), 50.0, 1e-6);
    });
    // Stopping clears the mask and remembers the closing flag; no sweep empties the table.
    ASSERT_EQ(send(runMaskFrame(0, true)), ReplyOk);
    ASSERT_EQ(send(sweepOffFrame()), ReplyOk);
    EXPECT_EQ(state().runMask, 0);
    EXPECT_TRUE(state().runMaskClosing);
    EXPECT_EQ(state().sweepMode, 0);
    EXPECT_TRUE(state().sweepTable.empty());
}

TEST_F(SimulatorTest, AnswersWrongCrcWithStatusAndKeepsItsState) {
    const Words good{0x1000, 0x1001};
    ASSERT_EQ(sendBlock(samplesHeader(0, 0, 2, 1), good), ReplyOk);

    // A plain frame with a damaged trailer.
    auto wire = frequencyFrame({1, 1, 68}).wire();
    wire[13] ^= 0x01;
    port.WritePort(wire);
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyCrcInvalid);
    EXPECT_EQ(port.receiveBuffer()[3], kStatusCrcMismatch);
    EXPECT_FALSE(state().timingSet);

    // A block whose data word was damaged on the way: header CRC continued by another word.
    BlockWriter block(port, clock);
    block.writeHeader(samplesHeader(0, 1, 2, 1));
    block.writeWord(0x1234);
    const Bytes damaged{0x12, 0x35};
    port.WritePort(damaged); // the device sees 0x1235, the CRC below is still for 0x1234
    block.writeTrailer();
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyCrcInvalid);
    EXPECT_EQ(state().samples[0], good);
    EXPECT_EQ(state().framesRejected, 2U);
    EXPECT_EQ(ui.messageTexts(), (std::vector<std::string>{"CRC invalid!", "CRC invalid!"}));
}

TEST_F(SimulatorTest, SwitchesLineSpeedWithoutReplyAndOnlyHearsItsSpeed) {
    EXPECT_EQ(send(lineSpeedFrame(7, false), Exchange::LineSpeed), ReplyOk);
    EXPECT_EQ(state().baudIndex, 7);
    EXPECT_EQ(port.ReadAvailable(64), 0U); // no reply to a line-speed frame
    // Still at 9600 on this side: the device hears garbage and says nothing.
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyTimeout);
    ASSERT_TRUE(port.ClosePort());
    ASSERT_TRUE(port.OpenPort(kSimulatorPortName, 7));
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
    // Back to 9600 before closing, as a disconnect does; an unknown index means 9600 too.
    EXPECT_EQ(send(lineSpeedFrame(4, true), Exchange::LineSpeed), ReplyOk);
    ASSERT_TRUE(port.ClosePort());
    ASSERT_TRUE(port.OpenPort(kSimulatorPortName, 0xFF));
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
}

TEST_F(SimulatorTest, ResetAnswersThenReturnsTo9600WithNothingLoaded) {
    ASSERT_EQ(send(lineSpeedFrame(6, false), Exchange::LineSpeed), ReplyOk);
    ASSERT_TRUE(port.ClosePort());
    ASSERT_TRUE(port.OpenPort(kSimulatorPortName, 6));
    ASSERT_EQ(send(runMaskFrame(0x3F, false)), ReplyOk);
    EXPECT_EQ(send(systemFrame(SysReset)), ReplyOk);
    EXPECT_EQ(state().baudIndex, kStartBaudIndex);
    EXPECT_EQ(state().runMask, 0);
    ASSERT_TRUE(port.ClosePort());
    ASSERT_TRUE(port.OpenPort(kSimulatorPortName, kStartBaudIndex));
    EXPECT_EQ(send(systemFrame(SysCheck), Exchange::ConnectionTest), ReplyOk);
}

TEST_F(SimulatorTest, EndsABlockCutShortByAStop) {
    // The header announces 4 words; the sender stops after 2 and sends its trailer.
    EXPECT_EQ(sendBlock(samplesHeader(1, 0, 4, 0x03), {0x1100, 0x1200}), ReplyOk);
    EXPECT_EQ(state().samples[1], (Words{0x1100, 0x1200}));
    // The line is in step again.
    EXPECT_EQ(send(systemFrame(SysCheck)), ReplyOk);
}

TEST_F(SimulatorTest, SkipsLineNoiseBeforeAFrame) {
    const Bytes noise{0x00, 0xAA, 0x13, 0xAA, 0xAA, 0x07};
    port.WritePort(noise);
    EXPECT_EQ(send(systemFrame(SysCheck)), ReplyOk);
    EXPECT_EQ(state().noiseBytes, noise.size());
    // A command code it does not know is answered with a refusal.
    EXPECT_EQ(send(CommandFrame(static_cast<CommandCode>(9))), ReplyCrcInvalid);
    EXPECT_EQ(port.receiveBuffer()[3], kStatusRefused);
    EXPECT_EQ(sendBlock(samplesHeader(6, 0, 1, 1), {0x1000}), ReplyCrcInvalid);
}

TEST_F(SimulatorTest, InjectedFaultsGiveTheMatchingReplyResult) {
    struct Case {
        const char* name;
        SimFaults faults;
        ReplyResult result;
    };
    const Case cases[] = {
        {"silent", {true, false, false, 0, -1}, ReplyTimeout},
        {"bad crc", {false, true, false, 0, -1}, ReplyCrcInvalid},
        {"bad format", {false, false, true, 0, -1}, ReplyBadFormat},
        {"status 5", {false, false, false, 5, -1}, ReplyCrcInvalid},
        {"none", {}, ReplyOk},
    };
    for (const Case& c : cases) {
        generator([&](SimGenerator& g) { g.faults() = c.faults; });
        EXPECT_EQ(send(systemFrame(SysCheck)), c.result) << c.name;
    }
    generator([](SimGenerator& g) { g.faults().stopAfter = 5; }); // 4 replies sent so far
    EXPECT_EQ(send(systemFrame(SysCheck)), ReplyOk);
    EXPECT_EQ(send(systemFrame(SysCheck)), ReplyTimeout);
    EXPECT_EQ(state().framesDecoded, 7U);
}

TEST_F(SimulatorTest, PacesWritesAtTenBitsPerByte) {
    port.setPacing(true);
    clock.clearSleeps();
    const Bytes bytes(96, 0x00); // 960 bits at 9600 baud: 100 ms
    port.WritePort(bytes);
    EXPECT_EQ(clock.sleeps(), std::vector<int>{100});
    // Whole milliseconds are slept; the fractions add up over many writes.
    clock.clearSleeps();
    const Bytes two(2, 0x00); // 2.083 ms each at 9600 baud
    for (int i = 0; i < 12; ++i)
        port.WritePort(two);
    const auto sleeps = clock.sleeps();
    EXPECT_EQ(std::accumulate(sleeps.begin(), sleeps.end(), 0), 25);
}

TEST(SimPort, OpensOnlyUnderItsNameAndOnce) {
    FakeClock clock;
    SimPort port(clock);
    EXPECT_FALSE(port.OpenPort("COM1", 4));
    EXPECT_TRUE(port.OpenPort("Simulator", 4));
    EXPECT_FALSE(port.OpenPort("Simulator", 4));
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(port.ClosePort());
    const Bytes b{1};
    EXPECT_FALSE(port.WritePort(b));
}

TEST(SelectingPort, OpensTheSimulatorByNameAndTheDeviceOtherwise) {
    FakeClock clock;
    auto device = std::make_unique<FakePort>(clock);
    FakePort* fake = device.get();
    SelectingPort port(std::move(device), std::make_unique<SimPort>(clock), clock);
    RecordingUserInterface ui;

    ASSERT_TRUE(port.OpenPort("Simulator", 4));
    EXPECT_EQ(Transact(port, clock, ui, systemFrame(SysVersion), Exchange::Command), ReplyOk);
    EXPECT_EQ(versionText(port.receiveBuffer()), "SIM 1.0");
    EXPECT_FALSE(port.OpenPort("COM2", 4)); // one port at a time
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(port.ClosePort());

    ASSERT_TRUE(port.OpenPort("COM2", 5));
    EXPECT_EQ(fake->opens().back(), (std::pair<std::string, int>{"COM2", 5}));
    const auto reply = makeReply(0);
    fake->deliver(Bytes(reply.begin(), reply.end()));
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyOk);
    EXPECT_TRUE(port.ClosePort());
    EXPECT_EQ(port.PortName(), "COM2");

    // Nothing open: a wait passes its time on the clock and reads nothing.
    const std::uint64_t t0 = clock.Ticks();
    EXPECT_EQ(WaitReply(port, clock, ui, 500), ReplyTimeout);
    EXPECT_EQ(clock.Ticks() - t0, 501U);
}

// The base of the selecting, dry-run and test ports: every call reaches the target, the name
// stays with the forwarding port, and without a target it is a closed port that never waits.
TEST(ForwardingPort, PassesEveryCallToItsTarget) {
    FakeClock clock;
    FakePort target(clock);
    target.setLineBaud(9600);
    ForwardingPort port(&target);

    ASSERT_TRUE(port.OpenPort("ttyUSB3", 6));
    EXPECT_EQ(target.opens(), (std::vector<std::pair<std::string, int>>{{"ttyUSB3", 6}}));
    EXPECT_EQ(port.PortName(), "ttyUSB3");
    EXPECT_TRUE(port.IsOpen());
    port.SetPortEvents();
    EXPECT_TRUE(port.WritePort(Bytes{1, 2}));
    port.FlushPort();
    port.PurgeTransmit();
    EXPECT_EQ(target.writes(), (std::vector<Bytes>{{1, 2}}));
    EXPECT_EQ(target.eventSetups(), 1);
    EXPECT_EQ(target.flushCount(), 1);
    EXPECT_EQ(target.purgeCount(), 1);
    EXPECT_EQ(port.LineBaud(), 9600);
    target.deliverAfter(20, Bytes{7, 8});
    EXPECT_TRUE(port.WaitReadable(50));
    EXPECT_EQ(port.ReadAvailable(64), 2U);
    EXPECT_EQ(port.receiveBuffer()[1], 8);
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(target.IsOpen());

    ForwardingPort none;
    const std::uint64_t t0 = clock.Ticks();
    EXPECT_FALSE(none.OpenPort("COM2", 4));
    EXPECT_EQ(none.PortName(), "COM2");
    EXPECT_FALSE(none.IsOpen());
    EXPECT_FALSE(none.WritePort(Bytes{1}));
    EXPECT_FALSE(none.WaitReadable(500));
    EXPECT_EQ(clock.Ticks(), t0);
    EXPECT_EQ(none.LineBaud(), 0);
    EXPECT_FALSE(none.ClosePort());
}

TEST(SimStateJson, WritesWhatTheGeneratorHolds) {
    SimGenerator g;
    auto feed = [&](const auto& bytes) { g.receive(bytes); };
    feed(runMaskFrame(0x21, false).wire());
    feed(frequencyFrame({1, 1, 68}).wire());
    const CommandFrame header = samplesHeader(0, 0, 2, 0x01);
    Bytes block(header.bytes.begin(), header.bytes.end());
    const Words words{0x1000, 0x17FF};
    for (std::uint16_t w : words) {
        const auto b = wordBytes(w);
        block.insert(block.end(), b.begin(), b.end());
    }
    const auto trailer = wordBytes(0x77EB);
    block.insert(block.end(), trailer.begin(), trailer.end());
    feed(block);
    const std::string json = simStateJson(g);
    for (const char* part :
         {"\"run_mask\": 33", "\"outer\": 1, \"inner\": 1, \"remainder\": 68",
          "\"codes\": [4096,6143]", "\"volts\": [0,2.047]", "\"reference_mv\": [4096, 4096]",
          "\"baud\": 9600", "\"replies_sent\": 3"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
}

} // namespace
} // namespace ombrix
