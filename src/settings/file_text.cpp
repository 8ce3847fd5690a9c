#include "settings/file_text.h"

#include <utility>

#include "platform/code_page.h"
#include "platform/utf8_text.h"

namespace ksv {
namespace {

char32_t UnitAt(std::string_view bytes, std::size_t i, bool littleEndian) {
    const auto low = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
    const auto high = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
    return static_cast<char32_t>(high << 8 | low);
}

void AppendUnit(std::string& out, char32_t unit, bool littleEndian) {
    const auto low = static_cast<char>(unit & 0xFF);
    const auto high = static_cast<char>(unit >> 8 & 0xFF);
    out += littleEndian ? low : high;
    out += littleEndian ? high : low;
}

// UTF-8, extended to unpaired surrogates (the "generalised" form).
void AppendUtf8(std::string& out, char32_t c) {
    constexpr char32_t kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int more = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;  // continuation bytes
    out += static_cast<char>(kLead[more] | c >> 6 * more);
    for (int shift = 6 * more - 6; shift >= 0; shift -= 6) {
        out += static_cast<char>(0x80 | (c >> shift & 0x3F));
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool littleEndian) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = UnitAt(bytes, i, littleEndian);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t next = UnitAt(bytes, i + 2, littleEndian);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, unit);
    }
    return out;
}

std::string Utf8ToUtf16(std::string_view text, bool littleEndian) {
    std::string out;
    out.reserve(text.size() * 2);
    while (!text.empty()) {
        // A malformed byte stands for U+FFFD on its own.
        const auto [decoded, length] = platform::utf8::Decode(text, true);
        const char32_t c = length == 0 ? 0xFFFD : decoded;
        text.remove_prefix(length == 0 ? 1 : length);
        if (c >= 0x10000) {
            AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10), littleEndian);
            AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), littleEndian);
        } else {
            AppendUnit(out, c, littleEndian);
        }
    }
    return out;
}

}  // namespace

std::optional<FileText> DecodeFileText(std::string_view bytes) {
    const auto startsWith = [&](std::string_view prefix) { return bytes.starts_with(prefix); };
    using namespace std::string_view_literals;
    if (startsWith("\xFF\xFE\x00\x00"sv) || startsWith("\x00\x00\xFE\xFF"sv)) {
        return std::nullopt;  // UTF-32
    }
    if (startsWith("\xFF\xFE"sv) || startsWith("\xFE\xFF"sv)) {
        FileText file;
        file.encoding = bytes[0] == '\xFF' ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
        file.text = Utf16ToUtf8(bytes, file.encoding == TextEncoding::Utf16Le);
        if (bytes.size() % 2 != 0) {
            file.oddByte.assign(1, bytes.back());
        }
        return file;
    }
    if (startsWith("\xEF\xBB\xBF"sv)) {
        return FileText{TextEncoding::Utf8, std::string(bytes), {}};
    }
    // No text file in a single-byte code page starts with a NUL byte; UTF-16
    // without its mark does.
    if ((!bytes.empty() && bytes[0] == '\0') || (bytes.size() > 1 && bytes[1] == '\0')) {
        return std::nullopt;
    }
    return FileText{TextEncoding::Ansi, std::string(bytes), {}};
}

std::string EncodeFileText(const FileText& file) {
    if (file.encoding == TextEncoding::Ansi || file.encoding == TextEncoding::Utf8) {
        return file.text;
    }
    return Utf8ToUtf16(file.text, file.encoding == TextEncoding::Utf16Le) + file.oddByte;
}

std::string ToFileText(TextEncoding encoding, std::string_view utf8) {
    return encoding == TextEncoding::Ansi ? platform::Utf8ToAnsi(utf8) : std::string(utf8);
}

std::string FromFileText(TextEncoding encoding, std::string_view text) {
    return encoding == TextEncoding::Ansi ? platform::AnsiToUtf8(text) : std::string(text);
}

std::string CutFileText(TextEncoding encoding, std::string_view text, std::size_t maxUnits) {
    if (encoding == TextEncoding::Ansi) {
        return std::string(text.substr(0, platform::AnsiPrefixLength(text, maxUnits)));
    }
    if (encoding == TextEncoding::Utf8) {
        return std::string(text.substr(0, platform::utf8::PrefixLength(text, maxUnits)));
    }
    // UTF-16 units: two for a character past U+FFFF, which stays whole.
    std::size_t end = 0;
    for (std::size_t units = 0; end < text.size();) {
        const auto [c, length] = platform::utf8::Decode(text.substr(end), true);
        units += c >= 0x10000 ? 2 : 1;
        if (units > maxUnits) {
            break;
        }
        end += length == 0 ? 1 : length;
    }
    return std::string(text.substr(0, end));
}

}  // namespace ksv
