#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace ksv::platform {

// The same in every copy of the program and on every run, as std::hash need
// not be: FNV-1a over the code units of `text`.
template <typename Char>
std::uint64_t StableHash(std::basic_string_view<Char> text) {
    std::uint64_t hash = 14695981039346656037u;
    for (const Char c : text) {
        hash = (hash ^ static_cast<std::make_unsigned_t<Char>>(c)) * 1099511628211u;
    }
    return hash;
}

// `bits` as sixteen lower-case hexadecimal digits.
inline std::string HexDigits(std::uint64_t bits) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (int shift = 60; shift >= 0; shift -= 4) {
        text += kHex[(bits >> shift) & 0xf];
    }
    return text;
}

}  // namespace ksv::platform
