// Sample export: the CSV read back value for value, the WAV header fields and data read back,
// and the inputs both writers refuse.
#include "core/model/sampleexport.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

namespace ombrix {
namespace {

ExportFlags activeOf(std::initializer_list<int> outputs) {
    ExportFlags active{};
    for (int k : outputs)
        active[static_cast<std::size_t>(k - 1)] = true;
    return active;
}

// Values that a fixed precision or a locale separator would spoil.
ExportSamples awkwardSamples(std::size_t n) {
    const double pool[] = {0.1,     1.0 / 3.0,  -2.5,  -0.0, 5e-324, 1.7976931348623157e308,
                           -1e-300, 123456.789, 4.096, 1e21, -7.0,   0.30000000000000004};
    ExportSamples s;
    for (int k = 0; k < kOutputCount; ++k)
        for (std::size_t j = 0; j < n; ++j)
            s[static_cast<std::size_t>(k)].push_back(pool[(j + 3 * k) % std::size(pool)] *
                                                     (k % 2 ? -1 : 1));
    return s;
}

std::vector<std::string> split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, by))
        parts.push_back(part);
    return parts;
}

TEST(SamplesCsv, ReadsBackExactlyWithHeaderOfActiveOutputs) {
    const ExportSamples samples = awkwardSamples(12);
    std::string error;
    const auto csv = samplesCsv(samples, activeOf({1, 3, 6}), error);
    ASSERT_TRUE(csv) << error;
    ASSERT_EQ(csv->back(), '\n');
    const auto rows = split(*csv, '\n');
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0], "Output 1 [V],Output 3 [V],Output 6 [V]");
    const int outputs[] = {0, 2, 5};
    for (std::size_t j = 0; j < 12; ++j) {
        const auto fields = split(rows[j + 1], ',');
        ASSERT_EQ(fields.size(), 3u) << rows[j + 1];
        for (std::size_t c = 0; c < 3; ++c) {
            double v = 0;
            const std::string& f = fields[c];
            const auto r = std::from_chars(f.data(), f.data() + f.size(), v);
            ASSERT_EQ(r.ec, std::errc()) << f;
            ASSERT_EQ(r.ptr, f.data() + f.size()) << f;
            const double want = samples[static_cast<std::size_t>(outputs[c])][j];
            EXPECT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(want))
                << "row " << j << " column " << c << ": " << f;
        }
    }
}

TEST(SamplesCsv, WritesNonFiniteValuesAsReadableWords) {
    ExportSamples s;
    s[0] = {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::quiet_NaN(), 1.5};
    std::string error;
    const auto csv = samplesCsv(s, activeOf({1}), error);
    ASSERT_TRUE(csv) << error;
    EXPECT_EQ(*csv, "Output 1 [V]\ninf\n-inf\nnan\n1.5\n");
}

// One row per refused or accepted shape of input.
TEST(SampleExport, RefusesInputsThatWouldGiveAWrongFile) {
    struct Case {
        const char* name;
        ExportFlags active;
        std::array<std::size_t, kOutputCount> sizes;
        bool accepted;
        const char* errorPart;
    };
    const Case cases[] = {
        {"nothing active", activeOf({}), {4, 4, 4, 4, 4, 4}, false, "No output"},
        {"active output empty", activeOf({1, 2}), {4, 0, 4, 4, 4, 4}, false, "Output 2 holds no"},
        {"all empty", activeOf({1}), {0, 0, 0, 0, 0, 0}, false, "Output 1 holds no"},
        {"lengths differ", activeOf({1, 4}), {4, 4, 4, 5, 4, 4}, false, "Output 4 holds 5"},
        {"inactive output ignored", activeOf({1, 4}), {3, 0, 9, 3, 1, 0}, true, ""},
        {"one sample", activeOf({6}), {0, 0, 0, 0, 0, 1}, true, ""},
    };
    for (const Case& c : cases) {
        ExportSamples s;
        for (int k = 0; k < kOutputCount; ++k)
            s[static_cast<std::size_t>(k)].assign(c.sizes[static_cast<std::size_t>(k)], 0.25);
        std::string csvError, wavError;
        const auto csv = samplesCsv(s, c.active, csvError);
        const auto wav = samplesWav(s, c.active, 1000.0, wavError);
        EXPECT_EQ(csv.has_value(), c.accepted) << c.name;
        EXPECT_EQ(wav.has_value(), c.accepted) << c.name;
        if (!c.accepted) {
            EXPECT_NE(csvError.find(c.errorPart), std::string::npos) << c.name << ": " << csvError;
            EXPECT_EQ(csvError, wavError) << c.name;
        }
    }
}

std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 16 |
           static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}
std::uint16_t le16(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
std::string tag(const std::vector<unsigned char>& b, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

TEST(SamplesWav, HeaderFieldsDescribeFloatChannelsOfActiveOutputs) {
    const ExportSamples samples = awkwardSamples(5);
    std::string error;
    // N = 5 at 333.3 Hz: 1666.5 samples per second rounds to 1667.
    const auto wav = samplesWav(samples, activeOf({2, 3, 5}), 5 * 333.3, error);
    ASSERT_TRUE(wav) << error;
    const auto& b = *wav;
    ASSERT_EQ(b.size(), 58u + 5 * 3 * 4);
    EXPECT_EQ(tag(b, 0), "RIFF");
    EXPECT_EQ(le32(b, 4), b.size() - 8);
    EXPECT_EQ(tag(b, 8), "WAVE");
    EXPECT_EQ(tag(b, 12), "fmt ");
    EXPECT_EQ(le32(b, 16), 18u);
    EXPECT_EQ(le16(b, 20), 3u); // IEEE float
    EXPECT_EQ(le16(b, 22), 3u); // channels
    EXPECT_EQ(le32(b, 24), 1667u);
    EXPECT_EQ(le32(b, 28), 1667u * 12);
    EXPECT_EQ(le16(b, 32), 12u); // block align
    EXPECT_EQ(le16(b, 34), 32u);
    EXPECT_EQ(le16(b, 36), 0u); // cbSize
    EXPECT_EQ(tag(b, 38), "fact");
    EXPECT_EQ(le32(b, 42), 4u);
    EXPECT_EQ(le32(b, 46), 5u); // frames
    EXPECT_EQ(tag(b, 50), "data");
    EXPECT_EQ(le32(b, 54), 5u * 12);

    const int outputs[] = {1, 2, 4};
    for (std::size_t j = 0; j < 5; ++j)
        for (std::size_t c = 0; c < 3; ++c) {
            const float got = std::bit_cast<float>(le32(b, 58 + (j * 3 + c) * 4));
            const auto want = static_cast<float>(samples[static_cast<std::size_t>(outputs[c])][j]);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
                << "frame " << j << " channel " << c;
        }
}

TEST(WavSampleRate, RoundsToAWholeRateThatFitsTheHeader) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in;
        std::optional<std::uint32_t> out;
    } cases[] = {
        {0.0, std::nullopt},         {0.49, std::nullopt},         {0.5, 1u},
        {-3.0, std::nullopt},        {1000.0 * 1000.0, 1000000u},  {44099.5, 44100u},
        {4294967295.0, 4294967295u}, {4294967295.6, std::nullopt}, {4294967296.0, std::nullopt},
        {nan, std::nullopt},         {inf, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wavSampleRate(c.in), c.out) << c.in;
}

TEST(SamplesWav, RefusesRatesWhoseByteRateOverflows) {
    ExportSamples s;
    s[0] = {0.5, -0.5};
    s[1] = {1.0, -1.0};
    std::string error;
    // 2^30 - 1 Hz: one channel gives 4 x (2^30 - 1) bytes per second, which fits; two do not.
    const double rate = 1073741823.0;
    EXPECT_TRUE(samplesWav(s, activeOf({1}), rate, error)) << error;
    EXPECT_FALSE(samplesWav(s, activeOf({1, 2}), rate, error));
    EXPECT_NE(error.find("too high for 2 channels"), std::string::npos) << error;
    EXPECT_FALSE(samplesWav(s, activeOf({1}), rate + 1, error));
    EXPECT_FALSE(samplesWav(s, activeOf({1}), 0.0, error));
    EXPECT_NE(error.find("sample rate"), std::string::npos) << error;
}

} // namespace
} // namespace ombrix
