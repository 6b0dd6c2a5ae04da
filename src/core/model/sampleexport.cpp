#include "core/model/sampleexport.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace ombrix {

namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

// The active outputs in order, with the common period length; nothing (and `error`) when the
// input cannot be exported.
std::optional<std::vector<int>> activeColumns(const ExportSamples& samples,
                                              const ExportFlags& active, std::size_t& n,
                                              std::string& error) {
    std::vector<int> columns;
    for (int k = 0; k < kOutputCount; ++k)
        if (active[static_cast<std::size_t>(k)])
            columns.push_back(k);
    if (columns.empty()) {
        error = "No output is active.";
        return std::nullopt;
    }
    n = samples[static_cast<std::size_t>(columns.front())].size();
    for (int k : columns) {
        const std::size_t size = samples[static_cast<std::size_t>(k)].size();
        if (size == 0) {
            error = "Output " + std::to_string(k + 1) + " holds no samples.";
            return std::nullopt;
        }
        if (size != n) {
            error = "Output " + std::to_string(k + 1) + " holds " + std::to_string(size) +
                    " samples, Output " + std::to_string(columns.front() + 1) + " holds " +
                    std::to_string(n) + ".";
            return std::nullopt;
        }
    }
    return columns;
}

void put16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

void putTag(std::vector<unsigned char>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

} // namespace

void appendSampleText(std::string& out, double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

std::string exportColumnName(int output) {
    return "Output " + std::to_string(output + 1) + " [V]";
}

std::optional<std::string> samplesCsv(const ExportSamples& samples, const ExportFlags& active,
                                      std::string& error) {
    std::size_t n = 0;
    const auto columns = activeColumns(samples, active, n, error);
    if (!columns)
        return std::nullopt;
    std::string out;
    out.reserve(n * columns->size() * 24 + 64);
    for (std::size_t c = 0; c < columns->size(); ++c) {
        if (c)
            out += ',';
        out += exportColumnName((*columns)[c]);
    }
    out += '\n';
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t c = 0; c < columns->size(); ++c) {
            if (c)
                out += ',';
            appendSampleText(out, samples[static_cast<std::size_t>((*columns)[c])][j]);
        }
        out += '\n';
    }
    return out;
}

std::optional<std::uint32_t> wavSampleRate(double samplesPerSecond) {
    if (!std::isfinite(samplesPerSecond))
        return std::nullopt;
    const double rounded = std::round(samplesPerSecond);
    if (rounded < 1.0 || rounded > static_cast<double>(kMax32))
        return std::nullopt;
    return static_cast<std::uint32_t>(rounded);
}

std::optional<std::vector<unsigned char>> samplesWav(const ExportSamples& samples,
                                                     const ExportFlags& active, double sampleRate,
                                                     std::string& error) {
    std::size_t n = 0;
    const auto columns = activeColumns(samples, active, n, error);
    if (!columns)
        return std::nullopt;
    const auto rate = wavSampleRate(sampleRate);
    if (!rate) {
        error = "The sample rate (samples per period x frequency) must be from 1 to 4294967295 Hz.";
        return std::nullopt;
    }
    const std::uint64_t channels = columns->size();
    const std::uint64_t blockAlign = channels * 4;
    const std::uint64_t byteRate = *rate * blockAlign;
    if (byteRate > kMax32) {
        error = "The sample rate is too high for " + std::to_string(channels) +
                " channels: the byte rate would not fit the WAV header.";
        return std::nullopt;
    }
    // RIFF size: "WAVE", fmt chunk (8 + 18), fact chunk (8 + 4), data chunk header and data.
    const std::uint64_t dataSize = static_cast<std::uint64_t>(n) * blockAlign;
    const std::uint64_t riffSize = 4 + (8 + 18) + (8 + 4) + 8 + dataSize;
    if (n > kMax32 || riffSize > kMax32) {
        error = "Too many samples for a WAV file.";
        return std::nullopt;
    }

    std::vector<unsigned char> out;
    out.reserve(static_cast<std::size_t>(riffSize + 8));
    putTag(out, "RIFF");
    put32(out, static_cast<std::uint32_t>(riffSize));
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 18);
    put16(out, 3); // WAVE_FORMAT_IEEE_FLOAT
    put16(out, static_cast<std::uint16_t>(channels));
    put32(out, *rate);
    put32(out, static_cast<std::uint32_t>(byteRate));
    put16(out, static_cast<std::uint16_t>(blockAlign));
    put16(out, 32); // bits per sample
    put16(out, 0);  // cbSize: no extension
    putTag(out, "fact");
    put32(out, 4);
    put32(out, static_cast<std::uint32_t>(n)); // frames per channel
    putTag(out, "data");
    put32(out, static_cast<std::uint32_t>(dataSize));
    for (std::size_t j = 0; j < n; ++j)
        for (int k : *columns) {
            const auto f = static_cast<float>(samples[static_cast<std::size_t>(k)][j]);
            put32(out, std::bit_cast<std::uint32_t>(f));
        }
    return out;
}

} // namespace ombrix
