#pragma once

#include "platform/native_path.h"

namespace ksv::platform {

// The folder for this program's settings in the user's own settings area:
// $XDG_CONFIG_HOME/ksv (~/.config/ksv) on POSIX, %APPDATA%\ksv on Windows.
// Empty when the system names no such area. It may not exist yet.
NativePath UserSettingsDirectory();

// Whether `directory` is where programs are installed for every user of the
// machine: /usr, /opt and the like on POSIX, Program Files and the Windows
// folder on Windows; or, on Windows, for one user (%LOCALAPPDATA%\Programs),
// writable but the installation's. A program there keeps its settings per user even when
// the user may write there, as root or an administrator may: a ksv.ini made
// there by one such run would otherwise be every other user's, who could not
// save to it.
bool SystemProgramDirectory(const NativePath& directory);

}  // namespace ksv::platform
