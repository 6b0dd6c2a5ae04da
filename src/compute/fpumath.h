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
    // Which of FailFlags are set, and clearing them.
    static int failures() { return std::fetestexcept(FailFlags); }
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
// The x87 status word keeps its exception flags at the positions of the FE_ macros.
static_assert(FE_INVALID == 0x01 && FE_DIVBYZERO == 0x04 && FE_OVERFLOW == 0x08);

struct X87 {
    // Every operation of this set runs on the x87 unit, so its status word alone tells the
    // failures; reading it costs a fraction of fetestexcept, which also reads the SSE flags.
    static int failures() {
        std::uint16_t sw;
        asm volatile("fnstsw %0" : "=am"(sw) : : "memory");
        return sw & FailFlags;
    }
    static void clearFailures() { asm volatile("fnclex" : : : "memory"); }
    // 0/0 on the x87 unit, which sets its invalid-operation flag.
    static void raiseInvalid() {
        asm volatile("fldz\n\tfdiv %%st(0), %%st\n\tfstp %%st(0)" : : : "memory");
    }

    static long double sin(long double x) {
        if (!(std::fabs(x) < ReduceLimit))
            return 0.0L;
        long double r;
        asm("fsin" : "=t"(r) : "0"(x));
        return r;
    }
    static long double cos(long double x) {
        if (!(std::fabs(x) < ReduceLimit))
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
