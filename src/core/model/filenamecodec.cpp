#include "core/model/filenamecodec.h"

namespace ombrix {

namespace {

// The length of the valid UTF-8 sequence at the start of `s` and its code point; 0 when the
// first byte does not begin one (stray continuation, overlong form, surrogate, beyond
// U+10FFFF or cut short).
std::size_t validSequence(std::string_view s, char32_t& code) {
    const auto byte = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char first = byte(0);
    std::size_t length = 0;
    char32_t min = 0;
    if (first < 0x80) {
        code = first;
        return 1;
    } else if ((first & 0xE0) == 0xC0) {
        length = 2, code = first & 0x1F, min = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3, code = first & 0x0F, min = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4, code = first & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::u16string decodeFileNameBytes(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t code = 0;
        std::size_t length = validSequence(bytes, code);
        if (length == 0) {
            code = 0xDC00 + static_cast<unsigned char>(bytes[0]);
            length = 1;
        }
        if (code >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(code);
        }
        bytes.remove_prefix(length);
    }
    return text;
}

std::string encodeFileNameBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char16_t unit = text[k];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && k + 1 < text.size() && text[k + 1] >= 0xDC00 && text[k + 1] <= 0xDFFF) {
            appendUtf8(bytes, 0x10000 + ((char32_t(unit) - 0xD800) << 10) +
                                  (char32_t(text[k + 1]) - 0xDC00));
            ++k;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            bytes += static_cast<char>(unit - 0xDC00);
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(bytes, 0xFFFD);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

} // namespace ombrix
