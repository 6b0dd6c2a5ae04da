#include "core/device/encodings.h"
#include "core/device/serialport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace ombrix {
namespace {

TEST(TimingWords, MatchesWorkedFiguresAndLoopBoundary) {
    struct Case {
        const char* name;
        double f, n, q, g;
        TimingWords expected;
    };
    // Q = 0.5 MHz, G = 0 makes the wait cycles 1e6 / (f n) exactly, a half cycle off a whole.
    const Case cases[] = {
        {"50 Hz, N 8192", 50, 8192, 20, 29, {1, 1, 68}},
        {"1 Hz, N 700", 1, 700, 20, 29, {3, 16383, 7964}},
        {"Xi 16382", 1e6 / 16382.5, 1, 0.5, 0, {1, 1, 16382}},
        {"Xi 16383", 1e6 / 16383.5, 1, 0.5, 0, {1, 16383, 0}},
        {"Xi 3 x 16383", 1e6 / 49149.5, 1, 0.5, 0, {3, 16383, 0}},
        {"Xi 4 x 16383 - 1", 1e6 / 65531.5, 1, 0.5, 0, {3, 16383, 16382}},
        {"Xi 0", 1e6 / 0.5, 1, 0.5, 0, {1, 1, 0}},
    };
    for (const Case& c : cases) {
        const TimingResult r = timingWords(c.f, c.n, c.q, c.g);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.words, c.expected) << c.name;
    }
    EXPECT_NEAR(static_cast<double>(waitCycles(50, 8192, 20, 29)), 68.65625, 1e-9);
}

TEST(TimingWords, RefusesFrequenciesTheDeviceCannotPlay) {
    struct Case {
        const char* name;
        double f, n, q, g;
        TimingError expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        // 1 / (2000 x 8192) s is far below the 725 ns every sample takes: negative waits.
        {"too fast", 2000, 8192, 20, 29, TimingError::TooFast},
        {"just too fast", 1e6 / 28.5, 1, 0.5, 29, TimingError::TooFast},
        {"too slow", 0.001, 8, 20, 29, TimingError::TooSlow},
        {"zero frequency", 0, 8192, 20, 29, TimingError::InvalidInput},
        {"no samples", 50, 0, 20, 29, TimingError::InvalidInput},
        {"zero quartz", 50, 8192, 0, 29, TimingError::InvalidInput},
        {"negative instructions", 50, 8192, 20, -1, TimingError::InvalidInput},
        {"NaN frequency", nan, 8192, 20, 29, TimingError::InvalidInput},
    };
    for (const Case& c : cases) {
        const TimingResult r = timingWords(c.f, c.n, c.q, c.g);
        EXPECT_EQ(r.error, c.expected) << c.name;
        EXPECT_STRNE(timingErrorText(r.error), "") << c.name;
    }
    // The slowest frequency still in range: 65535 outer loops.
    const TimingResult slowest = timingWords(1e6 / (65535.0 * 16383 + 0.5), 1, 0.5, 0);
    ASSERT_TRUE(slowest.ok());
    EXPECT_EQ(slowest.words, (TimingWords{65535, 16383, 0}));
}

TEST(SweepTable, ListsTimingWordsOfEveryStep) {
    // floor(0.001 / Tc) with Tc = 1 / (2 Q 1e6): exact where the quotient is whole, and
    // past 16 bits from 32.768 MHz (the caller refuses those).
    const std::pair<double, std::int64_t> cycles[] = {
        {20, 40000}, {16, 32000},     {16.5, 33000},   {16.384, 32768}, {11.0592, 22118},
        {0.0005, 1}, {32.767, 65534}, {32.768, 65536}, {33, 66000},     {0, 0},
    };
    for (const auto& [quartz, expected] : cycles)
        EXPECT_EQ(sweepCyclesPerMs(quartz), expected) << quartz;

    const SweepTable t = sweepTable(50, 52, 1, 8192, 20, 29);
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(t.wordCount, 9);
    ASSERT_EQ(t.words.size(), 9U);
    for (int k = 0; k < 3; ++k) {
        const TimingWords w = timingWords(50 + k, 8192, 20, 29).words;
        EXPECT_EQ(t.words[3 * k], w.OuterCount);
        EXPECT_EQ(t.words[3 * k + 1], w.InnerCount);
        EXPECT_EQ(t.words[3 * k + 2], w.Remainder);
    }
    // Fractional start: the count and the table agree although 0.1 + 1 + 1 + 1 > 3.1.
    const SweepTable frac = sweepTable(0.1, 3.1, 1, 8192, 20, 29);
    ASSERT_TRUE(frac.ok());
    EXPECT_EQ(frac.wordCount, 12);
    EXPECT_EQ(frac.words.size(), 12U);
}

TEST(SweepTable, UsesStepOneBelowOneAndRefusesWhatCannotBeSent) {
    EXPECT_EQ(sweepStepCount(50, 52, 0), 3);
    EXPECT_EQ(sweepStepCount(50, 52, 0.25), 3);
    EXPECT_EQ(sweepStepCount(50, 52, -4), 3);
    EXPECT_EQ(sweepStepCount(50, 52, 2), 2);
    EXPECT_EQ(sweepStepCount(52, 50, 1), -1);
    EXPECT_EQ(sweepTable(52, 50, 1, 8192, 20, 29).error, SweepError::EndBelowStart);

    // 21845 steps are 65535 words, the most a 16-bit count can announce; one more is refused.
    const SweepTable longest = sweepTable(1, 21845, 1, 8, 20, 29);
    ASSERT_TRUE(longest.ok());
    EXPECT_EQ(longest.wordCount, 65535);
    EXPECT_EQ(sweepTable(1, 21846, 1, 8, 20, 29).error, SweepError::TooLong);

    const SweepTable fast = sweepTable(1000, 3000, 500, 8192, 20, 29);
    EXPECT_EQ(fast.error, SweepError::Timing);
    EXPECT_EQ(fast.timingError, TimingError::TooFast);
    EXPECT_TRUE(fast.words.empty());
}

TEST(ReferenceCode, IsTwiceTruncatedMillivoltsLessOne) {
    EXPECT_EQ(referenceCode(4096), 8191);
    EXPECT_EQ(referenceCode(4096.9), 8191);
    EXPECT_EQ(referenceCode(2048), 4095);
    EXPECT_EQ(referenceCode(1), 1);
    EXPECT_EQ(referenceCode(0), 0xFFFF);
    EXPECT_DOUBLE_EQ(referenceMillivolts(8191), 4096);
    EXPECT_DOUBLE_EQ(sampleStep(4096), 0.001);
}

TEST(SampleCode, TruncatesTowardZeroAndStaysInConverterRange) {
    const double s = sampleStep(4096); // 1 mV per code
    struct Case {
        double steps; // the value in volts is steps x s
        std::uint16_t code;
    };
    const Case cases[] = {
        {0.0, 0x1000},    {-1.0, 0x0FFF},   {-0.7, 0x1000},   {0.7, 0x1000},
        {1.5, 0x1001},    {1000.5, 0x13E8}, {-4096, 0x0000},  {-4097.5, 0x0000},
        {-50000, 0x0000}, {4095.5, 0x1FFF}, {4096.5, 0x1FFF}, {50000, 0x1FFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sampleCode(c.steps * s, s), c.code) << c.steps << " steps";
    EXPECT_EQ(sampleCode(std::numeric_limits<double>::quiet_NaN(), s), 0x1000);
    EXPECT_EQ(sampleCode(std::numeric_limits<double>::infinity(), s), 0x1FFF);
    EXPECT_EQ(sampleCode(-std::numeric_limits<double>::infinity(), s), 0x0000);
    // A smaller reference makes finer steps: 2048 mV, 0.5 mV per code.
    EXPECT_EQ(sampleCode(0.00125, sampleStep(2048)), 0x1002);
    EXPECT_DOUBLE_EQ(sampleVolts(0x0FFF, s), -0.001);
}

TEST(BaudTable, GivesTableSpeedsAnd9600OutsideIt) {
    const int expected[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(baudForIndex(i), expected[i]);
    EXPECT_EQ(baudForIndex(8), 9600);
    EXPECT_EQ(baudForIndex(-1), 9600);
    EXPECT_EQ(baudForIndex(0xFF), 9600);
}

} // namespace
} // namespace ombrix
