#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/error.h"
#include "platform/file_result.h"
#include "platform/native_path.h"
#include "settings/file_text.h"

namespace ksv {

// The largest settings file read or written: a thousand times what ksv
// itself ever writes. A larger file is no settings file of ours, and reading
// it every minute would cost seconds and gigabytes.
inline constexpr std::size_t kLargestSettingsFile = 1 << 20;

// Where ksv.ini lives, decided once at start: beside the program (portable
// use) when its folder is one that no other user may write, and either a
// ksv.ini of this user's or the system's is there already, or the folder
// takes new files and is not one where programs are installed for all users;
// otherwise in the user's own settings folder, which `userDirectory` gives
// (empty when the system names none). That is asked only when no such
// ksv.ini is beside the program: finding it may cost the start a system
// library.
platform::NativePath SettingsPath(const platform::NativePath& programDirectory,
                                  const std::function<platform::NativePath()>& userDirectory);

// A settings file that is there but cannot be read. Starting from the
// defaults would later write a small count over the real one.
class SettingsReadError : public platform::Error {
  public:
    SettingsReadError(platform::NativePath path, platform::FileResult result);

    const platform::NativePath& path() const { return path_; }
    const platform::FileResult& result() const { return result_; }

  private:
    platform::NativePath path_;
    platform::FileResult result_;
};

// The section "ksv" as one read of the settings file found it, for reading
// several keys from a single read.
class StoredSettings {
  public:
    explicit StoredSettings(FileText file) : file_(std::move(file)) {}

    // The stored value, cut to 253 bytes of the system's code page on a
    // character boundary; `defaultValue` when the file, section or key is
    // absent.
    std::string ReadSetting(std::string_view key, std::string_view defaultValue) const;

  private:
    FileText file_;
};

// The section "ksv" of one settings file. Keys, defaults and values are UTF-8;
// the file itself is in the system's ANSI code page, or in UTF-16 when it
// starts with that byte-order mark.
class SettingsFile {
  public:
    // A file that exists but cannot be read is tried again for `patience`,
    // for the moments a virus scanner or a backup holds it.
    explicit SettingsFile(platform::NativePath path,
                          std::chrono::milliseconds patience = std::chrono::seconds(2));

    const platform::NativePath& Path() const { return path_; }

    // What the file holds now. Throws SettingsReadError when it exists but
    // cannot be read.
    StoredSettings Read() const;

    // Stores the value, making the file's folder when it is missing; a value
    // already stored is not written again, nor a file larger than
    // kLargestSettingsFile.
    platform::FileResult WriteSetting(std::string_view key, std::string_view value);

  private:
    platform::NativePath path_;
    std::chrono::milliseconds patience_;
};

}  // namespace ksv
