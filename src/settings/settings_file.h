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

// Why a ksv.ini beside the program is not the one ksv counts into.
enum class SetAside { None, SharedFolder, OtherUsersFile };

// Where ksv counts, as decided once at start, and what the user is told of
// it.
struct SettingsPlace {
    platform::NativePath path{};
    bool inUserFolder = false;        // the user's settings folder, which ksv may make
    platform::NativePath setAside{};  // a ksv.ini beside the program that is not used
    SetAside why = SetAside::None;
    bool carry = false;  // the user's own file, and nothing yet where ksv counts: carried over
    bool tell = false;   // said at start, not only in the tool-tip
};

// Where ksv.ini lives: beside the program (portable use) when its folder is
// one that no other user may write, and either a ksv.ini of this user's or
// the system's is there already, or the folder takes new files and is not
// one where programs are installed for all users; otherwise in the user's own
// settings folder, which `userDirectory` gives (empty when the system names
// none). That is asked only when no such ksv.ini is beside the program:
// finding it may cost the start a system library. Throws SettingsPlaceError
// when the program's folder is unknown, or when only a folder that others may
// write is left.
SettingsPlace SettingsPath(const platform::NativePath& programDirectory,
                           const std::function<platform::NativePath()>& userDirectory);

class SettingsPlaceError : public platform::Error {
  public:
    // `directory`: the program's, which others may write; empty when unknown.
    explicit SettingsPlaceError(platform::NativePath directory)
        : platform::Error("no place for the settings file"), directory_(std::move(directory)) {}

    const platform::NativePath& directory() const { return directory_; }

  private:
    platform::NativePath directory_;
};

// Copies the set-aside file whole to where ksv counts now.
platform::FileResult CarryOver(const SettingsPlace& place);

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

    // The stored value, cut to 253 bytes (UTF-16 units in such a file) on a
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
    // `makeFolder`: the file's folder is the user's settings folder, made at
    // the first save; any other that has gone makes saves fail.
    explicit SettingsFile(platform::NativePath path, bool makeFolder = false,
                          std::chrono::milliseconds patience = std::chrono::seconds(2));

    const platform::NativePath& Path() const { return path_; }

    // What the file holds now. Throws SettingsReadError when it exists but
    // cannot be read.
    StoredSettings Read() const;

    // Stores the value; a value already stored is not written again, nor a
    // file larger than kLargestSettingsFile.
    platform::FileResult WriteSetting(std::string_view key, std::string_view value);

  private:
    platform::NativePath path_;
    bool makeFolder_;
    std::chrono::milliseconds patience_;
};

}  // namespace ksv
