#include "core/compute/vectorstate.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ombrix {

#if defined(__x86_64__) || defined(__i386__)

namespace {

// Compiled for AVX on its own; only called once the CPU was found to have it.
__attribute__((target("avx"))) void zeroUpper() {
    _mm256_zeroupper();
}

bool cpuHasAvx() {
    static const bool has = __builtin_cpu_supports("avx");
    return has;
}

} // namespace

void clearUpperVectorState() {
    if (cpuHasAvx())
        zeroUpper();
}

#else

void clearUpperVectorState() {}

#endif

} // namespace ombrix
