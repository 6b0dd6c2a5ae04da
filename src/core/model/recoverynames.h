// The names of recovery files, which keep the unsaved forms of each session, and which of
// them to keep.
//
// A session's file is named by the session's start (milliseconds since 1970, UTC) and its
// process id, "unsaved-<start>-<pid>.set", so that sessions running side by side never share
// one and the newest are found by name alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ombrix {

struct RecoveryName {
    std::int64_t startMs = 0;
    std::int64_t pid = 0;
    bool operator==(const RecoveryName&) const = default;
};

std::string recoveryFileName(const RecoveryName& name);
// The session a file name belongs to; empty for any other name.
std::optional<RecoveryName> parseRecoveryFileName(const std::string& fileName);

// Of the recovery files among `fileNames` (other names are ignored), the `keep` newest, newest
// first; `removed` receives the older ones.
std::vector<std::string> newestRecoveryFiles(const std::vector<std::string>& fileNames,
                                             std::size_t keep, std::vector<std::string>& removed);

} // namespace ombrix
