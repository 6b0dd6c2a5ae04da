#include "core/device/reply.h"

#include "core/device/crc16.h"

#include <algorithm>

namespace ombrix {

ReplyResult judgeReply(std::span<const std::uint8_t> bytes, std::size_t count) {
    if (count == 0)
        return ReplyTimeout;
    if (bytes.size() < kReplySize)
        return ReplyBadFormat;
    ReplyResult result = ReplyBadFormat;
    if (bytes[2] == 0x00 && bytes[11] == kEndMarker)
        result = bytes[3] == 0x00 ? ReplyOk : ReplyCrcInvalid;
    const std::uint16_t crc =
        frameBytesCrc(std::span<const std::uint8_t, 10>(bytes.data() + 2, 10));
    const auto sent = static_cast<std::uint16_t>((bytes[12] << 8) | bytes[13]);
    if (crc != sent)
        result = ReplyCrcInvalid;
    return result;
}

std::size_t findReplyStart(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size();
    for (std::size_t p = 0; p < n; ++p) {
        if (bytes[p] != kSyncByte)
            continue;
        if (p + 1 < n && bytes[p + 1] != kSyncByte)
            continue;
        if (p + 2 < n && bytes[p + 2] == kSyncByte)
            continue;
        return p;
    }
    return n;
}

const char* replyMessage(ReplyResult result) {
    switch (result) {
    case ReplyOk:
        return "";
    case ReplyCrcInvalid:
        return "CRC invalid!";
    case ReplyTimeout:
        return "Respond error: time out!";
    case ReplyBadFormat:
        return "Invalid respond frame format!";
    }
    return "";
}

std::string versionText(std::span<const std::uint8_t> reply) {
    std::string text;
    for (std::size_t i = 4; i <= 10 && i < reply.size(); ++i) {
        if (reply[i] != 0)
            text.push_back(static_cast<char>(reply[i]));
    }
    return text;
}

std::array<std::uint8_t, kReplySize> makeReply(std::uint8_t status,
                                               std::span<const std::uint8_t> data) {
    CommandFrame f(CmdSystem);
    f.bytes[3] = status;
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 7), f.bytes.begin() + 4);
    return f.wire();
}

} // namespace ombrix
