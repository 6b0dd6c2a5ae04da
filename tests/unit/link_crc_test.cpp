#include "core/device/crc16.h"
#include "core/device/frame.h"
#include "core/device/protocol.h"
#include "testkit/fakeport.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Crc16Words, MatchesWorkedFrames) {
    struct Case {
        std::array<std::uint8_t, 12> frame;
        std::array<std::uint16_t, 5> words;
        std::uint16_t crc;
    };
    const Case cases[] = {
        {{0xAA, 0xAA, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0x55}, {0x0000, 0, 0, 0, 0x5500}, 0x3993},
        {{0xAA, 0xAA, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x55}, {0x0200, 0, 0, 0, 0x5500}, 0x1D76},
        {{0xAA, 0xAA, 0x04, 0x03, 0, 0, 0, 0, 0, 0, 0, 0x55}, {0x0304, 0, 0, 0, 0x5500}, 0x594F},
        {{0xAA, 0xAA, 0x06, 0x04, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0x55},
         {0x0406, 0xFFFF, 0, 0, 0x5500},
         0x1E16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Crc16Words(c.words), c.crc);
        const CommandFrame f = frameFromBytes(c.frame);
        EXPECT_EQ(f.crc(), c.crc);
        const auto trailer = f.trailer();
        EXPECT_EQ(trailer[0], c.crc >> 8);
        EXPECT_EQ(trailer[1], c.crc & 0xFF);
    }
}

TEST(Crc16Words, ContinuesRunningValueOnlyWhenAsked) {
    const std::array<std::uint16_t, 5> header{0x0001, 0x0000, 0x0102, 0x0000, 0x5500};
    const std::uint16_t start = Crc16Words(header);
    EXPECT_EQ(start, 0xC5BA);
    const std::array<std::uint16_t, 1> first{0x1000};
    const std::array<std::uint16_t, 1> second{0x17FF};
    const std::uint16_t afterFirst = Crc16Words(first, start, true);
    EXPECT_EQ(afterFirst, 0x3087);
    EXPECT_EQ(Crc16Words(second, afterFirst, true), 0x77EB);
    // Without the flag the running value is ignored and the register starts afresh.
    EXPECT_EQ(Crc16Words(first, start, false), Crc16Words(first));
    EXPECT_NE(Crc16Words(first), 0x3087);
}

TEST(BlockWriter, SendsWorkedSampleBlockByteForByte) {
    FakeClock clock;
    FakePort port(clock);
    ASSERT_TRUE(port.OpenPort("COM1", 4));
    BlockWriter block(port, clock);
    block.writeHeader(samplesHeader(0, 0, 2, 0x01));
    EXPECT_EQ(block.runningCrc(), 0xC5BA);
    block.writeWord(0x1000);
    EXPECT_EQ(block.runningCrc(), 0x3087);
    block.writeWord(0x17FF);
    EXPECT_EQ(block.runningCrc(), 0x77EB);
    block.writeTrailer();

    const std::vector<Bytes> expected = {
        {0xAA, 0xAA, 0x01, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00, 0x55},
        {0x10, 0x00},
        {0x17, 0xFF},
        {0x77, 0xEB},
    };
    EXPECT_EQ(port.writes(), expected);
    EXPECT_EQ(port.flushCount(), 4);
}

TEST(BlockWriter, SweepStepGoesOutInOneWriteWithItsThreeWords) {
    FakeClock clock;
    FakePort port(clock);
    ASSERT_TRUE(port.OpenPort("COM1", 4));
    BlockWriter block(port, clock);
    const CommandFrame header = sweepHeader(SweepSingle, 40000, 10, 3);
    block.writeHeader(header);
    const std::array<std::uint16_t, 3> step{3, 16383, 7964};
    block.writeWords(step);
    const std::uint16_t expected = Crc16Words(step, header.crc(), true);
    EXPECT_EQ(block.runningCrc(), expected);
    const auto writes = port.writes();
    ASSERT_EQ(writes.size(), 2U);
    EXPECT_EQ(writes[1], (Bytes{0x00, 0x03, 0x3F, 0xFF, 0x1F, 0x1C}));
}

} // namespace
} // namespace ombrix
