#include "core/compute/spectrum.h"

#include <cmath>
#include <numbers>

namespace ombrix {

namespace {

#define OMBRIX_KERNEL [[gnu::always_inline]] inline

// atan(r) = r * P(r^2) for |r| <= tan(pi/8): a minimax fit of degree 10 in r^2 whose error
// (about 4e-17) lies below double rounding. Coefficients of z^0 .. z^10.
constexpr double kAtan[] = {
    0.99999999999999996532,   -0.33333333333328438572,  0.19999999998855110134,
    -0.1428571418097646683,   0.1111110618045594522,    -0.090907730748084137897,
    0.076899534963068577563,  -0.066402339304294085887, 0.056883492268090104794,
    -0.043480522157164624777, 0.021135373157693245206,
};

// atan2(im, re) in radians, -pi..pi, within a few units in the last place of std::atan2, and 0
// for an exact zero of either sign. Written without branches so that the result loop over
// 32768 lines vectorizes: the library atan2 alone would cost more than the transform.
OMBRIX_KERNEL double argument(double re, double im) {
    constexpr double kPi = std::numbers::pi;
    const double ax = std::fabs(re);
    const double ay = std::fabs(im);
    const bool steep = ay > ax;
    const double hi = steep ? ay : ax;
    const double lo = steep ? ax : ay;
    const double t = lo / (hi > 0.0 ? hi : 1.0); // 0..1
    // atan(t) = pi/4 + atan((t - 1) / (t + 1)) brings t above tan(pi/8) into the fitted range.
    const bool upper = t > 0.41421356237309504880;
    const double folded = (t - 1.0) / (t + 1.0);
    const double r = upper ? folded : t;
    const double z = r * r;
    // Estrin's scheme: short dependency chains, so neighbouring lines overlap in the pipeline.
    const double z2 = z * z;
    const double z4 = z2 * z2;
    const double z8 = z4 * z4;
    const double q0 = kAtan[0] + kAtan[1] * z, q1 = kAtan[2] + kAtan[3] * z;
    const double q2 = kAtan[4] + kAtan[5] * z, q3 = kAtan[6] + kAtan[7] * z;
    const double q4 = kAtan[8] + kAtan[9] * z;
    const double p = (q0 + q1 * z2) + (q2 + q3 * z2) * z4 + (q4 + kAtan[10] * z2) * z8;
    double a = (upper ? kPi / 4 : 0.0) + r * p;
    a = steep ? kPi / 2 - a : a;
    a = re < 0.0 ? kPi - a : a;
    a = std::copysign(a, im);
    return hi > 0.0 ? a : 0.0;
}

// One stage's butterflies over one block: a' = a + w b, b' = a - w b, k = 0..h-1. The
// twiddles of a stage are contiguous, and the loop vectorizes.
OMBRIX_KERNEL void butterflies(std::size_t h, const double* __restrict wr,
                               const double* __restrict wi, double* __restrict ar,
                               double* __restrict ai, double* __restrict br,
                               double* __restrict bi) {
    for (std::size_t k = 0; k < h; ++k) {
        const double tr = wr[k] * br[k] - wi[k] * bi[k];
        const double ti = wr[k] * bi[k] + wi[k] * br[k];
        br[k] = ar[k] - tr;
        bi[k] = ai[k] - ti;
        ar[k] += tr;
        ai[k] += ti;
    }
}

// The stages of half-size 4 .. n/2 in place, after the first two (done while loading). wr/wi
// hold the twiddles of the stage of half-size h from offset h - 1.
OMBRIX_KERNEL void stagesBody(std::size_t n, const double* wr, const double* wi, double* re,
                              double* im) {
    for (std::size_t h = 4; h < n; h *= 2)
        for (std::size_t at = 0; at < n; at += 2 * h)
            butterflies(h, wr + (h - 1), wi + (h - 1), re + at, im + at, re + at + h, im + at + h);
}

// Spectrum, magnitude 2|X|/count and phase of n lines.
OMBRIX_KERNEL void linesBody(std::size_t n, const double* __restrict re,
                             const double* __restrict im, double count,
                             TComplexValue* __restrict spectrum, double* __restrict magnitude,
                             double* __restrict phase) {
    for (std::size_t i = 0; i < n; ++i) {
        spectrum[i] = TComplexValue(re[i], im[i]);
        magnitude[i] = 2.0 * std::sqrt(re[i] * re[i] + im[i] * im[i]) / count;
        phase[i] = argument(re[i], im[i]);
    }
}

void stagesPlain(std::size_t n, const double* wr, const double* wi, double* re, double* im) {
    stagesBody(n, wr, wi, re, im);
}
void linesPlain(std::size_t n, const double* re, const double* im, double count,
                TComplexValue* spectrum, double* magnitude, double* phase) {
    linesBody(n, re, im, count, spectrum, magnitude, phase);
}

struct Kernels {
    void (*stages)(std::size_t, const double*, const double*, double*, double*);
    void (*lines)(std::size_t, const double*, const double*, double, TComplexValue*, double*,
                  double*);
};

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same kernels compiled for AVX2 with FMA, chosen at run time on processors that have
// them: twice the vector width for the butterflies and the phase polynomial.
[[gnu::target("avx2,fma")]] void stagesAvx2(std::size_t n, const double* wr, const double* wi,
                                            double* re, double* im) {
    stagesBody(n, wr, wi, re, im);
}
[[gnu::target("avx2,fma")]] void linesAvx2(std::size_t n, const double* re, const double* im,
                                           double count, TComplexValue* spectrum, double* magnitude,
                                           double* phase) {
    linesBody(n, re, im, count, spectrum, magnitude, phase);
}

Kernels chooseKernels() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return {stagesAvx2, linesAvx2};
    return {stagesPlain, linesPlain};
}
#else
Kernels chooseKernels() {
    return {stagesPlain, linesPlain};
}
#endif

const Kernels& kernels() {
    static const Kernels chosen = chooseKernels();
    return chosen;
}

#undef OMBRIX_KERNEL

} // namespace

double TComplexValue::Abs() const {
    return std::sqrt(Norm());
}

double TComplexValue::Arg() const {
    return argument(re_, im_);
}

void TSpectrum::Clear() {
    Input.Clear();
    Magnitude.Clear();
    Spectrum.Clear();
    Phase.Clear();
}

double TSpectrum::LineFrequency(std::int32_t line, double sampleRate) const {
    return static_cast<double>(line) * sampleRate / static_cast<double>(Size);
}

std::int32_t TSpectrum::BitReverse(std::int32_t value, std::int32_t bits) {
    if (bits <= 0)
        return 0;
    auto v = static_cast<std::uint32_t>(value);
    std::uint64_t r = 0;
    for (std::int32_t b = 0; b < bits && b < 64; ++b) {
        r = (r << 1) | (v & 1u);
        v >>= 1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(r));
}

double TSpectrum::WindowWeight(std::uint8_t window, int i, int m) {
    const double theta = 2.0 * std::numbers::pi / static_cast<double>(m);
    const double x = static_cast<double>(i) * theta;
    switch (window) {
    case WindowTriangular: {
        const int h = m / 2;
        // A single sample has no slope to climb: it keeps its full weight.
        if (h == 0)
            return 1.0;
        const double r = static_cast<double>(i) / static_cast<double>(h);
        return i <= h ? r : 2.0 - r;
    }
    case WindowBlackman:
        return 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
    case WindowHanning:
        return 0.5 - 0.5 * std::cos(x);
    case WindowHamming:
        return 0.54 - 0.46 * std::cos(x);
    default:
        return 1.0;
    }
}

void TSpectrum::prepareTables(int n) {
    if (tableSize_ == n)
        return;
    int bits = 0;
    for (int k = n; k > 1; k /= 2)
        ++bits;
    reversed_.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        reversed_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(BitReverse(i, bits));

    // One contiguous run of twiddles per stage, each taken from the N-point table
    // W[t] = e^(-2 pi i t / N) so every stage multiplies by the same values.
    const std::size_t count = n > 1 ? static_cast<std::size_t>(n - 1) : 0;
    twiddleRe_.resize(count);
    twiddleIm_.resize(count);
    for (int h = 1; h < n; h *= 2) {
        const int stride = n / (2 * h);
        for (int k = 0; k < h; ++k) {
            const double angle =
                -2.0 * std::numbers::pi * static_cast<double>(k * stride) / static_cast<double>(n);
            twiddleRe_[static_cast<std::size_t>(h - 1 + k)] = std::cos(angle);
            twiddleIm_[static_cast<std::size_t>(h - 1 + k)] = std::sin(angle);
        }
    }
    re_.assign(static_cast<std::size_t>(n), 0.0);
    im_.assign(static_cast<std::size_t>(n), 0.0);
    tableSize_ = n;
}

void TSpectrum::prepareWeights(int m, int n) {
    if (weightCount_ != m || weightWindow_ != Window) {
        weights_.resize(static_cast<std::size_t>(m));
        for (int i = 0; i < m; ++i)
            weights_[static_cast<std::size_t>(i)] = WindowWeight(Window, i, m);
        weightCount_ = m;
        weightWindow_ = Window;
    }
    // Padded samples weigh 0.
    if (weights_.size() < static_cast<std::size_t>(n))
        weights_.resize(static_cast<std::size_t>(n), 0.0);
}

void TSpectrum::loadFirstStages(double mean) {
    const int n = tableSize_;
    const TComplexValue* in = Input.values_.data();
    const double* w = weights_.data();
    const std::uint32_t* rev = reversed_.data();
    double* re = re_.data();
    double* im = im_.data();
    // a[i] = (Input[j] - mean) * w[j], j the bit reverse of i; padded samples weigh 0.
    auto load = [&](int i, double& r, double& m) {
        const std::uint32_t j = rev[i];
        r = (in[j].Re() - mean) * w[j];
        m = in[j].Im() * w[j];
    };
    if (n < 4) {
        for (int i = 0; i < n; ++i)
            load(i, re[i], im[i]);
        if (n == 2) {
            const double r0 = re[0], i0 = im[0];
            re[0] = r0 + re[1];
            im[0] = i0 + im[1];
            re[1] = r0 - re[1];
            im[1] = i0 - im[1];
        }
        return;
    }
    // The first two stages have the twiddles 1 and -i only: they are done on the loaded values
    // before they are stored, which saves a pass over the work arrays.
    for (int s = 0; s < n; s += 4) {
        double x0, y0, x1, y1, x2, y2, x3, y3;
        load(s, x0, y0);
        load(s + 1, x1, y1);
        load(s + 2, x2, y2);
        load(s + 3, x3, y3);
        const double r0 = x0 + x1, i0 = y0 + y1;
        const double r1 = x0 - x1, i1 = y0 - y1;
        const double r2 = x2 + x3, i2 = y2 + y3;
        const double r3 = x2 - x3, i3 = y2 - y3;
        re[s] = r0 + r2;
        im[s] = i0 + i2;
        re[s + 2] = r0 - r2;
        im[s + 2] = i0 - i2;
        // -i * (r3 + i i3) = i3 - i r3
        re[s + 1] = r1 + i3;
        im[s + 1] = i1 - r3;
        re[s + 3] = r1 - i3;
        im[s + 3] = i1 + r3;
    }
}

void TSpectrum::Calculate() {
    const int m = Input.Count();
    const int n = Size;
    if (n < 1 || (n & (n - 1)) != 0) {
        Spectrum.Clear();
        Magnitude.Clear();
        Phase.Clear();
        return;
    }

    prepareWeights(m, n);
    // Four partial sums: shorter dependency chain and no worse rounding than one running sum.
    double part[4] = {0.0, 0.0, 0.0, 0.0};
    const TComplexValue* values = Input.values_.data();
    int i = 0;
    for (; i + 4 <= m; i += 4)
        for (int k = 0; k < 4; ++k)
            part[k] += values[i + k].Re();
    for (; i < m; ++i)
        part[0] += values[i].Re();
    const double sum = (part[0] + part[1]) + (part[2] + part[3]);
    const double mean = m > 0 ? sum / static_cast<double>(m) : 0.0;
    // An empty input has all-zero lines; dividing them by 1 keeps them 0.
    const double count = m > 0 ? static_cast<double>(m) : 1.0;

    // Padded samples weigh 0, so they enter the transform as exact zeros.
    if (m < n)
        Input.values_.resize(static_cast<std::size_t>(n), TComplexValue(0.0, 0.0));

    prepareTables(n);
    loadFirstStages(mean);
    if (n >= 8)
        kernels().stages(static_cast<std::size_t>(n), twiddleRe_.data(), twiddleIm_.data(),
                         re_.data(), im_.data());

    // Every line is overwritten below, so the previous results need no clearing first.
    // The one-sided amplitude divides by the number of real samples, padded or truncated.
    Spectrum.values_.resize(static_cast<std::size_t>(n));
    Magnitude.values_.resize(static_cast<std::size_t>(n));
    Phase.values_.resize(static_cast<std::size_t>(n));
    kernels().lines(static_cast<std::size_t>(n), re_.data(), im_.data(), count,
                    Spectrum.values_.data(), Magnitude.values_.data(), Phase.values_.data());
}

} // namespace ombrix
