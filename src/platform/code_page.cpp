#include "platform/code_page.h"

#include "platform/utf8_text.h"

namespace ksv::platform {

std::size_t AnsiPrefixLength(std::string_view ansi, std::size_t maxBytes) {
    if (maxBytes >= ansi.size()) {
        return ansi.size();
    }
    if (AnsiIsUtf8(ansi)) {
        return utf8::PrefixLength(ansi, maxBytes);
    }
    std::size_t end = 0;
    for (std::size_t length = 0; end < ansi.size(); end += length) {
        length = AnsiCharacterLength(ansi.substr(end));
        if (end + length > maxBytes) {
            break;
        }
    }
    return end;
}

}  // namespace ksv::platform
