// Extended-precision functions of the formula evaluator.
//
// Two implementations of the few primitives: X87 uses the x87 instructions directly (fsin,
// fcos, fptan, fpatan, fsqrt, fyl2x, f2xm1/fscale), which is several times faster than the C
// library's long double functions; Portable uses <cmath>. Everything else (hyperbolic
// functions, arc sine and cosine, power, floor...) is built on the primitives once, in FpuOps.
// Failures are never trapped: they leave FE_INVALID, FE_DIVBYZERO or FE_OVERFLOW set in the
// floating-point environment for the caller to test; underflow and inexact are not failures.
#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && __LDBL_MANT_DIG__ == 64 &&  \
    !defined(OMBRIX_PORTABLE_FPU)
#define OMBRIX_HAVE_X87 1
#else
#define OMBRIX_HAVE_X87 0
#endif

namespace ombrix::fpu {

inline constexpr long double Ln2 = 0.693147180559945309417232121458176568L;
inline constexpr long double Lg2 = 0.301029995663981195213738894724493027L; // log10(2)
inline constexpr long double Log2e = 1.442695040888963407359924681001892137L;
// ln 2 in two parts: 48 significant bits, so that n * Ln2Hi is exact for any whole n an
// exponent can need, and the rest.
inline constexpr long double Ln2Hi = 0xb17217f7d1cfp-48L;
inline constexpr long double Ln2Lo = 1.688525005076197806790396056774985255e-15L;
inline constexpr long double HalfPi = 1.570796326794896619231321691639751442L;
// sin, cos and tan give 0 from this magnitude on: the processor reduces no larger argument.
inline constexpr long double ReduceLimit = 0x1p63L;
// exp of anything below this underflows to 0 even as a denormal.
inline constexpr long double ExpZeroBelow = -11400.0L;

// The failures an evaluation reports; underflow and inexact are not among them.
inline constexpr int FailFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

struct Portable {
    // Which of FailFlags are set once `result` has been computed, and clearing them.
    static int failuresAfter(long double result) {
        volatile long double done = result; // the arithmetic may not move past the test
        (void)done;
        return std::fetestexcept(FailFlags);
    }
    static void clearFailures() { std::feclearexcept(FailFlags); }
    static void raiseInvalid() { std::feraiseexcept(FE_INVALID); }

    static long double sin(long double x) {
        return std::fabs(x) < ReduceLimit ? std::sin(x) : 0.0L;
    }
    static long double cos(long double x) {
        return std::fabs(x) < ReduceLimit ? std::cos(x) : 0.0L;
    }
    static long double tan(long double x) {
        return std::fabs(x) < ReduceLimit ? std::tan(x) : 0.0L;
    }
    static long double atan2(long double y, long double x) { return std::atan2(y, x); }
    static long double sqrt(long double x) { return std::sqrt(x); }
    static long double ln(long double x) { return std::log(x); }
    static long double log10(long double x) { return std::log10(x); }
    static long double log2(long double x) { return std::log2(x); }
    static long double exp(long double x) { return x < ExpZeroBelow ? 0.0L : std::exp(x); }
};

#if OMBRIX_HAVE_X87
inline constexpr long double QuarterPi = 0.785398163397448309615660845819875721L;
inline constexpr long double TwoOverPi = 0.636619772367581343075535053490057448L;
inline constexpr long double HalfPi1 = 0xc90fdaa2p-31L;
inline constexpr long double HalfPi2 = 0x85a308d313198a2ep-97L;
inline constexpr long double FastReduceLimit = 0x1p30L;
// Taylor coefficients: SinN = (-1)^((N-1)/2) / N!, CosN = (-1)^(N/2) / N!.
inline constexpr long double Sin3 = -1.0L / 6;
inline constexpr long double Sin5 = 1.0L / 120;
inline constexpr long double Sin7 = -1.0L / 5040;
inline constexpr long double Sin9 = 1.0L / 362880;
inline constexpr long double Sin11 = -1.0L / 39916800;
inline constexpr long double Sin13 = 1.0L / 6227020800;
inline constexpr long double Sin15 = -1.0L / 1307674368000;
inline constexpr long double Sin17 = 1.0L / 355687428096000;
inline constexpr long double Sin19 = -1.0L / 121645100408832000;
inline constexpr long double Cos4 = 1.0L / 24;
inline constexpr long double Cos6 = -1.0L / 720;
inline constexpr long double Cos8 = 1.0L / 40320;
inline constexpr long double Cos10 = -1.0L / 3628800;
inline constexpr long double Cos12 = 1.0L / 479001600;
inline constexpr long double Cos14 = -1.0L / 87178291200;
inline constexpr long double Cos16 = 1.0L / 20922789888000;
inline constexpr long double Cos18 = -1.0L / 6402373705728000;

// The x87 status word keeps its exception flags at the positions of the FE_ macros.
static_assert(FE_INVALID == 0x01 && FE_DIVBYZERO == 0x04 && FE_OVERFLOW == 0x08);

struct X87 {
    // Every operation of this set runs on the x87 unit, so its status word alone tells the
    // failures; reading it costs a fraction of fetestexcept, which also reads the SSE flags.
    // `result` as an operand makes the test wait for the arithmetic that produced it.
    static int failuresAfter(long double result) {
        std::uint16_t sw;
        asm volatile("fnstsw %0" : "=am"(sw) : "f"(result) : "memory");
        return sw & FailFlags;
    }
    static void clearFailures() { asm volatile("fnclex" : : : "memory"); }
    // 0/0 on the x87 unit, which sets its invalid-operation flag.
    static void raiseInvalid() {
        asm volatile("fldz\n\tfdiv %%st(0), %%st\n\tfstp %%st(0)" : : : "memory");
    }

    // sin and cos: up to FastReduceLimit the argument is reduced here to |r| <= pi/4 and the
    // Taylor series (exact to below half an ulp there) is summed in a short dependency chain;
    // on this kind of processor that takes about half the time of the microcoded fsin/fcos,
    // and it is more accurate (pi/2 to 96 bits instead of 66). Beyond, fsin/fcos reduce.
    static long double sin(long double x) {
        long double a = std::fabs(x);
        if (a <= QuarterPi)
            return x == 0 ? x : sinSeries(x); // keeps the sign of a zero
        if (a < FastReduceLimit) {
            long double r;
            switch (reduce(x, r)) {
            case 0:
                return sinSeries(r);
            case 1:
                return cosSeries(r);
            case 2:
                return -sinSeries(r);
            default:
                return -cosSeries(r);
            }
        }
        if (!(a < ReduceLimit))
            return 0.0L;
        long double r;
        asm("fsin" : "=t"(r) : "0"(x));
        return r;
    }
    static long double cos(long double x) {
        long double a = std::fabs(x);
        if (a <= QuarterPi)
            return cosSeries(x);
        if (a < FastReduceLimit) {
            long double r;
            switch (reduce(x, r)) {
            case 0:
                return cosSeries(r);
            case 1:
                return -sinSeries(r);
            case 2:
                return -cosSeries(r);
            default:
                return sinSeries(r);
            }
        }
        if (!(a < ReduceLimit))
            return 0.0L;
        long double r;
        asm("fcos" : "=t"(r) : "0"(x));
        return r;
    }
    // fptan pushes 1.0 above the tangent; it is dropped.
    static long double tan(long double x) {
        if (!(std::fabs(x) < ReduceLimit))
            return 0.0L;
        long double r;
        asm("fptan\n\tfstp %%st(0)" : "=t"(r) : "0"(x));
        return r;
    }
    // The angle whose tangent is y / x, in -pi..pi.
    static long double atan2(long double y, long double x) {
        long double r;
        asm("fpatan" : "=t"(r) : "0"(x), "u"(y) : "st(1)");
        return r;
    }
    static long double sqrt(long double x) {
        long double r;
        asm("fsqrt" : "=t"(r) : "0"(x));
        return r;
    }
    // y * log2(x)
    static long double yl2x(long double x, long double y) {
        long double r;
        asm("fyl2x" : "=t"(r) : "0"(x), "u"(y) : "st(1)");
        return r;
    }
    static long double ln(long double x) { return yl2x(x, Ln2); }
    static long double log10(long double x) { return yl2x(x, Lg2); }
    static long double log2(long double x) { return yl2x(x, 1.0L); }
    // x = k*pi/2 + r; returns k mod 4. pi/2 = HalfPi1 + HalfPi2 with HalfPi1 of 32 bits, so
    // k*HalfPi1 is exact for every k below FastReduceLimit.
    static unsigned reduce(long double x, long double& r) {
        long double k = roundToWhole(x * TwoOverPi);
        long long whole;
        asm("fistpll %0" : "=m"(whole) : "t"(k) : "st");
        r = (x - k * HalfPi1) - k * HalfPi2;
        return static_cast<unsigned>(whole) & 3u;
    }
    // sin r = r + r^3 (-1/3! + r^2/5! - ... - r^16/19!), cos r = 1 - r^2/2! + ... + r^18/18!;
    // the polynomials in z = r^2 summed in Estrin's order.
    static long double sinSeries(long double r) {
        long double z = r * r, z2 = z * z, z4 = z2 * z2;
        long double p = (Sin3 + Sin5 * z) + (Sin7 + Sin9 * z) * z2;
        long double q = (Sin11 + Sin13 * z) + (Sin15 + Sin17 * z) * z2;
        long double s = p + q * z4 + Sin19 * (z4 * z4);
        return r + (r * z) * s;
    }
    static long double cosSeries(long double r) {
        long double z = r * r, z2 = z * z, z4 = z2 * z2;
        long double p = (Cos4 + Cos6 * z) + (Cos8 + Cos10 * z) * z2;
        long double q = (Cos12 + Cos14 * z) + (Cos16 + Cos18 * z) * z2;
        return (1.0L - 0.5L * z) + z2 * (p + q * z4);
    }
    // The nearest whole number, in the current (nearest) rounding mode.
    static long double roundToWhole(long double x) {
        long double r;
        asm("frndint" : "=t"(r) : "0"(x));
        return r;
    }
    // e^x = 2^n * 2^f: n the whole number nearest to x*log2(e), f = r*log2(e) from the
    // remainder r = x - n*ln2 taken in two parts (n*Ln2Hi is exact), so that a large x loses no
    // precision in f; 2^f from f2xm1, scaled by fscale, whose overflow is the overflow of exp.
    static long double exp(long double x) {
        if (x < ExpZeroBelow)
            return 0.0L;
        long double n = roundToWhole(x * Log2e);
        long double f = ((x - n * Ln2Hi) - n * Ln2Lo) * Log2e;
        long double p;
        asm("f2xm1" : "=t"(p) : "0"(f));
        p += 1.0L;
        long double r;
        asm("fscale" : "=t"(r) : "0"(p), "u"(n));
        return r;
    }
};
using Native = X87;
#else
using Native = Portable;
#endif

// The evaluator's functions over one set of primitives M.
template <class M> struct FpuOps {
    static long double cot(long double x) { return 1.0L / M::tan(x); }
    static long double sgn(long double x) { return x < 0 ? -1.0L : (x > 0 ? 1.0L : 0.0L); }
    static long double heaviside(long double x) { return x < 0 ? 0.0L : 1.0L; }
    // Angles from the tangent rule: arcsin x = atan(x / sqrt(1 - x^2)), arccos in 0..pi.
    static long double arcsin(long double x) { return M::atan2(x, M::sqrt(1.0L - x * x)); }
    static long double arccos(long double x) { return M::atan2(M::sqrt(1.0L - x * x), x); }
    static long double arctan(long double x) { return M::atan2(x, 1.0L); }
    static long double arccot(long double x) { return HalfPi - arctan(x); }
    static long double sinh(long double x) { return (M::exp(x) - M::exp(-x)) / 2.0L; }
    static long double cosh(long double x) { return (M::exp(x) + M::exp(-x)) / 2.0L; }
    static long double tanh(long double x) {
        long double p = M::exp(x), n = M::exp(-x);
        return (p - n) / (p + n);
    }
    static long double coth(long double x) {
        long double p = M::exp(x), n = M::exp(-x);
        return (p + n) / (p - n);
    }

    // x truncated toward zero as a signed 64-bit integer; FE_INVALID when it does not fit.
    static bool truncate64(long double x, std::int64_t& out) {
        if (!(x > -0x1p63L - 1.0L && x < 0x1p63L)) {
            M::raiseInvalid();
            out = INT64_MIN; // the processor's "integer indefinite"
            return false;
        }
        out = static_cast<std::int64_t>(x);
        return true;
    }
    static long double trunc(long double x) {
        std::int64_t t;
        truncate64(x, t);
        return static_cast<long double>(t);
    }
    // The 64-bit truncation reduced to its low 32 bits, then one down (floor) or up (ceil) by
    // the sign of the fraction; the step wraps around in 32 bits like the truncation does.
    static long double floor(long double x) {
        std::int64_t t;
        if (!truncate64(x, t))
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(t));
        std::uint32_t r = static_cast<std::uint32_t>(t);
        if (x - static_cast<long double>(t) < 0)
            --r;
        return static_cast<std::int32_t>(r);
    }
    static long double ceil(long double x) {
        std::int64_t t;
        if (!truncate64(x, t))
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(t));
        std::uint32_t r = static_cast<std::uint32_t>(t);
        if (x - static_cast<long double>(t) > 0)
            ++r;
        return static_cast<std::int32_t>(r);
    }

    // x^n for a whole n by repeated squaring; the reciprocal for n < 0.
    static long double intPower(long double x, std::int32_t n) {
        std::uint32_t e =
            n < 0 ? 0u - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
        long double result = 1.0L;
        long double base = x;
        while (e != 0) {
            if (e & 1u)
                result *= base;
            e >>= 1;
            if (e != 0)
                base *= base;
        }
        return n < 0 ? 1.0L / result : result;
    }
    // x^y for a whole y = n.
    static long double powerInt(long double x, std::int32_t n) {
        if (n == 0)
            return 1.0L;
        if (x == 0 && n > 0)
            return 0.0L;
        return intPower(x, n);
    }
    // x^y: 1 for y = 0, 0 for x = 0 and y > 0, repeated squaring for whole y within 32 bits,
    // otherwise e^(y ln x), so that a negative base with a fractional exponent is invalid.
    static long double power(long double x, long double y) {
        if (y == 0)
            return 1.0L;
        if (x == 0 && y > 0)
            return 0.0L;
        if (std::fabs(y) <= 2147483647.0L) {
            auto n = static_cast<std::int32_t>(y);
            if (static_cast<long double>(n) == y)
                return intPower(x, n);
        }
        return M::exp(y * M::ln(x));
    }
};

using Ops = FpuOps<Native>;

} // namespace ombrix::fpu
