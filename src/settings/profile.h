#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace ksv::profile {

// Reading and writing one key of a profile (INI) file held in memory, the way
// the Windows profile functions do it. Content and names are bytes in the
// file's code page; section and key names match without regard to ASCII case.

// The value of `key` in `section`, trimmed and with one pair of surrounding
// quotes removed, not cut to any length; nothing when the section or the key
// is absent. A key with an empty value gives the empty text.
std::optional<std::string> GetValue(std::string_view content, std::string_view section,
                                    std::string_view key);

// The content with `key` in `section` set to `value`, every other byte kept;
// nothing when the content already holds that value. `newline` ends the lines
// of a file that has none yet. The value is cut at its first line break.
// Throws platform::InvalidArgument for a name that would not read back as itself
// (line breaks, surrounding blanks, "=" or a leading ";", "#" or "[" in a key)
// and for a `newline` other than CR LF, LF or CR.
std::optional<std::string> SetValue(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view value,
                                    std::string_view newline);

}  // namespace ksv::profile
