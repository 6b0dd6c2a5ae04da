#include "core/remote/scpiparser.h"

#include <gtest/gtest.h>

namespace ombrix::scpi {
namespace {

using enum CommandId;
using E = ErrorCode;

// One line and what it must give: its first command (when it parses) or its fault.
struct Case {
    const char* line;
    CommandId id;
    bool query;
    std::array<int, 2> suffix;
    const char* text; // the token or string; for Boolean "1"/"0", for Choice the index
    ErrorCode error;
};

std::string valueOf(CommandId id, const Command& c) {
    for (const CommandEntry& s : commandTable())
        if (s.id == id && !c.query) {
            if (s.param == ParamKind::Boolean)
                return c.flag ? "1" : "0";
            if (s.param == ParamKind::Choice)
                return std::to_string(c.choice);
        }
    return c.text;
}

TEST(ScpiParser, ReadsHeadersSuffixesAndParameters) {
    const Case cases[] = {
        // Short and long forms in any case, a leading colon, optional nodes.
        {"*IDN?", Identify, true, {1, 1}, "", E::None},
        {"*idn?", Identify, true, {1, 1}, "", E::None},
        {"FREQ 1000", Frequency, false, {1, 1}, "1000", E::None},
        {"frequency 12.5", Frequency, false, {1, 1}, "12.5", E::None},
        {":Freq?", Frequency, true, {1, 1}, "", E::None},
        {"FREQ:REAL?", FrequencyReal, true, {1, 1}, "", E::None},
        {"SYST:ERR?", SystemError, true, {1, 1}, "", E::None},
        {"system:error:next?", SystemError, true, {1, 1}, "", E::None},
        {"OUTP3 ON", OutputState, false, {3, 1}, "1", E::None},
        {"OUTPUT3:STATE off", OutputState, false, {3, 1}, "0", E::None},
        {"OUTP:STAT?", OutputState, true, {1, 1}, "", E::None},
        // Suffixes: default 1, both nodes, the pulse nodes whose names end in digits.
        {"SOUR:FUNC PULS", Function, false, {1, 1}, "1", E::None},
        {"SOURCE6:FUNCTION equation", Function, false, {6, 1}, "2", E::None},
        {"SOUR2:HARM20:AMPL -1.5", HarmonicAmplitude, false, {2, 20}, "-1.5", E::None},
        {"sour4:harmonic7:state 1", HarmonicState, false, {4, 7}, "1", E::None},
        {"SOUR3:PULS:TD1 25", PulseTD1, false, {3, 1}, "25", E::None},
        {"SOUR3:PULSE:A2?", PulseA2, true, {3, 1}, "", E::None},
        {"TRAC5:DATA?", TraceData, true, {5, 1}, "", E::None},
        // Strings: either quote, the quote doubled inside, ';' and ',' inside kept.
        {"SOUR1:EQU \"sin(2*pi*X); 1,2\"", Equation, false, {1, 1}, "sin(2*pi*X); 1,2", E::None},
        {"MMEM:LOAD 'a ''b''.set'", Load, false, {1, 1}, "a 'b'.set", E::None},
        {"DEV:PORT \"\"", DevicePort, false, {1, 1}, "", E::None},
        {"FREQ 1000\r", Frequency, false, {1, 1}, "1000", E::None},
        // Headers: neither short nor long, unknown, wrong form, bad characters.
        {"FREQU 10", Frequency, false, {1, 1}, "", E::UndefinedHeader},
        {"FOO?", Identify, true, {1, 1}, "", E::UndefinedHeader},
        {"*RST?", Identify, true, {1, 1}, "", E::UndefinedHeader},
        {"*IDN", Identify, false, {1, 1}, "", E::UndefinedHeader},
        {"TRAC1:DATA", Identify, false, {1, 1}, "", E::UndefinedHeader},
        {"FREQ1 10", Identify, false, {1, 1}, "", E::UndefinedHeader},
        {"FREQ?x", Identify, true, {1, 1}, "", E::SyntaxError},
        {"SOUR1::FUNC SIN", Identify, false, {1, 1}, "", E::SyntaxError},
        {"\x01\xff", Identify, false, {1, 1}, "", E::SyntaxError},
        // Suffixes out of range: outputs 1..6, harmonics 1..20.
        {"SOUR7:FUNC SIN", Identify, false, {1, 1}, "", E::SuffixOutOfRange},
        {"SOUR0:OFFS 1", Identify, false, {1, 1}, "", E::SuffixOutOfRange},
        {"SOUR1:HARM21:AMPL 1", Identify, false, {1, 1}, "", E::SuffixOutOfRange},
        {"OUTP123456789 ON", Identify, false, {1, 1}, "", E::SuffixOutOfRange},
        // Parameters: missing, not allowed, wrong kind, malformed.
        {"FREQ", Identify, false, {1, 1}, "", E::MissingParameter},
        {"FREQ? 10", Identify, true, {1, 1}, "", E::ParameterNotAllowed},
        {"FREQ 10,20", Identify, false, {1, 1}, "", E::ParameterNotAllowed},
        {"*RST 1", Identify, false, {1, 1}, "", E::ParameterNotAllowed},
        {"SWE:STAT 2", Identify, false, {1, 1}, "", E::IllegalParameterValue},
        {"SOUR1:FUNC SQUARE", Identify, false, {1, 1}, "", E::IllegalParameterValue},
        {"SOUR1:FUNC SINU", Identify, false, {1, 1}, "", E::IllegalParameterValue},
        {"FREQ \"10\"", Identify, false, {1, 1}, "", E::IllegalParameterValue},
        {"MMEM:STOR a.set", Identify, false, {1, 1}, "", E::IllegalParameterValue},
        {"SOUR1:EQU \"X", Identify, false, {1, 1}, "", E::SyntaxError},
        {"FREQ 10,", Identify, false, {1, 1}, "", E::SyntaxError},
        {"DEV:PORT \"a\"b", Identify, false, {1, 1}, "", E::SyntaxError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ParsedLine got = parseLine(c.line);
        if (c.error != E::None) {
            ASSERT_TRUE(got.error);
            EXPECT_EQ(got.error->code, c.error);
            EXPECT_TRUE(got.commands.empty());
            continue;
        }
        ASSERT_FALSE(got.error) << formatError(*got.error);
        ASSERT_EQ(got.commands.size(), 1u);
        const Command& cmd = got.commands.front();
        EXPECT_EQ(cmd.id, c.id);
        EXPECT_EQ(cmd.query, c.query);
        EXPECT_EQ(cmd.suffix, c.suffix);
        EXPECT_EQ(valueOf(c.id, cmd), c.text);
    }
}

TEST(ScpiParser, SplitsALineAtSemicolonsAndStopsAtTheFirstFault) {
    EXPECT_TRUE(parseLine("").commands.empty());
    EXPECT_FALSE(parseLine("  \r").error);

    const ParsedLine two = parseLine("DEV:SEND;*OPC?;");
    EXPECT_FALSE(two.error);
    ASSERT_EQ(two.commands.size(), 2u);
    EXPECT_EQ(two.commands[1].id, OperationDone);
    EXPECT_TRUE(two.commands[1].query);

    // What came before the fault runs; nothing after it is read.
    const ParsedLine cut = parseLine("FREQ 5;BAD;FREQ 7");
    ASSERT_EQ(cut.commands.size(), 1u);
    EXPECT_EQ(cut.commands[0].text, "5");
    ASSERT_TRUE(cut.error);
    EXPECT_EQ(cut.error->code, E::UndefinedHeader);

    EXPECT_EQ(parseLine("FREQ 5;;FREQ 7").error->code, E::SyntaxError);
}

TEST(ScpiErrorQueue, KeepsOrderAndMarksOverflow) {
    ErrorQueue q;
    EXPECT_EQ(formatError(q.pop()), "0,\"No error\"");
    q.push({E::UndefinedHeader, {}});
    q.push({E::ExecutionError, "Unknown name \"y\"\nat 3"});
    EXPECT_EQ(formatError(q.pop()), "-113,\"Undefined header\"");
    EXPECT_EQ(formatError(q.pop()), "-200,\"Execution error; Unknown name \"\"y\"\" at 3\"");
    EXPECT_EQ(q.pop().code, E::None);

    for (int i = 0; i < 25; ++i)
        q.push({E::SyntaxError, std::to_string(i)});
    ASSERT_EQ(q.size(), ErrorQueue::kCapacity);
    for (std::size_t i = 0; i + 1 < ErrorQueue::kCapacity; ++i)
        EXPECT_EQ(q.pop().detail, std::to_string(i));
    EXPECT_EQ(q.pop().code, E::QueueOverflow);
    EXPECT_EQ(q.pop().code, E::None);
}

} // namespace
} // namespace ombrix::scpi
