// Replays every stored fuzz input (seeds and inputs that once found a fault) through the
// checks the fuzz targets run, so the plain test run guards against regressions.
#include "fuzzchecks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace ombrix::fuzz {

// Test names and failure messages show the target's name.
static void PrintTo(const Target& target, std::ostream* os) {
    *os << target.name;
}

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzCorpus : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCorpus, EveryStoredInputHoldsItsProperties) {
    const Target& target = GetParam();
    const fs::path dir = fs::path(OMBRIX_FUZZ_CORPUS) / target.name;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        const std::vector<std::uint8_t> input = readAll(entry.path());
        EXPECT_EQ(target.check(input), "") << entry.path().filename();
        ++replayed;
    }
    // Each corpus holds at least a few valid inputs.
    EXPECT_GE(replayed, 3) << dir;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace ombrix::fuzz
