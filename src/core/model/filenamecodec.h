// File names as the file system stores them (bytes) and as text (UTF-16), without loss.
//
// A name is usually UTF-8, but the file system takes any bytes; a name that is not valid
// UTF-8 must still open, be listed and be saved again under the same bytes. Valid UTF-8
// sequences become their characters; every other byte b (0x80..0xFF) becomes the lone
// surrogate U+DC00 + b, which no valid UTF-8 text can produce, and back.
#pragma once

#include <string>
#include <string_view>

namespace ombrix {

// Bytes of a name → text. Never fails; encodeFileNameBytes gives the same bytes back.
std::u16string decodeFileNameBytes(std::string_view bytes);

// Text → bytes of a name: UTF-8, with each escaped byte U+DC80..U+DCFF put back as it was.
// Any other lone surrogate (which decodeFileNameBytes never makes) is written as U+FFFD.
std::string encodeFileNameBytes(std::u16string_view text);

} // namespace ombrix
