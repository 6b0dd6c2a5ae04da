#include "core/compute/calcexpress.h"
#include "core/compute/synthesis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ombrix {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> sine(const OutputForm& form, int n) {
    std::vector<double> out(static_cast<size_t>(n), NAN);
    std::atomic<bool> stop{false};
    EXPECT_TRUE(sineSamples(form, '.', n, stop, [&](int i, double v) { out.at(i) = v; }));
    return out;
}

std::vector<double> pulse(const PulseParams& p, int n, const char* offset = "0") {
    OutputForm form;
    form.Pulse = p;
    form.Offset = offset;
    std::vector<double> work;
    std::atomic<bool> stop{false};
    EXPECT_TRUE(pulseSamples(form, '.', n, stop, work));
    return work;
}

TEST(SineSamples, FundamentalWithOffset) {
    OutputForm form;
    form.Offset = "0.5";
    form.Harmonics[0] = {"1", "0", true};
    const auto v = sine(form, 4);
    const double expected[] = {0.5, 1.5, 0.5, -0.5};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(v[i], expected[i], 1e-12) << i;
}

TEST(SineSamples, FundamentalPhaseTurnsEveryHarmonicAndDisabledRowsAddNothing) {
    OutputForm form;
    form.Harmonics[0] = {"1", "90", true};
    form.Harmonics[1] = {"0.5", "0", true};
    form.Harmonics[2] = {"3", "0", false}; // disabled: contributes nothing
    const int n = 16;
    const auto v = sine(form, n);
    const double w = 2 * kPi / n;
    for (int i = 0; i < n; ++i) {
        // Harmonic 2 turns by twice the fundamental's 90 degrees.
        const double expected = std::sin(i * w + kPi / 2) + 0.5 * std::sin(2 * i * w + kPi);
        EXPECT_NEAR(v[i], expected, 1e-12) << i;
    }
}

TEST(SineSamples, HonoursTheStopRequest) {
    OutputForm form;
    form.Harmonics[0] = {"1", "0", true};
    std::atomic<bool> stop{true};
    int published = 0;
    EXPECT_FALSE(sineSamples(form, '.', 100, stop, [&](int, double) { ++published; }));
    EXPECT_EQ(published, 0);
}

TEST(PulseSamples, StartUpTimesGiveAStepWithNoRiseOrFall) {
    const auto v = pulse({"5", "0", "50", "0", "50", "0"}, 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(v[i], i < 500 ? 0.0 : 5.0) << i;
}

TEST(PulseSamples, TrapezoidWithSeparatelyFlooredIndexes) {
    const auto v = pulse({"1", "0", "10", "20", "30", "40"}, 100);
    EXPECT_EQ(v[9], 0.0);
    EXPECT_DOUBLE_EQ(v[20], 0.5);
    for (int i = 30; i < 60; ++i)
        EXPECT_EQ(v[i], 1.0) << i;
    EXPECT_NEAR(v[99], 0.025, 1e-12); // one step short of A1
    const auto w = pulse({"1", "-1", "10", "20", "30", "40"}, 100, "2");
    EXPECT_DOUBLE_EQ(w[0], 1.0); // offset added to every sample
}

TEST(PulseSamples, HalfPercentOfThreeSamplesFloorsToOne) {
    const auto v = pulse({"5", "1", "50", "0", "50", "0"}, 3);
    EXPECT_EQ(v[0], 1.0);
    EXPECT_EQ(v[1], 5.0);
}

TEST(PulseSamples, TimesAboveHundredPercentLeaveNoFall) {
    const auto v = pulse({"5", "0", "50", "0", "80", "0"}, 10);
    EXPECT_EQ(v[9], 5.0);
}

TEST(EquationSamples, EvaluatesOverOnePeriodInRadians) {
    TCalcExpress calc('.');
    std::vector<double> work;
    std::atomic<bool> stop{false};
    EXPECT_EQ(equationSamples(calc, "sin(x)", 4, stop, work), EquationResult::Done);
    const double expected[] = {0, 1, 0, -1};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(work[i], expected[i], 1e-15) << i;
    // The memo's lines are joined without a separator.
    EXPECT_EQ(equationSamples(calc, "SIN(\nX)", 4, stop, work), EquationResult::Done);
    EXPECT_NEAR(work[1], 1.0, 1e-15);
}

TEST(EquationSamples, FailuresZeroTheBuffer) {
    TCalcExpress calc('.');
    std::vector<double> work;
    std::atomic<bool> stop{false};
    EXPECT_EQ(equationSamples(calc, "2+", 8, stop, work), EquationResult::ParseFailed);
    EXPECT_EQ(equationSamples(calc, "x+1/(x-x)", 8, stop, work), EquationResult::EvalFailed);
    ASSERT_EQ(work.size(), 8u);
    for (double v : work)
        EXPECT_EQ(v, 0.0);
}

TEST(PhaseShiftSamples, ExactMultiplesLandAndNegativeShiftsWrapOnce) {
    struct Case {
        int n;
        double degrees;
        int shift;
    };
    const Case cases[] = {{4, 90, 1},   {1000, 90, 250}, {1000, -90, 750},  {1000, 360, 0},
                          {1000, 0, 0}, {3, 120, 1},     {1000, 45.5, 126}, {1000, -360, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(phaseShiftSamples(c.n, c.degrees), c.shift) << c.n << " " << c.degrees;
}

TEST(PublishRotated, AdvancesTheWaveformByTheShift) {
    std::vector<double> work(1000);
    for (int i = 0; i < 1000; ++i)
        work[i] = i;
    std::vector<double> out(1000, -1);
    std::atomic<bool> stop{false};
    EXPECT_TRUE(publishRotated(work, 1000, 250, stop, [&](int i, double v) { out[i] = v; }));
    EXPECT_EQ(out[0], 250);
    EXPECT_EQ(out[750], 0);
    EXPECT_EQ(out[749], 999);
}

} // namespace
} // namespace ombrix
