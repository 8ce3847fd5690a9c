#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/native_path.h"

namespace ksv::platform {

// Text in the settings file is in the system's ANSI code page; inside the
// program it is UTF-8. Where there is no ANSI code page (POSIX) the file is
// UTF-8, and bytes that are not valid UTF-8 are read as GB18030.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// A path as UTF-8 text, for what the program shows. Never throws: a Windows
// file name that is not valid UTF-16 shows replacement characters.
std::string PathToUtf8(const NativePath& path);

// The longest prefix of `ansi`, at most `maxBytes`, that cuts no character.
std::size_t AnsiPrefixLength(std::string_view ansi, std::size_t maxBytes);

// What each system supplies to the cut: whether `ansi` counts as UTF-8 there,
// and otherwise how many bytes the character at the start of `text` takes.
bool AnsiIsUtf8(std::string_view ansi);
std::size_t AnsiCharacterLength(std::string_view text);

}  // namespace ksv::platform
