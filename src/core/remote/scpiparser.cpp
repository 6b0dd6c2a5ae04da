#include "core/remote/scpiparser.h"

#include <algorithm>
#include <cctype>
#include <variant>

namespace ombrix::scpi {

namespace {

constexpr std::array<int, 2> kNone{0, 0};
constexpr std::array<int, 2> kOutput{6, 0};
constexpr std::array<int, 2> kHarmonic{6, 20};

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), upper);
    return out;
}

// A mnemonic of the table ("FREQuency") taken by its short or long form, in any case.
bool mnemonicMatches(std::string_view pattern, std::string_view given) {
    std::string shortForm;
    for (char c : pattern)
        if (!std::islower(static_cast<unsigned char>(c)))
            shortForm.push_back(c);
    const std::string g = upperCase(given);
    return g == shortForm || g == upperCase(pattern);
}

struct PatternNode {
    std::string_view name;
    bool suffixed = false;
    bool optional = false;
};

std::vector<PatternNode> patternNodes(std::string_view header) {
    std::vector<PatternNode> nodes;
    std::size_t i = 0;
    while (i < header.size()) {
        PatternNode node;
        if (header[i] == '[') {
            node.optional = true;
            ++i;
        }
        if (i < header.size() && header[i] == ':')
            ++i;
        const std::size_t start = i;
        while (i < header.size() && header[i] != ':' && header[i] != '[' && header[i] != ']' &&
               header[i] != '#')
            ++i;
        node.name = header.substr(start, i - start);
        if (i < header.size() && header[i] == '#') {
            node.suffixed = true;
            ++i;
        }
        if (i < header.size() && header[i] == ']')
            ++i;
        nodes.push_back(node);
    }
    return nodes;
}

// What a header matched: the suffixes of its '#' nodes, or the suffix that is out of range.
struct HeaderMatch {
    bool matched = false;
    std::array<int, 2> suffix{1, 1};
    bool suffixOutOfRange = false;
};

// The given node "SOUR12" as a mnemonic and a suffix (none: -1; too many digits: 0).
std::pair<std::string_view, int> splitSuffix(std::string_view node) {
    std::size_t end = node.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(node[end - 1])))
        --end;
    if (end == node.size())
        return {node, -1};
    const std::string_view digits = node.substr(end);
    if (digits.size() > 3)
        return {node.substr(0, end), 0};
    return {node.substr(0, end), std::stoi(std::string(digits))};
}

bool matchNodes(const std::vector<PatternNode>& pattern, std::size_t p,
                const std::vector<std::string_view>& given, std::size_t g, int suffixIndex,
                const std::array<int, 2>& suffixMax, HeaderMatch& out) {
    if (p == pattern.size())
        return g == given.size();
    const PatternNode& node = pattern[p];
    if (node.optional && matchNodes(pattern, p + 1, given, g, suffixIndex, suffixMax, out))
        return true;
    if (g == given.size())
        return false;
    if (!node.suffixed)
        return mnemonicMatches(node.name, given[g]) &&
               matchNodes(pattern, p + 1, given, g + 1, suffixIndex, suffixMax, out);
    const auto [name, suffix] = splitSuffix(given[g]);
    if (!mnemonicMatches(node.name, name))
        return false;
    const int index = std::min(suffixIndex, 1);
    const int value = suffix < 0 ? 1 : suffix;
    if (!matchNodes(pattern, p + 1, given, g + 1, suffixIndex + 1, suffixMax, out))
        return false;
    out.suffix[static_cast<std::size_t>(index)] = value;
    if (value < 1 || value > suffixMax[static_cast<std::size_t>(index)])
        out.suffixOutOfRange = true;
    return true;
}

std::vector<std::string_view> splitHeader(std::string_view header) {
    std::vector<std::string_view> nodes;
    if (!header.empty() && header.front() == ':')
        header.remove_prefix(1);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= header.size(); ++i) {
        if (i == header.size() || header[i] == ':') {
            nodes.push_back(header.substr(start, i - start));
            start = i + 1;
        }
    }
    return nodes;
}

bool validHeaderText(std::string_view header) {
    if (header.empty())
        return false;
    if (header.front() == '*')
        header.remove_prefix(1);
    if (header.empty())
        return false;
    for (char c : header)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != ':')
            return false;
    return true;
}

// One parameter as written: a quoted string (unquoted) or a bare token.
struct Param {
    std::string text;
    bool quoted = false;
};

// Reads the parameters after the header; nothing on a syntax fault (quote not closed, empty
// parameter, text after a closing quote).
std::optional<std::vector<Param>> readParams(std::string_view s) {
    std::vector<Param> params;
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < s.size() && isSpace(s[i]))
            ++i;
    };
    skipSpace();
    if (i == s.size())
        return params;
    while (true) {
        skipSpace();
        Param p;
        if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
            const char quote = s[i++];
            p.quoted = true;
            bool closed = false;
            while (i < s.size()) {
                if (s[i] == quote) {
                    if (i + 1 < s.size() && s[i + 1] == quote) {
                        p.text.push_back(quote);
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                p.text.push_back(s[i++]);
            }
            if (!closed)
                return std::nullopt;
        } else {
            while (i < s.size() && s[i] != ',' && !isSpace(s[i]) && s[i] != '"' && s[i] != '\'')
                p.text.push_back(s[i++]);
            if (p.text.empty())
                return std::nullopt;
        }
        params.push_back(std::move(p));
        skipSpace();
        if (i == s.size())
            return params;
        if (s[i] != ',')
            return std::nullopt;
        ++i;
    }
}

// Splits a line at the ';' outside quotes.
std::vector<std::string_view> splitUnits(std::string_view line) {
    std::vector<std::string_view> units;
    char quote = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote) {
            if (c == quote)
                quote = 0; // a doubled quote closes and reopens: same result
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            units.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    units.push_back(line.substr(start));
    return units;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::optional<int> choiceIndex(const char* choices, std::string_view given) {
    std::string_view all(choices);
    int index = 0;
    while (!all.empty()) {
        const std::size_t bar = all.find('|');
        const std::string_view one = all.substr(0, bar);
        if (mnemonicMatches(one, given))
            return index;
        if (bar == std::string_view::npos)
            break;
        all.remove_prefix(bar + 1);
        ++index;
    }
    return std::nullopt;
}

Error fault(ErrorCode code, std::string detail = {}) {
    return Error{code, std::move(detail)};
}

// Reads one command; the fault when it cannot be read.
std::variant<Command, Error> parseUnit(std::string_view unit) {
    std::size_t end = 0;
    while (end < unit.size() && !isSpace(unit[end]))
        ++end;
    std::string_view header = unit.substr(0, end);
    Command cmd;
    if (!header.empty() && header.back() == '?') {
        cmd.query = true;
        header.remove_suffix(1);
    }
    if (!validHeaderText(header))
        return fault(ErrorCode::SyntaxError, "header");
    const std::vector<std::string_view> given = splitHeader(header);
    if (std::any_of(given.begin(), given.end(), [](std::string_view n) { return n.empty(); }))
        return fault(ErrorCode::SyntaxError, "header");

    const CommandEntry* entry = nullptr;
    HeaderMatch match;
    for (const CommandEntry& s : commandTable()) {
        HeaderMatch m;
        if (!matchNodes(patternNodes(s.header), 0, given, 0, 0, s.suffixMax, m))
            continue;
        if (cmd.query ? !s.queryable : !s.settable)
            continue; // the same header may exist in the other form only
        entry = &s;
        match = m;
        break;
    }
    if (!entry)
        return fault(ErrorCode::UndefinedHeader);
    if (match.suffixOutOfRange)
        return fault(ErrorCode::SuffixOutOfRange);
    cmd.id = entry->id;
    cmd.suffix = match.suffix;

    const std::optional<std::vector<Param>> params = readParams(unit.substr(end));
    if (!params)
        return fault(ErrorCode::SyntaxError, "parameter");
    const ParamKind kind = cmd.query ? ParamKind::None : entry->param;
    if (kind == ParamKind::None) {
        if (!params->empty())
            return fault(ErrorCode::ParameterNotAllowed);
        return cmd;
    }
    if (params->empty())
        return fault(ErrorCode::MissingParameter);
    if (params->size() > 1)
        return fault(ErrorCode::ParameterNotAllowed);
    const Param& p = params->front();
    switch (kind) {
    case ParamKind::Text:
        if (p.quoted)
            return fault(ErrorCode::IllegalParameterValue, "a number is not quoted");
        cmd.text = p.text;
        break;
    case ParamKind::String:
        if (!p.quoted)
            return fault(ErrorCode::IllegalParameterValue, "a string is quoted");
        cmd.text = p.text;
        break;
    case ParamKind::Boolean: {
        const std::string v = upperCase(p.text);
        if (p.quoted || (v != "ON" && v != "OFF" && v != "1" && v != "0"))
            return fault(ErrorCode::IllegalParameterValue, "ON, OFF, 1 or 0");
        cmd.flag = v == "ON" || v == "1";
        break;
    }
    case ParamKind::Choice: {
        const std::optional<int> index =
            p.quoted ? std::nullopt : choiceIndex(entry->choices, p.text);
        if (!index)
            return fault(ErrorCode::IllegalParameterValue, entry->choices);
        cmd.choice = *index;
        break;
    }
    case ParamKind::None:
        break;
    }
    return cmd;
}

} // namespace

std::string_view errorText(ErrorCode code) {
    switch (code) {
    case ErrorCode::None:
        return "No error";
    case ErrorCode::CommandError:
        return "Command error";
    case ErrorCode::SyntaxError:
        return "Syntax error";
    case ErrorCode::ParameterNotAllowed:
        return "Parameter not allowed";
    case ErrorCode::MissingParameter:
        return "Missing parameter";
    case ErrorCode::UndefinedHeader:
        return "Undefined header";
    case ErrorCode::SuffixOutOfRange:
        return "Header suffix out of range";
    case ErrorCode::ExecutionError:
        return "Execution error";
    case ErrorCode::DataOutOfRange:
        return "Data out of range";
    case ErrorCode::TooMuchData:
        return "Too much data";
    case ErrorCode::IllegalParameterValue:
        return "Illegal parameter value";
    case ErrorCode::QueueOverflow:
        return "Queue overflow";
    }
    return "Command error";
}

std::string formatError(const Error& error) {
    std::string text(errorText(error.code));
    if (!error.detail.empty())
        text += "; " + error.detail;
    std::string quoted;
    for (char c : text) {
        // The answer is one line: line breaks of a detail become spaces.
        const char shown = (c == '\n' || c == '\r') ? ' ' : c;
        quoted.push_back(shown);
        if (shown == '"')
            quoted.push_back('"');
    }
    return std::to_string(static_cast<int>(error.code)) + ",\"" + quoted + "\"";
}

const std::vector<CommandEntry>& commandTable() {
    using enum CommandId;
    using K = ParamKind;
    static const std::vector<CommandEntry> table = {
        {Identify, "*IDN", kNone, false, true, K::None, nullptr},
        {Reset, "*RST", kNone, true, false, K::None, nullptr},
        {ClearStatus, "*CLS", kNone, true, false, K::None, nullptr},
        {OperationDone, "*OPC", kNone, true, true, K::None, nullptr},
        {Wait, "*WAI", kNone, true, false, K::None, nullptr},
        {SystemError, "SYSTem:ERRor[:NEXT]", kNone, false, true, K::None, nullptr},
        {SystemVersion, "SYSTem:VERSion", kNone, false, true, K::None, nullptr},
        {Frequency, "FREQuency", kNone, true, true, K::Text, nullptr},
        {Samples, "SAMPles", kNone, true, true, K::Text, nullptr},
        {SweepState, "SWEep:STATe", kNone, true, true, K::Boolean, nullptr},
        {SweepCyclic, "SWEep:CYCLic", kNone, true, true, K::Boolean, nullptr},
        {SweepStart, "SWEep:STARt", kNone, true, true, K::Text, nullptr},
        {SweepStop, "SWEep:STOP", kNone, true, true, K::Text, nullptr},
        {SweepStep, "SWEep:STEP", kNone, true, true, K::Text, nullptr},
        {SweepTime, "SWEep:TIME", kNone, true, true, K::Text, nullptr},
        {Active, "SOURce#:ACTive", kOutput, true, true, K::Boolean, nullptr},
        {Function, "SOURce#:FUNCtion", kOutput, true, true, K::Choice, "SINusoid|PULSe|EQUation"},
        {HarmonicAmplitude, "SOURce#:HARMonic#:AMPLitude", kHarmonic, true, true, K::Text, nullptr},
        {HarmonicPhase, "SOURce#:HARMonic#:PHASe", kHarmonic, true, true, K::Text, nullptr},
        {HarmonicState, "SOURce#:HARMonic#:STATe", kHarmonic, true, true, K::Boolean, nullptr},
        {PulseA1, "SOURce#:PULSe:A1", kOutput, true, true, K::Text, nullptr},
        {PulseA2, "SOURce#:PULSe:A2", kOutput, true, true, K::Text, nullptr},
        {PulseTD1, "SOURce#:PULSe:TD1", kOutput, true, true, K::Text, nullptr},
        {PulseTR, "SOURce#:PULSe:TR", kOutput, true, true, K::Text, nullptr},
        {PulseTD2, "SOURce#:PULSe:TD2", kOutput, true, true, K::Text, nullptr},
        {PulseTF, "SOURce#:PULSe:TF", kOutput, true, true, K::Text, nullptr},
        {Offset, "SOURce#:OFFSet", kOutput, true, true, K::Text, nullptr},
        {Phase, "SOURce#:PHASe", kOutput, true, true, K::Text, nullptr},
        {Equation, "SOURce#:EQUation", kOutput, true, true, K::String, nullptr},
        {Load, "MMEMory:LOAD", kNone, true, false, K::String, nullptr},
        {Store, "MMEMory:STORe", kNone, true, false, K::String, nullptr},
        {TraceData, "TRACe#:DATA", kOutput, false, true, K::None, nullptr},
        {FrequencyReal, "FREQuency:REAL", kNone, false, true, K::None, nullptr},
        {DevicePort, "DEVice:PORT", kNone, true, true, K::String, nullptr},
        {DeviceConnect, "DEVice:CONNect", kNone, true, false, K::None, nullptr},
        {DeviceDisconnect, "DEVice:DISConnect", kNone, true, false, K::None, nullptr},
        {DeviceState, "DEVice:STATe", kNone, false, true, K::None, nullptr},
        {DeviceSend, "DEVice:SEND", kNone, true, false, K::None, nullptr},
        {OutputState, "OUTPut#[:STATe]", kOutput, true, true, K::Boolean, nullptr},
    };
    return table;
}

ParsedLine parseLine(std::string_view line) {
    ParsedLine out;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (trim(line).empty())
        return out;
    const std::vector<std::string_view> units = splitUnits(line);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::string_view unit = trim(units[i]);
        if (unit.empty() && i + 1 == units.size())
            break; // a closing ';' ends the line
        if (unit.empty()) {
            out.error = fault(ErrorCode::SyntaxError, "empty command");
            return out;
        }
        std::variant<Command, Error> one = parseUnit(unit);
        if (auto* error = std::get_if<Error>(&one)) {
            out.error = std::move(*error);
            return out;
        }
        out.commands.push_back(std::get<Command>(std::move(one)));
    }
    return out;
}

void ErrorQueue::push(Error error) {
    if (errors_.size() < kCapacity)
        errors_.push_back(std::move(error));
    else
        errors_.back() = Error{ErrorCode::QueueOverflow, {}};
}

Error ErrorQueue::pop() {
    if (errors_.empty())
        return Error{};
    Error first = std::move(errors_.front());
    errors_.erase(errors_.begin());
    return first;
}

} // namespace ombrix::scpi
