#include "core/model/devicesettings.h"

#include <cerrno>
#include <cstdlib>

namespace ombrix {

std::optional<long> wholeNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size())
        return std::nullopt;
    return v;
}

} // namespace ombrix
