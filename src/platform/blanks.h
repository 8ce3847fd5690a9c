#pragma once

#include <string_view>

namespace ksv::platform {

// Spaces and tabs around a value, which neither counts nor profile values keep.
inline constexpr std::string_view kBlanks = " \t";

inline std::string_view TrimLeft(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    return text.substr(first == std::string_view::npos ? text.size() : first);
}

inline std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    return text.substr(0, text.find_last_not_of(kBlanks) + 1);
}

}  // namespace ksv::platform
