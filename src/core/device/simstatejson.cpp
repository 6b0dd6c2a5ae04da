#include "core/device/simstatejson.h"

#include <cstdio>
#include <sstream>

namespace ombrix {

namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

template <class T> void writeArray(std::ostringstream& out, const std::vector<T>& values) {
    out << '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i)
            out << ',';
        if constexpr (std::is_floating_point_v<T>)
            out << number(values[i]);
        else
            out << static_cast<long long>(values[i]);
    }
    out << ']';
}

} // namespace

std::string simStateJson(const SimGenerator& g) {
    const SimState& s = g.state();
    std::ostringstream out;
    out << "{\n";
    out << "  \"baud_index\": " << s.baudIndex << ",\n";
    out << "  \"baud\": " << g.baud() << ",\n";
    out << "  \"run_mask\": " << static_cast<int>(s.runMask) << ",\n";
    out << "  \"run_mask_closing\": " << (s.runMaskClosing ? "true" : "false") << ",\n";
    out << "  \"timing\": ";
    if (s.timingSet)
        out << "{\"outer\": " << s.timing.OuterCount << ", \"inner\": " << s.timing.InnerCount
            << ", \"remainder\": " << s.timing.Remainder << "},\n";
    else
        out << "null,\n";
    out << "  \"frequency_hz\": " << number(g.playedFrequency()) << ",\n";
    out << "  \"reference_codes\": [" << s.referenceCode1 << ", " << s.referenceCode2 << "],\n";
    out << "  \"reference_mv\": [" << number(g.referenceMillivolts1()) << ", "
        << number(g.referenceMillivolts2()) << "],\n";
    out << "  \"active_mask\": " << static_cast<int>(s.activeMask) << ",\n";
    out << "  \"outputs\": [\n";
    for (int k = 0; k < kOutputCount; ++k) {
        const auto& codes = s.samples[static_cast<std::size_t>(k)];
        out << "    {\"output\": " << k + 1 << ", \"count\": " << codes.size() << ", \"codes\": ";
        writeArray(out, codes);
        out << ", \"volts\": ";
        writeArray(out, g.outputVolts(k));
        out << '}' << (k + 1 < kOutputCount ? "," : "") << '\n';
    }
    out << "  ],\n";
    out << "  \"sweep\": {\"mode\": " << static_cast<int>(s.sweepMode)
        << ", \"cycles_per_ms\": " << s.sweepCyclesPerMs
        << ", \"step_time_ms\": " << s.sweepStepTimeMs << ", \"table\": ";
    writeArray(out, s.sweepTable);
    out << "},\n";
    out << "  \"frames_decoded\": " << s.framesDecoded << ",\n";
    out << "  \"frames_rejected\": " << s.framesRejected << ",\n";
    out << "  \"replies_sent\": " << s.repliesSent << ",\n";
    out << "  \"noise_bytes\": " << s.noiseBytes << ",\n";
    out << "  \"noise_sent\": " << s.noiseSent << ",\n";
    out << "  \"frames_garbled\": " << s.framesGarbled << "\n";
    out << "}\n";
    return out.str();
}

} // namespace ombrix
