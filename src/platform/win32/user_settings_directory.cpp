#include <windows.h>
// After windows.h, which they need; initguid.h makes the folders' ids here,
// without the system's library of every id.
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "platform/user_settings_directory.h"
#include "platform/win32/full_path.h"
#include "platform/win32/system_library.h"

namespace ksv::platform {
namespace {

// The shell is loaded only when a folder is asked for: a program with its
// ksv.ini beside it never does.
NativePath KnownFolder(const KNOWNFOLDERID& id) {
    using GetFolderFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    using FreeFn = void(WINAPI*)(void*);
    const auto getFolder =
        win32::SystemFunction<GetFolderFn>(L"shell32.dll", "SHGetKnownFolderPath");
    const auto free = win32::SystemFunction<FreeFn>(L"ole32.dll", "CoTaskMemFree");
    if (getFolder == nullptr || free == nullptr) {
        return {};
    }
    PWSTR folder = nullptr;
    NativePath path;
    if (SUCCEEDED(getFolder(id, KF_FLAG_DEFAULT, nullptr, &folder))) {
        path = folder;
    }
    free(folder);
    return path;
}

// The full path, upper-cased and without a trailing separator, for comparing.
NativePath Comparable(const NativePath& path) {
    NativePath text = win32::FullPath(path);
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) {
        text.pop_back();
    }
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// A folder where programs are installed. Wine 8 does not know the user's own
// (FOLDERID_UserProgramFiles): it is %LOCALAPPDATA%\Programs, as on Windows.
NativePath ProgramsFolder(const KNOWNFOLDERID& id) {
    const NativePath known = KnownFolder(id);
    if (!known.empty() || id != FOLDERID_UserProgramFiles) {
        return known;
    }
    const NativePath local = KnownFolder(FOLDERID_LocalAppData);
    return local.empty() ? local : JoinPath(local, "Programs");
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
    for (const KNOWNFOLDERID* id :
         {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64,
          &FOLDERID_Windows, &FOLDERID_UserProgramFiles}) {
        const NativePath known = ProgramsFolder(*id);
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
