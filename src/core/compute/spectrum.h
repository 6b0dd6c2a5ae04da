// The FFT engine: one period of an output's samples in, its spectrum lines out.
//
// The calculation thread clears the engine, appends the samples of one output to `Input`
// (real values, imaginary part 0), calls Calculate() and the spectrum views read `Magnitude`,
// `Spectrum` and `Phase` for lines 0 .. Size/2 - 1. Plain C++, no locks: one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

namespace ombrix {

// One complex value (real part, imaginary part).
class TComplexValue {
  public:
    constexpr TComplexValue() = default;
    constexpr TComplexValue(double re, double im) : re_(re), im_(im) {}

    constexpr double Re() const { return re_; }
    constexpr double Im() const { return im_; }

    constexpr TComplexValue operator+(const TComplexValue& o) const {
        return {re_ + o.re_, im_ + o.im_};
    }
    // (a+ib)(c+id) = (ac-bd) + i(ad+bc)
    constexpr TComplexValue operator*(const TComplexValue& o) const {
        return {re_ * o.re_ - im_ * o.im_, re_ * o.im_ + im_ * o.re_};
    }
    // Subtracts a real number from the real part only.
    constexpr TComplexValue operator-(double r) const { return {re_ - r, im_}; }
    // Multiplies both parts by a real number.
    constexpr TComplexValue operator*(double r) const { return {re_ * r, im_ * r}; }
    constexpr bool operator==(const TComplexValue& o) const = default;

    // re^2 + im^2
    constexpr double Norm() const { return re_ * re_ + im_ * im_; }
    // Square root of the norm.
    double Abs() const;
    // atan2(im, re) in radians, -pi..pi (within 1e-15 of std::atan2); 0 for exactly (0, 0)
    // of either sign.
    double Arg() const;

  private:
    double re_ = 0.0;
    double im_ = 0.0;
};

// Ordered, growable list of real values, zero-based.
class TSeries {
  public:
    void Add(double value) { values_.push_back(value); }
    double operator[](int index) const { return values_[static_cast<std::size_t>(index)]; }
    int Count() const { return static_cast<int>(values_.size()); }
    void Clear() { values_.clear(); }

  private:
    friend class TSpectrum;
    std::vector<double> values_;
};

// Ordered, growable list of complex values, zero-based.
class TComplex {
  public:
    void Add(double re, double im) { values_.emplace_back(re, im); }
    const TComplexValue& operator[](int index) const {
        return values_[static_cast<std::size_t>(index)];
    }
    void Set(int index, const TComplexValue& value) {
        values_[static_cast<std::size_t>(index)] = value;
    }
    int Count() const { return static_cast<int>(values_.size()); }
    void Clear() { values_.clear(); }

  private:
    friend class TSpectrum;
    std::vector<TComplexValue> values_;
};

// Weighting window codes, as the window menu of the spectrum views stores them.
enum WindowCode : std::uint8_t {
    WindowRectangle = 0,
    WindowTriangular = 1,
    WindowBlackman = 2,
    WindowHanning = 3,
    WindowHamming = 4,
};

// Radix-2 decimation-in-time FFT with mean removal, periodic weighting windows and zero
// padding or truncation of the input to the transform size.
class TSpectrum {
  public:
    TComplex Spectrum;        // result: unscaled transform values X[0..Size-1]
    std::uint8_t Window = 0;  // WindowCode 0..4
    std::int32_t Size = 2048; // transform size N, a power of two (128 .. 32768 from the menus)
    TComplex Input;           // samples to transform; padded with (0, 0) in place up to Size
    TSeries Magnitude;        // result: 2 |X[i]| / M, M = number of input samples
    TSeries Phase; // result: arg X[i] in radians (-pi..pi, within 1e-15 of atan2), 0 for an
                   // exactly zero line

    // Transforms the M values of `Input` into `Spectrum`, `Magnitude` and `Phase`, N = Size
    // lines each. The window is built over the M inputs and the mean of all M inputs is
    // removed before weighting; M < N pads `Input` with zeros, M > N transforms the first N.
    // Expects M >= 1 and Size a power of two; an empty input gives all-zero lines, a Size
    // that is not a positive power of two gives empty results.
    void Calculate();

    // Empties Input, Magnitude, Spectrum and Phase.
    void Clear();

    // line * sampleRate / Size: the frequency of a line in the unit of sampleRate.
    double LineFrequency(std::int32_t line, double sampleRate) const;

    // The lowest `bits` bits of value in reversed order; 0 when bits <= 0.
    static std::int32_t BitReverse(std::int32_t value, std::int32_t bits);

    // Weight of sample i of M for a window code (an unknown code weighs like the rectangle).
    static double WindowWeight(std::uint8_t window, int i, int m);

  private:
    void prepareTables(int n);
    void prepareWeights(int m, int n);
    void loadFirstStages(double mean);

    // Kept between calls: they depend only on Size (tables) or on M and Window (weights), so
    // reusing them gives exactly the values a rebuild would.
    int tableSize_ = 0;
    std::vector<std::uint32_t> reversed_; // BitReverse(i, log2 N)
    std::vector<double> twiddleRe_;       // per stage h = 1, 2, 4, .., N/2: e^(-2 pi i k / 2h),
    std::vector<double> twiddleIm_;       // k = 0..h-1, stored from offset h - 1
    int weightCount_ = -1;
    int weightWindow_ = -1;
    std::vector<double> weights_; // M weights, then zeros for padded samples
    std::vector<double> re_;      // work arrays, N values
    std::vector<double> im_;
};

} // namespace ombrix
