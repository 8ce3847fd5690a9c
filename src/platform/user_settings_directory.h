#pragma once

#include <filesystem>

namespace ksv::platform {

// The folder for this program's settings in the user's own settings area:
// $XDG_CONFIG_HOME/ksv (~/.config/ksv) on POSIX, %APPDATA%\ksv on Windows.
// Empty when the system names no such area. It may not exist yet.
std::filesystem::path UserSettingsDirectory();

}  // namespace ksv::platform
