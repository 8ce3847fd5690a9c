#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>

#include "platform/utf8_text.h"

namespace ksv::platform {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Keeps the well-formed UTF-8 and puts U+FFFD for every other byte; used
// only when the system has no GB18030 converter.
std::string ReplaceMalformed(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const std::size_t length = utf8::Decode(text).length;
        out += length == 0 ? kReplacement : text.substr(0, length);
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

std::string DecodeGb18030(std::string_view text) {
    iconv_t converter = iconv_open("UTF-8", "GB18030");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return ReplaceMalformed(text);
    }
    std::string out;
    // iconv's interface is not const-correct; it only reads the input.
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[512];
    while (inLeft > 0) {
        char* outPos = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t converted = iconv(converter, &in, &inLeft, &outPos, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPos - buffer));
        if (converted == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A malformed or cut-off sequence: mark it and go on after its
            // first byte, so one bad byte costs one character at most.
            out += kReplacement;
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return out;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    return utf8::IsValid(ansi) ? std::string(ansi) : DecodeGb18030(ansi);
}

std::string Utf8ToAnsi(std::string_view utf8) {
    return std::string(utf8);
}

std::string PathToUtf8(const NativePath& path) {
    return path;
}

// A character of GB18030 takes 1, 2 or 4 bytes; a malformed sequence counts
// its first byte alone, as DecodeGb18030 drops just that byte.
std::size_t AnsiCharacterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto between = [](unsigned char b, unsigned char low, unsigned char high) {
        return b >= low && b <= high;
    };
    if (text.size() < 2 || !between(byte(0), 0x81, 0xFE)) {
        return 1;
    }
    if (between(byte(1), 0x40, 0x7E) || between(byte(1), 0x80, 0xFE)) {
        return 2;
    }
    if (text.size() >= 4 && between(byte(1), 0x30, 0x39) && between(byte(2), 0x81, 0xFE) &&
        between(byte(3), 0x30, 0x39)) {
        return 4;
    }
    return 1;
}

bool AnsiIsUtf8(std::string_view ansi) {
    return utf8::IsValid(ansi);
}

}  // namespace ksv::platform
