#include "settings/settings_file.h"

#include "platform/code_page.h"
#include "platform/file_io.h"
#include "settings/profile.h"

namespace ksv {
namespace {

constexpr std::string_view kSection = "ksv";

// The longest value the program has ever been given back: its buffer held
// 254 bytes, the last of them the terminating NUL.
constexpr std::size_t kLongestValue = 253;

#ifdef _WIN32
constexpr std::string_view kNewline = "\r\n";
#else
constexpr std::string_view kNewline = "\n";
#endif

}  // namespace

std::filesystem::path SettingsPath(const std::filesystem::path& programDirectory) {
    return programDirectory / "ksv.ini";
}

SettingsFile::SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

std::string SettingsFile::ReadSetting(std::string_view key, std::string_view defaultValue) const {
    const auto content = platform::ReadWholeFile(path_);
    if (!content) {
        return std::string(defaultValue);
    }
    auto value = profile::GetValue(*content, kSection, platform::Utf8ToAnsi(key));
    if (!value) {
        return std::string(defaultValue);
    }
    // The value is handed on as text, which ends at a NUL byte.
    if (const auto end = value->find('\0'); end != std::string::npos) {
        value->resize(end);
    }
    value->resize(platform::AnsiPrefixLength(*value, kLongestValue));
    return platform::AnsiToUtf8(*value);
}

platform::FileResult SettingsFile::WriteSetting(std::string_view key, std::string_view value) {
    std::string content;
    // An absent file starts empty; one we cannot read is left alone, since
    // replacing it would lose everything else it holds.
    if (const auto read = platform::ReadFileContent(path_, content);
        !read.ok() && read.failure != platform::FileFailure::NotFound) {
        return read;
    }
    const auto updated = profile::SetValue(content, kSection, platform::Utf8ToAnsi(key),
                                           platform::Utf8ToAnsi(value), kNewline);
    if (!updated) {
        return {};
    }
    return platform::ReplaceFileContent(path_, *updated);
}

}  // namespace ksv
