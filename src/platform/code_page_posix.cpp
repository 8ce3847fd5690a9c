#include "platform/code_page.h"

namespace ksv::platform {

// Placeholder.
std::string AnsiToUtf8(std::string_view ansi) { return std::string(ansi); }
std::string Utf8ToAnsi(std::string_view utf8) { return std::string(utf8); }
std::size_t AnsiPrefixLength(std::string_view ansi, std::size_t maxBytes) {
    return ansi.size() < maxBytes ? ansi.size() : maxBytes;
}

}  // namespace ksv::platform
