#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/file_result.h"

namespace ksv {

// ksv.ini in the program's directory.
std::filesystem::path SettingsPath(const std::filesystem::path& programDirectory);

// The section "ksv" of one settings file. Keys, defaults and values are UTF-8;
// the file itself is in the system's ANSI code page.
class SettingsFile {
  public:
    explicit SettingsFile(std::filesystem::path path);

    const std::filesystem::path& Path() const { return path_; }

    // The stored value, cut to 253 bytes of the file's code page on a
    // character boundary; `defaultValue` when the file, section or key is
    // absent or the file cannot be read.
    std::string ReadSetting(std::string_view key, std::string_view defaultValue) const;

    // Stores the value; a value already stored is not written again.
    platform::FileResult WriteSetting(std::string_view key, std::string_view value);

  private:
    std::filesystem::path path_;
};

}  // namespace ksv
