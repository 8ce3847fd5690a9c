#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/user_settings_directory.h"

namespace ksv::platform {
namespace {

std::filesystem::path HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return home;
    }
    // Started without an environment (a service, a cron job): the account's.
    if (const passwd* account = getpwuid(geteuid());
        account != nullptr && account->pw_dir != nullptr && *account->pw_dir == '/') {
        return account->pw_dir;
    }
    return {};
}

}  // namespace

std::filesystem::path UserSettingsDirectory() {
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the base
    // directory rules say.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
        return std::filesystem::path(config) / "ksv";
    }
    const std::filesystem::path home = HomeDirectory();
    return home.empty() ? home : home / ".config" / "ksv";
}

}  // namespace ksv::platform
