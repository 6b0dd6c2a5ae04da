// The remote-control language: SCPI program messages as a lab script sends them, one line at a
// time, read into commands of a fixed table.
//
// A line holds one or more commands separated by ';' (outside quotes), each a header with an
// optional '?' and parameters separated by commas. Headers are case-insensitive; each node
// is written in its short form (the upper-case letters of the table, "FREQ") or its long form
// ("FREQUENCY"), nothing in between; a leading ':' is allowed. Nodes in brackets may be left
// out ("SYST:ERR?" = "SYST:ERR:NEXT?"); a node marked with a numeric suffix ("SOUR2",
// "HARM12") takes 1 when it has none. A parameter is a quoted string ("..." or '...', a quote
// doubled inside), or a bare token, kept as its text: numbers are judged by the field they go
// to, exactly as typed characters are.
//
// The first faulty command of a line ends it: the commands before it are returned for
// execution, the fault says why the rest was not read.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix::scpi {

// The standard error codes this program reports (SCPI 1999, IEEE 488.2).
enum class ErrorCode : int {
    None = 0,
    CommandError = -100,
    SyntaxError = -102,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    SuffixOutOfRange = -114,
    ExecutionError = -200,
    DataOutOfRange = -222,
    TooMuchData = -223,
    IllegalParameterValue = -224,
    QueueOverflow = -350,
};

// The standard text of a code ("Illegal parameter value").
std::string_view errorText(ErrorCode code);

// An error as the queue holds it: the code and what went wrong beyond its standard text
// (empty when the text says it all).
struct Error {
    ErrorCode code = ErrorCode::None;
    std::string detail;
};
// `<code>,"<text>[; <detail>]"`, quotes inside doubled, as SYSTem:ERRor? answers.
std::string formatError(const Error& error);

enum class CommandId {
    Identify,          // *IDN?
    Reset,             // *RST
    ClearStatus,       // *CLS
    OperationDone,     // *OPC, *OPC?
    Wait,              // *WAI
    SystemError,       // SYSTem:ERRor[:NEXT]?
    SystemVersion,     // SYSTem:VERSion?
    Frequency,         // FREQuency
    FrequencyReal,     // FREQuency:REAL?
    Samples,           // SAMPles
    SweepState,        // SWEep:STATe
    SweepCyclic,       // SWEep:CYCLic
    SweepStart,        // SWEep:STARt
    SweepStop,         // SWEep:STOP
    SweepStep,         // SWEep:STEP
    SweepTime,         // SWEep:TIME
    Active,            // SOURce#:ACTive
    Function,          // SOURce#:FUNCtion
    HarmonicAmplitude, // SOURce#:HARMonic#:AMPLitude
    HarmonicPhase,     // SOURce#:HARMonic#:PHASe
    HarmonicState,     // SOURce#:HARMonic#:STATe
    PulseA1,           // SOURce#:PULSe:A1 (and A2, TD1, TR, TD2, TF: the pulse's six texts)
    PulseA2,
    PulseTD1,
    PulseTR,
    PulseTD2,
    PulseTF,
    Offset,           // SOURce#:OFFSet
    Phase,            // SOURce#:PHASe
    Equation,         // SOURce#:EQUation
    Load,             // MMEMory:LOAD
    Store,            // MMEMory:STORe
    TraceData,        // TRACe#:DATA?
    DevicePort,       // DEVice:PORT
    DeviceConnect,    // DEVice:CONNect
    DeviceDisconnect, // DEVice:DISConnect
    DeviceState,      // DEVice:STATe?
    DeviceSend,       // DEVice:SEND
    OutputState,      // OUTPut#[:STATe]
};

// What a command's set form takes.
enum class ParamKind {
    None,    // nothing
    Text,    // one bare token (a number as typed)
    Boolean, // ON|OFF|1|0
    Choice,  // one of the command's mnemonics (SINusoid|PULSe|EQUation)
    String,  // one quoted string
};

struct CommandEntry {
    CommandId id;
    const char* header;           // nodes; '#' marks a numeric suffix, [...] an optional node
    std::array<int, 2> suffixMax; // the highest suffix of the first and second '#' node
    bool settable;
    bool queryable;
    ParamKind param;     // of the set form
    const char* choices; // Choice: the mnemonics, '|' between them
};

// Every command, in the order of the table the README shows.
const std::vector<CommandEntry>& commandTable();

struct Command {
    CommandId id = CommandId::Identify;
    bool query = false;
    std::array<int, 2> suffix{1, 1}; // the '#' nodes' suffixes, 1 when left out
    std::string text;                // Text and String: the token, the string unquoted
    bool flag = false;               // Boolean: ON
    int choice = 0;                  // Choice: the index of the mnemonic given
};

struct ParsedLine {
    std::vector<Command> commands;
    std::optional<Error> error; // the fault that ended the line
};

// Reads one line (without its '\n'; a '\r' before it is ignored). An empty line holds no
// command and no fault.
ParsedLine parseLine(std::string_view line);

// A bounded queue of errors, oldest first. An error that finds it full replaces the newest
// entry with -350 "Queue overflow"; the errors after it are lost until one is read.
class ErrorQueue {
  public:
    static constexpr std::size_t kCapacity = 20;

    void push(Error error);
    // The oldest error, removed; 0,"No error" when empty.
    Error pop();
    void clear() { errors_.clear(); }
    std::size_t size() const { return errors_.size(); }

  private:
    std::vector<Error> errors_;
};

} // namespace ombrix::scpi
