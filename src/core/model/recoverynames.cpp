#include "core/model/recoverynames.h"

#include <algorithm>
#include <charconv>

namespace ombrix {

namespace {

constexpr std::string_view kPrefix = "unsaved-";
constexpr std::string_view kSuffix = ".set";

std::optional<std::int64_t> digits(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

std::string recoveryFileName(const RecoveryName& name) {
    return std::string(kPrefix) + std::to_string(name.startMs) + "-" + std::to_string(name.pid) +
           std::string(kSuffix);
}

std::optional<RecoveryName> parseRecoveryFileName(const std::string& fileName) {
    std::string_view s(fileName);
    if (!s.starts_with(kPrefix) || !s.ends_with(kSuffix))
        return std::nullopt;
    s.remove_prefix(kPrefix.size());
    s.remove_suffix(kSuffix.size());
    const std::string_view::size_type dash = s.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::optional<std::int64_t> start = digits(s.substr(0, dash));
    const std::optional<std::int64_t> pid = digits(s.substr(dash + 1));
    if (!start || !pid)
        return std::nullopt;
    return RecoveryName{*start, *pid};
}

std::vector<std::string> newestRecoveryFiles(const std::vector<std::string>& fileNames,
                                             std::size_t keep, std::vector<std::string>& removed) {
    std::vector<std::pair<RecoveryName, std::string>> found;
    for (const std::string& name : fileNames)
        if (const std::optional<RecoveryName> parsed = parseRecoveryFileName(name))
            found.emplace_back(*parsed, name);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first.startMs != b.first.startMs ? a.first.startMs > b.first.startMs
                                                  : a.first.pid > b.first.pid;
    });
    std::vector<std::string> newest;
    for (std::size_t k = 0; k < found.size(); ++k)
        (k < keep ? newest : removed).push_back(found[k].second);
    return newest;
}

} // namespace ombrix
