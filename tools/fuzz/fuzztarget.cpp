// One libFuzzer target: OMBRIX_FUZZ_TARGET names the check of fuzzchecks.h it runs. A failed
// property aborts with its description, so libFuzzer keeps the input as a crash.
#include "fuzzchecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

const ombrix::fuzz::Target& thisTarget() {
    for (const auto& t : ombrix::fuzz::kTargets)
        if (std::string_view(t.name) == OMBRIX_FUZZ_TARGET)
            return t;
    std::fprintf(stderr, "no fuzz check named %s\n", OMBRIX_FUZZ_TARGET);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ombrix::fuzz::Target& target = thisTarget();
    const std::string fault = target.check(ombrix::fuzz::Bytes(data, size));
    if (!fault.empty()) {
        std::fprintf(stderr, "property failed: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
