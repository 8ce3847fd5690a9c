#pragma once

#include <cstddef>
#include <string_view>

// UTF-8, decoded in one place for code pages and the settings file's encodings.
namespace ksv::platform::utf8 {

struct Character {
    char32_t codePoint = 0;
    std::size_t length = 0;  // 0: not a well-formed sequence
};

// The character at the start of `text`. Overlong forms and values past
// U+10FFFF are never well-formed; surrogates (U+D800 to U+DFFF) are only
// where `surrogates` allows them: the "generalised" UTF-8 that keeps the
// unpaired halves a UTF-16 file may hold.
inline Character Decode(std::string_view text, bool surrogates = false) {
    if (text.empty()) {
        return {};
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || text.size() < length) {
        return {};
    }
    char32_t c = lead & (0x7Fu >> length);  // the lead byte's own bits
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return {};
        }
        c = c << 6 | (byte(i) & 0x3Fu);
    }
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kShortest[length] || c > 0x10FFFF || (!surrogates && c >= 0xD800 && c <= 0xDFFF)) {
        return {};
    }
    return {c, length};
}

inline bool IsValid(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = Decode(text).length;
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

// The longest prefix of valid UTF-8 `text`, at most `maxBytes`, on a boundary.
inline std::size_t PrefixLength(std::string_view text, std::size_t maxBytes) {
    if (maxBytes >= text.size()) {
        return text.size();
    }
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return end;
}

}  // namespace ksv::platform::utf8
