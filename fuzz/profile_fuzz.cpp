// Reads and writes one key of arbitrary profile content and checks that a
// write reads back, is not repeated and leaves other keys alone; a file in
// UTF-16 comes back byte for byte through its text and stays UTF-16.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/utf8_text.h"
#include "settings/file_text.h"
#include "settings/profile.h"

namespace {

constexpr std::string_view kSafeValueBytes =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.";

void Check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Names come from the end of the input so that a plain .ini seed stays mostly
// content: usually one of the program's own names, sometimes arbitrary bytes.
std::string PickName(FuzzedDataProvider& data, unsigned choice, std::string_view a,
                     std::string_view b) {
    switch (choice) {
        case 0:
            return std::string(a);
        case 1:
            return std::string(b);
        case 2: {
            std::string upper(a);
            for (char& c : upper) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                }
            }
            return upper;
        }
        default: {
            std::string name(data.ConsumeIntegralInRange<std::size_t>(0, 8), '\0');
            for (char& c : name) {
                c = static_cast<char>(data.ConsumeIntegral<std::uint8_t>());
            }
            return name;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const auto choice = data.ConsumeIntegral<std::uint8_t>();
    const std::string section = PickName(data, choice & 3u, "ksv", "other");
    const std::string key = PickName(data, (choice >> 2) & 3u, "minutes", "title");
    std::string value(data.ConsumeIntegralInRange<std::size_t>(0, 12), '0');
    for (char& c : value) {
        c = kSafeValueBytes[data.ConsumeIntegral<std::uint8_t>() % kSafeValueBytes.size()];
    }
    const std::string_view newline = (choice & 0x10u) ? "\r\n" : "\n";
    const std::string stored = data.ConsumeRemainingBytesAsString();

    // The file's bytes and its text stand for each other exactly.
    const std::optional<ksv::FileText> file = ksv::DecodeFileText(stored);
    if (!file) {
        return 0;  // refused, never written
    }
    Check(ksv::EncodeFileText(*file) == stored);
    const std::string& content = file->text;

    using ksv::profile::GetValue;
    using ksv::profile::SetValue;
    const std::optional<std::string> before = GetValue(content, section, key);

    std::optional<std::string> out;
    try {
        out = SetValue(content, section, key, value, newline);
    } catch (const ksv::platform::InvalidArgument&) {
        return 0;  // a name that could not be stored
    }
    if (!out) {
        Check(before == value);
        return 0;
    }
    Check(GetValue(*out, section, key) == value);
    Check(!SetValue(*out, section, key, value, newline));

    // Written out and read again, the file is what was written, in the same
    // encoding, for names as the program gives them: text, without NUL bytes
    // (which at the start of a file would mark it as unmarked UTF-16).
    const auto programName = [&](std::string_view name) {
        return name.find('\0') == std::string_view::npos &&
               (file->encoding == ksv::TextEncoding::Ansi || ksv::platform::utf8::IsValid(name));
    };
    if (programName(section) && programName(key)) {
        const ksv::FileText written{file->encoding, *out, file->oddByte};
        const auto reread = ksv::DecodeFileText(ksv::EncodeFileText(written));
        Check(reread && reread->encoding == file->encoding && reread->text == *out);
    }

    // A key beside it and one in another section keep what they read.
    if (!SameName(key, "title")) {
        Check(GetValue(*out, section, "title") == GetValue(content, section, "title"));
    }
    if (!SameName(section, "other")) {
        Check(GetValue(*out, "other", key) == GetValue(content, "other", key));
    }
    return 0;
}
