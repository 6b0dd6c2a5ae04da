// Checks of the remote-control language: the SCPI line parser and the error queue.
#include "fuzzchecks.h"

#include "core/remote/scpiparser.h"

#include <string_view>

namespace ombrix::fuzz {

namespace {

bool sameCommands(const scpi::ParsedLine& a, const scpi::ParsedLine& b) {
    if (a.commands.size() != b.commands.size() || a.error.has_value() != b.error.has_value())
        return false;
    for (std::size_t i = 0; i < a.commands.size(); ++i) {
        const scpi::Command& x = a.commands[i];
        const scpi::Command& y = b.commands[i];
        if (x.id != y.id || x.query != y.query || x.suffix != y.suffix || x.text != y.text ||
            x.flag != y.flag || x.choice != y.choice)
            return false;
    }
    return !a.error || (a.error->code == b.error->code && a.error->detail == b.error->detail);
}

} // namespace

std::string checkScpi(Bytes data) {
    const std::string_view line(reinterpret_cast<const char*>(data.data()), data.size());
    const scpi::ParsedLine parsed = scpi::parseLine(line);
    // The line as it came with "\r\n" is read the same.
    if (line.find('\r') == std::string_view::npos &&
        !sameCommands(parsed, scpi::parseLine(std::string(line) + "\r")))
        return "a closing carriage return changed what was read";
    for (const scpi::Command& c : parsed.commands) {
        const scpi::CommandEntry* entry = nullptr;
        for (const scpi::CommandEntry& s : scpi::commandTable())
            if (s.id == c.id)
                entry = &s;
        if (!entry)
            return "a command outside the table";
        if (c.query ? !entry->queryable : !entry->settable)
            return "a command in a form the table does not have";
        for (std::size_t i = 0; i < 2; ++i)
            if (c.suffix[i] < 1 || (entry->suffixMax[i] > 0 && c.suffix[i] > entry->suffixMax[i]) ||
                (entry->suffixMax[i] == 0 && c.suffix[i] != 1))
                return "a suffix outside its range";
        if (entry->param == scpi::ParamKind::Choice && !c.query && (c.choice < 0 || c.choice > 2))
            return "a choice outside the list";
    }
    scpi::ErrorQueue queue;
    for (int i = 0; i < 30; ++i)
        queue.push(parsed.error.value_or(scpi::Error{scpi::ErrorCode::CommandError, {}}));
    if (queue.size() != scpi::ErrorQueue::kCapacity)
        return "the error queue grew past its capacity";
    if (parsed.error) {
        if (parsed.error->code == scpi::ErrorCode::None)
            return "a fault without a code";
        const std::string answer = scpi::formatError(*parsed.error);
        if (answer.find('\n') != std::string::npos || answer.find('\r') != std::string::npos)
            return "an error answer of more than one line";
    }
    return {};
}

} // namespace ombrix::fuzz
