#include <windows.h>
// After windows.h, which it needs.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "platform/full_path_win32.h"
#include "platform/user_settings_directory.h"

namespace ksv::platform {
namespace {

NativePath KnownFolder(const KNOWNFOLDERID& id) {
    PWSTR folder = nullptr;
    NativePath path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &folder))) {
        path = folder;
    }
    CoTaskMemFree(folder);
    return path;
}

// The full path without a trailing separator and in upper case, for
// comparing as Windows compares names.
NativePath Comparable(const NativePath& path) {
    NativePath text = win32::FullPath(path);
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) {
        text.pop_back();
    }
    if (!text.empty()) {
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

}  // namespace

NativePath UserSettingsDirectory() {
    // The roaming folder follows the user to other machines of a domain.
    const NativePath folder = KnownFolder(FOLDERID_RoamingAppData);
    return folder.empty() ? folder : JoinPath(folder, "ksv");
}

bool SystemProgramDirectory(const NativePath& directory) {
    const NativePath path = Comparable(directory);
    // A 32-bit program is not told the 64-bit folder; it is skipped then.
    for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86,
                                    &FOLDERID_ProgramFilesX64, &FOLDERID_Windows}) {
        const NativePath known = KnownFolder(*id);
        if (known.empty()) {
            continue;
        }
        const NativePath top = Comparable(known);
        if (path.compare(0, top.size(), top) == 0 &&
            (path.size() == top.size() || path[top.size()] == L'\\')) {
            return true;
        }
    }
    return false;
}

}  // namespace ksv::platform
