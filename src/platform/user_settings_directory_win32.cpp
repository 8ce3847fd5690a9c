#include <windows.h>
// After windows.h, which it needs.
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/user_settings_directory.h"

namespace ksv::platform {

std::filesystem::path UserSettingsDirectory() {
    // The roaming folder follows the user to other machines of a domain.
    PWSTR folder = nullptr;
    std::filesystem::path directory;
    if (SUCCEEDED(
            SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder))) {
        directory = std::filesystem::path(folder) / L"ksv";
    }
    CoTaskMemFree(folder);
    return directory;
}

}  // namespace ksv::platform
