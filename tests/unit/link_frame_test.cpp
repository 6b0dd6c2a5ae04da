#include "core/device/frame.h"
#include "core/device/protocol.h"
#include "testkit/fakeport.h"

#include <gtest/gtest.h>

#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes wireOf(const CommandFrame& f) {
    const auto w = f.wire();
    return Bytes(w.begin(), w.end());
}

TEST(CommandFrame, BuildsEachCommandsBytes) {
    struct Case {
        const char* name;
        CommandFrame frame;
        Bytes expected;
    };
    const Case cases[] = {
        {"SysCheck",
         systemFrame(SysCheck),
         {0xAA, 0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55, 0x39, 0x93}},
        {"SysVersion",
         systemFrame(SysVersion),
         {0xAA, 0xAA, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0x55, 0x1D, 0x76}},
        {"RunMask 1+2",
         runMaskFrame(0x03, false),
         {0xAA, 0xAA, 4, 3, 0, 0, 0, 0, 0, 0, 0, 0x55, 0x59, 0x4F}},
        {"LineSpeed back to 9600",
         lineSpeedFrame(4, true),
         {0xAA, 0xAA, 6, 4, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0x55, 0x1E, 0x16}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wireOf(c.frame), c.expected) << c.name;
}

TEST(CommandFrame, PlacesPayloadWordsHighByteFirst) {
    const CommandFrame freq = frequencyFrame({3, 16383, 7964});
    EXPECT_EQ(Bytes(freq.bytes.begin() + 2, freq.bytes.end()),
              (Bytes{2, 0x00, 0x03, 0x3F, 0xFF, 0x1F, 0x1C, 0, 0, 0x55}));

    const CommandFrame ref = referenceFrame(0x1FFF, 0x0F9F);
    EXPECT_EQ(Bytes(ref.bytes.begin() + 2, ref.bytes.end()),
              (Bytes{3, 0x1F, 0xFF, 0x0F, 0x9F, 0, 0, 0, 0, 0x55}));

    const CommandFrame sweep = sweepHeader(SweepCyclic, 40000, 250, 300);
    EXPECT_EQ(Bytes(sweep.bytes.begin() + 2, sweep.bytes.end()),
              (Bytes{5, 3, 0x9C, 0x40, 0, 0x00, 0xFA, 0x01, 0x2C, 0x55}));

    const CommandFrame samples = samplesHeader(5, 2, 1365, 0x25);
    EXPECT_EQ(Bytes(samples.bytes.begin() + 2, samples.bytes.end()),
              (Bytes{1, 5, 2, 0x05, 0x55, 0x25, 0, 0, 0, 0x55}));

    // Bits 6 and 7 of the run mask never go out; the closing flag is P1.
    const CommandFrame run = runMaskFrame(0xFF, true);
    EXPECT_EQ(run.payloadByte(0), 0x3F);
    EXPECT_EQ(run.payloadByte(1), 1);
}

TEST(CommandFrame, KnowsWhichFramesCarryBlocks) {
    EXPECT_TRUE(samplesHeader(0, 0, 0, 1).isBlockHeader());
    EXPECT_EQ(samplesHeader(0, 0, 700, 1).blockWordCount(), 700);
    EXPECT_FALSE(sweepOffFrame().isBlockHeader());
    EXPECT_EQ(sweepOffFrame().blockWordCount(), 0);
    EXPECT_TRUE(sweepHeader(SweepSingle, 40000, 10, 9).isBlockHeader());
    EXPECT_EQ(sweepHeader(SweepSingle, 40000, 10, 9).blockWordCount(), 9);
    EXPECT_FALSE(frequencyFrame({1, 1, 68}).isBlockHeader());
}

TEST(SendFrame, WritesFrameThenTrailerAndPausesPerExchange) {
    struct Case {
        Exchange exchange;
        int pause;
        int flushes;
        int timeout;
    };
    const Case cases[] = {
        {Exchange::ConnectionTest, 300, 1, 500},
        {Exchange::Command, 100, 1, 500},
        {Exchange::PanelRunMask, 100, 1, 300},
        {Exchange::PanelFrequency, 100, 0, 300},
        {Exchange::Block, 100, 1, 500},
        {Exchange::LineSpeed, 100, 1, -1},
        {Exchange::LineSpeedAtShutdown, 0, 1, -1},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        FakePort port(clock);
        ASSERT_TRUE(port.OpenPort("COM1", 4));
        SendFrame(port, clock, systemFrame(SysCheck), c.exchange);
        const auto writes = port.writes();
        ASSERT_EQ(writes.size(), 2U);
        EXPECT_EQ(writes[0].size(), 12U);
        EXPECT_EQ(writes[1], (Bytes{0x39, 0x93}));
        EXPECT_EQ(clock.sleeps(), std::vector<int>{c.pause});
        EXPECT_EQ(port.flushCount(), c.flushes);
        EXPECT_EQ(exchangeTiming(c.exchange).replyTimeoutMs, c.timeout);
    }
    // The connection test pauses before it flushes; the others flush first.
    EXPECT_FALSE(exchangeTiming(Exchange::ConnectionTest).flushFirst);
    EXPECT_TRUE(exchangeTiming(Exchange::ConnectionTest).flushAfter);
}

} // namespace
} // namespace ombrix
