#include "core/device/crc16.h"
#include "core/device/frame.h"
#include "core/device/playback.h"
#include "core/device/simgenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace ombrix {
namespace {

TEST(RealFrequency, HandComputedCases) {
    // Q = 20 MHz: Tc = 25 ns; G = 29 instructions per sample.
    struct Case {
        double freq, samples, expectedHz;
    };
    const Case cases[] = {
        // 50 Hz, N = 8192: words 1, 1, 68 -> (29 + 68) 25 ns per sample.
        {50, 8192, 1.0 / (8192 * 97 * 25e-9)},
        // 1 Hz, N = 700: words 3, 16383, 7964 -> 3 x 16383 + 7964 = 57113 waits.
        {1, 700, 1.0 / (700 * (29.0 + 57113) * 25e-9)},
        // 1000 Hz, N = 1000: X = 1e-6 / 25e-9 - 29 = 11 exactly: no error at all.
        {1000, 1000, 1000.0},
    };
    for (const Case& c : cases) {
        const auto r = realFrequency(c.freq, c.samples, 20, 29);
        ASSERT_TRUE(r.has_value()) << c.freq;
        EXPECT_NEAR(r->hz, c.expectedHz, c.expectedHz * 1e-12) << c.freq;
        EXPECT_NEAR(r->ppm, (c.expectedHz - c.freq) / c.freq * 1e6, 1e-6) << c.freq;
    }
    EXPECT_NEAR(realFrequency(1000, 1000, 20, 29)->ppm, 0.0, 1e-9);
    // Faster than the device can play: nothing.
    EXPECT_FALSE(realFrequency(5000, 1000, 20, 29).has_value());
}

TEST(FrequencyError, IsWhatIsPlayedAgainstWhatWasTyped) {
    // 750 Hz at N = 1000: 53.3 cycles a sample become 53, the device plays 754.717 Hz.
    const auto r = realFrequency(750, 1000, 20, 29);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(frequencyErrorText(r->ppm, '.'), "+6289.3 ppm");
    EXPECT_DOUBLE_EQ(r->ppm, frequencyErrorPpm(r->hz, 750));
    EXPECT_EQ(frequencyErrorPpm(754, 0), 0); // nothing asked, no error
    struct Case {
        double ppm;
        char sep;
        const char* text;
    };
    for (const Case& c :
         {Case{-200, '.', "-200 ppm"}, Case{6289.25, ',', "+6289,3 ppm"}, Case{0.04, '.', "exact"},
          Case{-0.04, '.', "exact"}, Case{-0.06, ',', "-0,1 ppm"}})
        EXPECT_EQ(frequencyErrorText(c.ppm, c.sep), c.text) << c.ppm;
}

TEST(RealFrequency, AgreesWithWhatTheSimulatedGeneratorPlays) {
    for (double f : {1.0, 7.0, 50.0, 333.0, 1000.0, 1300.0}) {
        SimGenerator sim;
        const int n = 1000;
        // One sample block so the generator knows N, then the frequency frame.
        const CommandFrame header = samplesHeader(0, 0, n, 0x01);
        std::vector<std::uint8_t> block(header.bytes.begin(), header.bytes.end());
        const std::vector<std::uint16_t> data(n, 0x1000);
        for (std::uint16_t w : data) {
            const auto b = wordBytes(w);
            block.insert(block.end(), b.begin(), b.end());
        }
        const auto trailer = wordBytes(Crc16Words(data, header.crc(), true));
        block.insert(block.end(), trailer.begin(), trailer.end());
        sim.receive(block);
        const TimingWords words = timingWords(f, n, 20, 29).words;
        const auto frame = frequencyFrame(words).wire();
        sim.receive(frame);
        EXPECT_NEAR(sim.playedFrequency(), realFrequency(f, n, 20, 29)->hz, 1e-9 * f) << f;
    }
}

TEST(ConverterRange, LimitsFollowTheSampleCodes) {
    const VoltageRange r = converterRange(4096);
    const double step = 1e-3;
    EXPECT_NEAR(r.low, -4097 * step, 1e-9);
    EXPECT_NEAR(r.high, 4096 * step, 1e-9);
    EXPECT_EQ(sampleCode(r.high - 1e-6, step), 0x1FFF);
    EXPECT_EQ(sampleCode(r.low + 1e-6, step), 0x0000);
}

TEST(LimitedOutputs, NamesActiveOutputsBeyondTheirReference) {
    std::array<std::vector<double>, kOutputCount> s;
    s[0] = {0, 4.09}; // within 4096 mV
    s[1] = {0, 4.2};  // beyond VRef1
    s[2] = {-2.5, 0}; // beyond VRef2 = 2048 mV
    s[3] = {2.0};     // within VRef2
    s[4] = {100.0};   // inactive: not checked
    const std::array<bool, kOutputCount> active{true, true, true, true, false, false};
    const auto limited = limitedOutputs(s, active, 4096, 2048);
    EXPECT_EQ(limited, (std::array<bool, kOutputCount>{false, true, true, false, false, false}));
}

// The check looks at the extremes only; it must agree with looking at every sample's code,
// NaN and infinities included, in whatever order they come.
TEST(LimitedOutputs, AgreeWithEverySamplesCode) {
    const double step = sampleStep(4096);
    const double edges[] = {converterRange(4096).low, converterRange(4096).high, 0.0};
    const double odd[] = {NAN, INFINITY, -INFINITY};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::array<std::vector<double>, kOutputCount> s;
        for (int j = 0; j < 1 + static_cast<int>(random() % 5); ++j) {
            double v = edges[random() % 3] + (static_cast<int>(random() % 7) - 3) * step / 4;
            if (random() % 10 == 0)
                v = odd[random() % 3];
            s[0].push_back(v);
        }
        bool expected = false;
        for (double v : s[0]) {
            const double code = std::trunc(v / step) + kSampleCodeZero;
            expected = expected || code < kSampleCodeMin || code > kSampleCodeMax;
        }
        const std::array<bool, kOutputCount> active{true};
        ASSERT_EQ(limitedOutputs(s, active, 4096, 4096)[0], expected)
            << ::testing::PrintToString(s[0]);
    }
}

} // namespace
} // namespace ombrix
