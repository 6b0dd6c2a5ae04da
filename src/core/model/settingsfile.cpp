#include "core/model/settingsfile.h"

#include "core/model/numbertext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace ombrix {

namespace {

enum class Kind {
    Number,       // decimal number; empty while being edited
    SignedNumber, // the same, and a lone "-" while being edited
    Integer,      // whole number; empty while being edited
    Text,         // free text
    State,        // check box: byte 0 or 1
    Form,         // FormKind as little-endian signed 32-bit integer
};

// One stored field: where it lives in the image and which model value it carries.
struct Field {
    std::string name;
    std::size_t offset;
    std::size_t width;
    Kind kind;
    std::string* text = nullptr;
    bool* flag = nullptr;
    FormKind* form = nullptr;
};

constexpr const char* kPulseNames[kPulseParamCount] = {"A2", "A1", "tD1", "tR", "tD2", "tF"};

std::string outputName(int i) {
    return "Output " + std::to_string(i + 1);
}

// Every stored field of `f`, each pointing into `f`.
std::vector<Field> fieldsOf(FormsConfig& f) {
    GeneralSettings& g = f.General;
    std::vector<Field> fields;
    fields.reserve(920);
    auto text = [&](std::string name, std::size_t offset, std::size_t width, Kind kind,
                    std::string& value) {
        fields.push_back({std::move(name), offset, width, kind, &value});
    };
    auto state = [&](std::string name, std::size_t offset, bool& value) {
        fields.push_back({std::move(name), offset, 1, Kind::State, nullptr, &value});
    };

    text("Frequency", 0, 8, Kind::Number, g.Freq);
    text("Number of samples", 8, 5, Kind::Integer, g.NumOfSam);
    for (int k = 1; k < kOutputCount; ++k)
        text("Phase shift of " + outputName(k), 13 + 6 * (k - 1), 6, Kind::SignedNumber,
             g.Ph_Disp[k]);
    for (int k = 1; k < kOutputCount; ++k)
        state("Active " + outputName(k), 43 + (k - 1), g.Active[k]);
    text("Start frequency", 48, 8, Kind::Number, g.StartFreq);
    text("End frequency", 56, 8, Kind::Number, g.StopFreq);
    // 64..71 reserved: Step is not stored.
    text("Step time", 72, 8, Kind::Number, g.Time);
    state("Sweep enabled", 80, g.SwapEnabled);
    state("Sweep cyclic", 81, g.SwapCyclic);

    for (int i = 0; i < kOutputCount; ++i) {
        OutputForm& o = f.Outputs[i];
        const auto base = static_cast<std::size_t>(i);
        for (int r = 0; r < kHarmonicCount; ++r) {
            const std::string row =
                " of harmonic " + std::to_string(r + 1) + " of " + outputName(i);
            const auto rr = static_cast<std::size_t>(r);
            text("Amplitude" + row, 82 + 120 * base + 6 * rr, 6, Kind::SignedNumber,
                 o.Harmonics[rr].Amplitude);
            text("Phase" + row, 802 + 120 * base + 6 * rr, 6, Kind::SignedNumber,
                 o.Harmonics[rr].Phase);
            state("Enable" + row, 1522 + 20 * base + rr, o.Harmonics[rr].En);
        }
        for (int k = 0; k < kPulseParamCount; ++k) {
            // Only the two levels can be typed with a minus.
            const Kind kind = (k == A2 || k == A1) ? Kind::SignedNumber : Kind::Number;
            text(std::string("Pulse ") + kPulseNames[k] + " of " + outputName(i),
                 1642 + 36 * base + 6 * static_cast<std::size_t>(k), 6, kind,
                 o.Pulse[static_cast<std::size_t>(k)]);
        }
        // 1858..1859 reserved.
        fields.push_back({"Form of " + outputName(i), 1860 + 4 * base, 4, Kind::Form, nullptr,
                          nullptr, &o.Form});
        text("Offset of " + outputName(i), 1884 + 6 * base, 6, Kind::SignedNumber, o.Offset);
        text("Equation of " + outputName(i), 1920 + 2000 * base, 2000, Kind::Text, o.Equation);
    }
    return fields;
}

// The equation memo's lines end to end, as the file stores them.
std::string joinedLines(const std::string& text) {
    std::string joined;
    joined.reserve(text.size());
    for (char c : text)
        if (c != '\n' && c != '\r')
            joined.push_back(c);
    return joined;
}

void writeText(std::vector<unsigned char>& image, const Field& field, const std::string& text) {
    // Width - 1 characters at most: the NUL must stay inside the field.
    const std::size_t n = std::min(text.size(), field.width - 1);
    std::memcpy(image.data() + field.offset, text.data(), n);
    image[field.offset + n] = 0;
}

void writeInt32(std::vector<unsigned char>& image, std::size_t offset, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (std::size_t b = 0; b < 4; ++b)
        image[offset + b] = static_cast<unsigned char>((u >> (8 * b)) & 0xFFu);
}

std::int32_t readInt32(std::span<const unsigned char> bytes, std::size_t offset) {
    std::uint32_t u = 0;
    for (std::size_t b = 0; b < 4; ++b)
        u |= static_cast<std::uint32_t>(bytes[offset + b]) << (8 * b);
    return static_cast<std::int32_t>(u);
}

std::string where(const Field& field) {
    return field.name + " (offset " + std::to_string(field.offset) + ")";
}

// True for a text a numeric field can hold while it is being edited: the key filters let one
// separator anywhere and, in the signed fields, a minus, and Backspace removes any character,
// so ".", "-.", ".5" or "1-" are reachable by typing.
bool textBeingEdited(const std::string& text, bool signedField, char sep) {
    int separators = 0;
    for (char c : text) {
        if (c == sep)
            ++separators;
        else if (!(c >= '0' && c <= '9') && !(c == '-' && signedField))
            return false;
    }
    return separators <= 1;
}

// Checks a numeric text and converts its decimal separator to `sep`; the reason on failure.
// A number, or a text the field can hold while it is edited (kept as it is: the rules judge
// it when the field is left, as they do a typed one). What no typing leaves (a letter, a
// second separator, a minus in an unsigned field, a fraction in a whole number) is refused.
std::optional<std::string> checkNumber(const Field& field, std::string& text, char sep) {
    if (text.empty())
        return std::nullopt;
    if (field.kind == Kind::Integer) {
        if (!parseInteger(text))
            return "The text \"" + text + "\" of " + where(field) + " is not a whole number.";
        return std::nullopt;
    }
    // A file written on a machine with the other separator holds "." or ",".
    std::string local = text;
    for (char& c : local)
        if (c == '.' || c == ',')
            c = sep;
    if (!parseNumber(local, sep) && !textBeingEdited(local, field.kind == Kind::SignedNumber, sep))
        return "The text \"" + text + "\" of " + where(field) + " is not a number.";
    text = std::move(local);
    return std::nullopt;
}

std::optional<std::string> decodeField(const Field& field, std::span<const unsigned char> bytes,
                                       char sep) {
    switch (field.kind) {
    case Kind::State: {
        const unsigned v = bytes[field.offset];
        if (v > 1)
            return "The state of " + where(field) + " is " + std::to_string(v) +
                   " instead of 0 or 1.";
        *field.flag = v == 1;
        return std::nullopt;
    }
    case Kind::Form: {
        const std::int32_t v = readInt32(bytes, field.offset);
        if (v < 0 || v > 2)
            return "The " + where(field) + " is " + std::to_string(v) + " instead of 0, 1 or 2.";
        *field.form = static_cast<FormKind>(v);
        return std::nullopt;
    }
    default: {
        const auto* begin = bytes.data() + field.offset;
        const auto* end = begin + field.width;
        const auto* nul = std::find(begin, end, static_cast<unsigned char>(0));
        if (nul == end)
            return "The text of " + where(field) + " has no end within its " +
                   std::to_string(field.width) + " bytes.";
        std::string text(reinterpret_cast<const char*>(begin),
                         static_cast<std::size_t>(nul - begin));
        if (field.kind != Kind::Text)
            if (auto fault = checkNumber(field, text, sep))
                return fault;
        *field.text = std::move(text);
        return std::nullopt;
    }
    }
}

// `text` rounded to `room` characters when that keeps six significant digits of its value.
std::optional<std::string> roundedToFit(const std::string& text, std::size_t room, char sep) {
    const std::optional<long double> value = parseNumber(text, sep);
    const std::size_t point = text.find(sep);
    if (!value || point == std::string::npos || point > room)
        return std::nullopt;
    // Decimals that fit after the integer part (and the separator, when any remain).
    const int decimals = point + 1 >= room ? 0 : static_cast<int>(room - point - 1);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Lf", decimals, *value);
    std::string rounded(buffer);
    for (char& c : rounded)
        if (c == '.')
            c = sep;
    const std::optional<long double> back = parseNumber(rounded, sep);
    if (rounded.size() > room || !back)
        return std::nullopt;
    const long double tolerance = 5e-6L * std::fabs(*value);
    if (std::fabs(*back - *value) > tolerance || (*value != 0 && *back == 0))
        return std::nullopt;
    return rounded;
}

} // namespace

std::optional<std::string> fitFormsToFile(FormsConfig& forms, char sep) {
    FormsConfig fitted = forms;
    for (const Field& field : fieldsOf(fitted)) {
        if (!field.text)
            continue;
        const std::size_t room = field.width - 1;
        std::string& text = *field.text;
        const std::size_t length =
            field.kind == Kind::Text ? joinedLines(text).size() : text.size();
        if (length <= room)
            continue;
        if (field.kind != Kind::Text) {
            if (std::optional<std::string> rounded = roundedToFit(text, room, sep)) {
                text = *rounded;
                continue;
            }
        }
        return "The " + std::string(field.kind == Kind::Text ? "text" : "value") + " \"" +
               (field.kind == Kind::Text ? text.substr(0, 20) + "..." : text) + "\" of " +
               field.name + " does not fit in a forms settings file (" + std::to_string(room) +
               " characters at most); the forms were not saved.";
    }
    forms = fitted;
    return std::nullopt;
}

std::vector<unsigned char> encodeForms(const FormsConfig& forms) {
    std::vector<unsigned char> image(kFormsFileSize, 0);
    FormsConfig copy = forms;
    for (const Field& field : fieldsOf(copy)) {
        switch (field.kind) {
        case Kind::State:
            image[field.offset] = *field.flag ? 1 : 0;
            break;
        case Kind::Form:
            writeInt32(image, field.offset, static_cast<std::int32_t>(*field.form));
            break;
        case Kind::Text:
            writeText(image, field, joinedLines(*field.text));
            break;
        default:
            writeText(image, field, *field.text);
            break;
        }
    }
    return image;
}

std::optional<std::string> decodeForms(std::span<const unsigned char> bytes, char sep,
                                       FormsConfig& out) {
    if (bytes.size() != kFormsFileSize)
        return "The file holds " + std::to_string(bytes.size()) +
               " bytes; a forms settings file holds " + std::to_string(kFormsFileSize) + ".";
    // Decoded into a copy, so a fault anywhere leaves `out` as it was.
    FormsConfig result = out;
    for (const Field& field : fieldsOf(result))
        if (auto fault = decodeField(field, bytes, sep))
            return fault;
    out = std::move(result);
    return std::nullopt;
}

} // namespace ombrix
