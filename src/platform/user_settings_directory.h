#pragma once

#include "platform/native_path.h"

namespace ksv::platform {

// The folder for this program's settings in the user's own settings area:
// $XDG_CONFIG_HOME/ksv (~/.config/ksv) on POSIX, %APPDATA%\ksv on Windows.
// Empty when the system names no such area. It may not exist yet.
NativePath UserSettingsDirectory();

// Whether `directory` is one of the system's own: where programs are
// installed for every user (/usr, /opt; Program Files, the Windows folder),
// or for one user (%LOCALAPPDATA%\Programs, writable but the installation's),
// or /etc, /dev and the like. A program there keeps its settings per user,
// even run by root or an administrator, and no lock file is made there.
bool SystemProgramDirectory(const NativePath& directory);

}  // namespace ksv::platform
