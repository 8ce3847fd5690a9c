#include <windows.h>
// After windows.h, which it needs.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "platform/user_settings_directory.h"

namespace ksv::platform {
namespace {

std::filesystem::path KnownFolder(const KNOWNFOLDERID& id) {
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &folder))) {
        path = folder;
    }
    CoTaskMemFree(folder);
    return path;
}

// The full path without a trailing separator and in upper case, for
// comparing as Windows compares names.
std::wstring Comparable(const std::filesystem::path& path) {
    std::error_code error;
    std::wstring text = std::filesystem::absolute(path, error).lexically_normal().wstring();
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) {
        text.pop_back();
    }
    if (!text.empty()) {
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

// A folder where programs are installed. Wine 8 does not know the user's own
// (FOLDERID_UserProgramFiles): it is %LOCALAPPDATA%\Programs, as on Windows.
std::filesystem::path ProgramsFolder(const KNOWNFOLDERID& id) {
    const std::filesystem::path known = KnownFolder(id);
    if (!known.empty() || id != FOLDERID_UserProgramFiles) {
        return known;
    }
    const std::filesystem::path local = KnownFolder(FOLDERID_LocalAppData);
    return local.empty() ? local : local / L"Programs";
}

}  // namespace

std::filesystem::path UserSettingsDirectory() {
    // The roaming folder follows the user to other machines of a domain.
    const std::filesystem::path folder = KnownFolder(FOLDERID_RoamingAppData);
    return folder.empty() ? folder : folder / L"ksv";
}

bool SystemProgramDirectory(const std::filesystem::path& directory) {
    const std::wstring path = Comparable(directory);
    // A 32-bit program is not told the 64-bit folder; it is skipped then.
    // The user's own programs folder (%LOCALAPPDATA%\Programs) is writable,
    // but what lies there belongs to the installation, not to the user.
    for (const KNOWNFOLDERID* id :
         {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64,
          &FOLDERID_Windows, &FOLDERID_UserProgramFiles}) {
        const std::filesystem::path known = ProgramsFolder(*id);
        if (known.empty()) {
            continue;
        }
        const std::wstring top = Comparable(known);
        if (path.compare(0, top.size(), top) == 0 &&
            (path.size() == top.size() || path[top.size()] == L'\\')) {
            return true;
        }
    }
    return false;
}

}  // namespace ksv::platform
