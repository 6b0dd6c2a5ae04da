// The device's 14-byte reply frame: how it is judged, what each result tells the user, and
// how the device side builds one.
#pragma once

#include "core/device/frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ombrix {

enum ReplyResult : int {
    ReplyOk = 0,
    ReplyCrcInvalid = 1, // wrong CRC, or the device reported a status other than 0
    ReplyTimeout = 2,    // no byte arrived in time
    ReplyBadFormat = 3,  // byte 2 not 0 or byte 11 not 0x55, with a matching CRC
};

inline constexpr const char* kReplyCaption = "Error";

// Judges the `count` bytes received from the start of `bytes` (the rest zero; `bytes` holds
// at least 14). No byte: ReplyTimeout. Otherwise byte 2 = 0 and byte 11 = 0x55 give ReplyOk
// when status byte 3 is 0, else ReplyCrcInvalid; any other shape gives ReplyBadFormat; and a
// CRC of bytes 2..11 that differs from bytes 12..13 gives ReplyCrcInvalid over all of these.
ReplyResult judgeReply(std::span<const std::uint8_t> bytes, std::size_t count);

// Where a reply begins among `bytes`, the bytes that arrived for it so far: at its sync bytes
// AA AA, which are followed by byte 2 (0, never AA), so of a longer run of AA only the last two
// begin the reply and the ones before are line noise. A last byte AA, or a last pair AA AA,
// may still begin it. bytes.size() when no byte can.
std::size_t findReplyStart(std::span<const std::uint8_t> bytes);

// The message box text of a result; empty for ReplyOk.
const char* replyMessage(ReplyResult result);

// The version text in reply bytes 4..10, zero bytes skipped.
std::string versionText(std::span<const std::uint8_t> reply);

// A reply as the device sends it: AA AA 00 status data... 55 CRC (data at most 7 bytes).
std::array<std::uint8_t, kReplySize> makeReply(std::uint8_t status,
                                               std::span<const std::uint8_t> data = {});

} // namespace ombrix
