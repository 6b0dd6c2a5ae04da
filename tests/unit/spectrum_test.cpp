#include "core/compute/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace ombrix {
namespace {

constexpr double kPi = std::numbers::pi;

// Direct O(N^2) forward DFT in long double, the reference for the fast transform.
std::vector<std::complex<long double>> directDft(const std::vector<std::complex<long double>>& x) {
    const std::size_t n = x.size();
    std::vector<std::complex<long double>> w(n);
    for (std::size_t t = 0; t < n; ++t) {
        const long double angle = -2.0L * std::numbers::pi_v<long double> *
                                  static_cast<long double>(t) / static_cast<long double>(n);
        w[t] = {std::cos(angle), std::sin(angle)};
    }
    std::vector<std::complex<long double>> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::complex<long double> sum = 0;
        for (std::size_t t = 0; t < n; ++t)
            sum += x[t] * w[(i * t) % n];
        out[i] = sum;
    }
    return out;
}

// What the engine should transform: the first N samples, mean of all M removed, weighted by
// the window over all M, zeros beyond M.
std::vector<std::complex<long double>> preparedInput(const std::vector<double>& samples, int n,
                                                     std::uint8_t window) {
    const int m = static_cast<int>(samples.size());
    long double mean = 0;
    for (double s : samples)
        mean += s;
    mean /= m;
    std::vector<std::complex<long double>> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n && i < m; ++i)
        x[static_cast<std::size_t>(i)] =
            (samples[static_cast<std::size_t>(i)] - mean) * TSpectrum::WindowWeight(window, i, m);
    return x;
}

void load(TSpectrum& s, const std::vector<double>& samples) {
    s.Clear();
    for (double v : samples)
        s.Input.Add(v, 0.0);
}

// Largest deviation of the engine's spectrum from the reference, relative to the reference's
// largest line.
double relativeError(const TSpectrum& s, const std::vector<std::complex<long double>>& ref) {
    long double worst = 0, largest = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        const auto& v = s.Spectrum[static_cast<int>(i)];
        worst = std::max(worst, std::abs(std::complex<long double>(v.Re(), v.Im()) - ref[i]));
        largest = std::max(largest, std::abs(ref[i]));
    }
    return static_cast<double>(largest > 0 ? worst / largest : worst);
}

std::vector<double> randomSamples(int m, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-5.0, 5.0);
    std::vector<double> v(static_cast<std::size_t>(m));
    for (double& x : v)
        x = dist(gen);
    return v;
}

TEST(ComplexValue, ArithmeticNormAndArgument) {
    const TComplexValue a(1.5, -2.0), b(-3.0, 0.5);
    EXPECT_EQ(a + b, TComplexValue(-1.5, -1.5));
    EXPECT_EQ(a * b, TComplexValue(1.5 * -3.0 - (-2.0 * 0.5), 1.5 * 0.5 + -2.0 * -3.0));
    EXPECT_EQ(a - 4.0, TComplexValue(-2.5, -2.0));
    EXPECT_EQ(a * 2.0, TComplexValue(3.0, -4.0));
    EXPECT_FALSE(a == TComplexValue(1.5, 2.0));
    EXPECT_DOUBLE_EQ(TComplexValue(3.0, 4.0).Norm(), 25.0);
    EXPECT_DOUBLE_EQ(TComplexValue(3.0, -4.0).Abs(), 5.0);
    EXPECT_DOUBLE_EQ(TComplexValue(-1.0, 0.0).Arg(), kPi);
    EXPECT_DOUBLE_EQ(TComplexValue(0.0, -2.0).Arg(), -kPi / 2);
    // atan2 would give pi for (-0, 0) and -pi for (-0, -0): an exact zero has argument 0.
    EXPECT_EQ(TComplexValue(0.0, 0.0).Arg(), 0.0);
    EXPECT_EQ(TComplexValue(-0.0, 0.0).Arg(), 0.0);
    EXPECT_EQ(TComplexValue(-0.0, -0.0).Arg(), 0.0);
}

TEST(ComplexValue, ArgumentAgreesWithLibraryAtan2) {
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> scale(-300, 300);
    std::vector<TComplexValue> values = {
        {1, 0},   {0, 1},    {-1, 0},    {0, -1}, {1, 1},     {-1, 1},         {1, -1},
        {-1, -1}, {-0.0, 2}, {-0.0, -2}, {-3, 0}, {-3, -0.0}, {1e-300, 1e300}, {1e300, -1e-300}};
    // Both sides of the fold at tan(pi/8) and of the diagonal.
    for (double t :
         {0.41421356237309503, 0.41421356237309506, 0.9999999999999999, 1.0000000000000002})
        values.emplace_back(1.0, t);
    for (int i = 0; i < 200000; ++i) {
        const double f = std::ldexp(1.0, scale(gen));
        values.emplace_back(unit(gen) * f, unit(gen) * f);
    }
    double worst = 0;
    for (const TComplexValue& v : values)
        worst = std::max(worst, std::abs(v.Arg() - std::atan2(v.Im(), v.Re())));
    EXPECT_LT(worst, 1e-15);
}

TEST(SpectrumWindow, WeightsArePeriodicOverTheInputCount) {
    const int m = 1000;
    EXPECT_EQ(TSpectrum::WindowWeight(WindowRectangle, 0, m), 1.0);
    EXPECT_EQ(TSpectrum::WindowWeight(WindowRectangle, 999, m), 1.0);

    // Hanning: 0 at sample 0, its largest weight 1 at M/2.
    EXPECT_NEAR(TSpectrum::WindowWeight(WindowHanning, 0, m), 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(TSpectrum::WindowWeight(WindowHanning, m / 2, m), 1.0);
    // Hamming runs from 0.08 to 1.
    EXPECT_DOUBLE_EQ(TSpectrum::WindowWeight(WindowHamming, 0, m), 0.08);
    EXPECT_DOUBLE_EQ(TSpectrum::WindowWeight(WindowHamming, m / 2, m), 1.0);
    // Blackman: 0 at sample 0, 1 at M/2.
    EXPECT_NEAR(TSpectrum::WindowWeight(WindowBlackman, 0, m), 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(TSpectrum::WindowWeight(WindowBlackman, m / 2, m), 1.0);

    for (std::uint8_t w : {WindowHanning, WindowHamming, WindowBlackman}) {
        double top = 0;
        for (int i = 0; i < m; ++i) {
            const double v = TSpectrum::WindowWeight(w, i, m);
            top = std::max(top, v);
            // Periodic form: symmetric about M/2, the weight of sample M is not in the list.
            if (i > 0) {
                EXPECT_NEAR(v, TSpectrum::WindowWeight(w, m - i, m), 1e-12) << int(w) << " " << i;
            }
        }
        EXPECT_DOUBLE_EQ(top, 1.0) << int(w);
        EXPECT_GT(TSpectrum::WindowWeight(w, m - 1, m), TSpectrum::WindowWeight(w, 0, m));
    }
}

TEST(SpectrumWindow, TriangularRisesToOneAtHalfTheCount) {
    const std::vector<double> even = {0, 0.25, 0.5, 0.75, 1, 0.75, 0.5, 0.25};
    for (int i = 0; i < 8; ++i)
        EXPECT_DOUBLE_EQ(TSpectrum::WindowWeight(WindowTriangular, i, 8), even[i]) << i;
    // M = 5: h = 2, so the peak is at sample 2 and sample 4 is back to 0.
    const std::vector<double> odd = {0, 0.5, 1, 0.5, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_DOUBLE_EQ(TSpectrum::WindowWeight(WindowTriangular, i, 5), odd[i]) << i;
    // A single sample (h = 0) keeps its full weight instead of dividing by zero.
    EXPECT_EQ(TSpectrum::WindowWeight(WindowTriangular, 0, 1), 1.0);

    TSpectrum s;
    s.Size = 128;
    s.Window = WindowTriangular;
    load(s, {2.5});
    s.Calculate();
    ASSERT_EQ(s.Magnitude.Count(), 128);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(s.Magnitude[i], 0.0) << i;
}

TEST(SpectrumCalculate, ConstantInputHasNoLines) {
    for (std::uint8_t w = 0; w <= 4; ++w) {
        for (int m : {256, 1000, 4096}) {
            TSpectrum s;
            s.Size = 256;
            s.Window = w;
            load(s, std::vector<double>(static_cast<std::size_t>(m), 3.75));
            s.Calculate();
            ASSERT_EQ(s.Magnitude.Count(), 256);
            for (int i = 0; i < 256; ++i) {
                EXPECT_EQ(s.Magnitude[i], 0.0) << int(w) << " " << m << " " << i;
                // Every line is exactly zero, so its phase is 0, never atan2's pi.
                EXPECT_EQ(s.Phase[i], 0.0) << int(w) << " " << m << " " << i;
            }
        }
    }
}

TEST(SpectrumCalculate, WholePeriodSineShowsItsAmplitudeAtItsLines) {
    struct Case {
        int n, k;
    };
    for (const Case c : {Case{128, 1}, Case{2048, 5}, Case{1024, 100}, Case{4096, 2047}}) {
        std::vector<double> x(static_cast<std::size_t>(c.n));
        for (int t = 0; t < c.n; ++t)
            x[static_cast<std::size_t>(t)] = 0.4 + std::sin(2 * kPi * c.k * t / c.n);
        TSpectrum s;
        s.Size = c.n;
        load(s, x);
        s.Calculate();
        ASSERT_EQ(s.Magnitude.Count(), c.n);
        for (int i = 0; i < c.n; ++i) {
            const bool line = i == c.k || i == c.n - c.k;
            EXPECT_NEAR(s.Magnitude[i], line ? 1.0 : 0.0, 1e-9) << c.n << " " << c.k << " " << i;
        }
        // sin = (e^{ix} - e^{-ix}) / 2i: the positive line has phase -pi/2.
        EXPECT_NEAR(s.Phase[c.k], -kPi / 2, 1e-9);
        EXPECT_NEAR(s.Phase[c.n - c.k], kPi / 2, 1e-9);
    }
}

TEST(SpectrumCalculate, ShortInputIsPaddedInPlaceAndScaledByItsCount) {
    const std::vector<double> x = randomSamples(1000, 7);
    TSpectrum s;
    s.Size = 2048;
    load(s, x);
    s.Calculate();

    ASSERT_EQ(s.Input.Count(), 2048);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(s.Input[i], TComplexValue(x[static_cast<std::size_t>(i)], 0.0));
    for (int i = 1000; i < 2048; ++i)
        EXPECT_EQ(s.Input[i], TComplexValue(0.0, 0.0)) << i;

    const auto ref = directDft(preparedInput(x, 2048, WindowRectangle));
    EXPECT_LT(relativeError(s, ref), 1e-9);
    ASSERT_EQ(s.Magnitude.Count(), 2048);
    for (int i = 0; i < 2048; i += 97)
        EXPECT_NEAR(s.Magnitude[i], 2.0 * static_cast<double>(std::abs(ref[i])) / 1000.0, 1e-9)
            << i;
}

TEST(SpectrumCalculate, LongInputIsTruncatedWithTheWindowOverAllSamples) {
    const std::vector<double> x = randomSamples(8192, 11);
    TSpectrum s;
    s.Size = 2048;
    s.Window = WindowHanning;
    load(s, x);
    s.Calculate();

    EXPECT_EQ(s.Input.Count(), 8192);
    const auto ref = directDft(preparedInput(x, 2048, WindowHanning));
    EXPECT_LT(relativeError(s, ref), 1e-9);
    ASSERT_EQ(s.Magnitude.Count(), 2048);
    for (int i = 0; i < 2048; i += 61)
        EXPECT_NEAR(s.Magnitude[i], 2.0 * static_cast<double>(std::abs(ref[i])) / 8192.0, 1e-9)
            << i;
}

TEST(SpectrumCalculate, MatchesDirectTransformForEverySize) {
    unsigned seed = 1;
    for (int n : {1, 2, 4, 8, 16, 128, 512, 2048}) {
        for (std::uint8_t w : {WindowRectangle, WindowBlackman}) {
            const std::vector<double> x = randomSamples(n, seed++);
            TSpectrum s;
            s.Size = n;
            s.Window = w;
            load(s, x);
            s.Calculate();
            ASSERT_EQ(s.Spectrum.Count(), n);
            const auto ref = directDft(preparedInput(x, n, w));
            EXPECT_LT(relativeError(s, ref), 1e-9) << n << " window " << int(w);
            for (int i = 0; i < n; ++i) {
                const auto& v = s.Spectrum[i];
                EXPECT_DOUBLE_EQ(s.Magnitude[i], 2.0 * v.Abs() / n);
                const bool zero = v == TComplexValue(0.0, 0.0);
                EXPECT_NEAR(s.Phase[i], zero ? 0.0 : std::atan2(v.Im(), v.Re()), 1e-15);
            }
        }
    }
}

TEST(SpectrumCalculate, ReusedEngineGivesTheResultsOfAFreshOne) {
    struct Step {
        int n, m;
        std::uint8_t window;
    };
    // Changes of size, of input count and of window alone must each rebuild what they affect.
    const std::vector<Step> steps = {{256, 256, WindowHanning},  {1024, 300, WindowHanning},
                                     {1024, 300, WindowHamming}, {256, 300, WindowHamming},
                                     {256, 256, WindowHanning},  {128, 256, WindowTriangular}};
    TSpectrum reused;
    unsigned seed = 100;
    for (const Step& st : steps) {
        const std::vector<double> x = randomSamples(st.m, seed++);
        TSpectrum fresh;
        for (TSpectrum* s : {&reused, &fresh}) {
            s->Size = st.n;
            s->Window = st.window;
            load(*s, x);
            s->Calculate();
        }
        ASSERT_EQ(reused.Spectrum.Count(), st.n);
        for (int i = 0; i < st.n; ++i) {
            EXPECT_EQ(reused.Spectrum[i], fresh.Spectrum[i]) << st.n << " " << i;
            EXPECT_EQ(reused.Magnitude[i], fresh.Magnitude[i]);
            EXPECT_EQ(reused.Phase[i], fresh.Phase[i]);
        }
    }
}

TEST(SpectrumEngine, LineFrequencySpansZeroToHalfTheSampleRate) {
    TSpectrum s;
    for (int n : {128, 2048, 32768}) {
        s.Size = n;
        EXPECT_EQ(s.LineFrequency(0, 48000.0), 0.0);
        EXPECT_DOUBLE_EQ(s.LineFrequency(n / 2, 48000.0), 24000.0);
        EXPECT_DOUBLE_EQ(s.LineFrequency(1, 1000.0 * n), 1000.0);
    }
}

TEST(SpectrumEngine, BitReverseReversesTheLowestBits) {
    struct Case {
        std::int32_t value, bits, expected;
    };
    const Case cases[] = {
        {1, 3, 4},      {6, 3, 3},        {0b1011, 4, 0b1101},
        {1, 1, 1},      {1, 15, 1 << 14}, {0x7FFF, 15, 0x7FFF},
        {0xFF, 4, 0xF}, // bits above `bits` are ignored
        {5, 0, 0},      {5, -1, 0},       {-1, 0, 0},
        {0, 11, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TSpectrum::BitReverse(c.value, c.bits), c.expected) << c.value << " " << c.bits;
}

TEST(SpectrumEngine, OutOfContractInputsGiveSafeResults) {
    TSpectrum s;
    s.Size = 1000; // no power of two: no lines
    load(s, randomSamples(100, 5));
    s.Calculate();
    EXPECT_EQ(s.Spectrum.Count(), 0);
    EXPECT_EQ(s.Magnitude.Count(), 0);

    s.Size = 128; // no samples: zero lines, not the NaN of a division by M = 0
    s.Clear();
    s.Calculate();
    ASSERT_EQ(s.Magnitude.Count(), 128);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(s.Magnitude[i], 0.0) << i;
        EXPECT_EQ(s.Phase[i], 0.0) << i;
    }
}

} // namespace
} // namespace ombrix
