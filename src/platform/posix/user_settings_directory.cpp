#include "platform/user_settings_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <system_error>

namespace ksv::platform {
namespace {

NativePath HomeDirectory() {
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

NativePath UserSettingsDirectory() {
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the base
    // directory rules say.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
        return JoinPath(config, "ksv");
    }
    const NativePath home = HomeDirectory();
    return home.empty() ? home : JoinPath(JoinPath(home, ".config"), "ksv");
}

bool SystemProgramDirectory(const NativePath& directory) {
    // The system's own hierarchy, shared by all its users.
    static constexpr std::string_view kSystemTops[] = {"usr",   "opt",  "bin",  "sbin", "lib",
                                                       "lib64", "snap", "etc",  "dev",  "proc",
                                                       "sys",   "run",  "boot", "var"};
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(directory, error);
    const std::filesystem::path path = error ? std::filesystem::path(directory) : real;
    if (!path.is_absolute()) {
        return false;
    }
    const auto top = std::next(path.begin());  // the first name after "/"
    return top != path.end() &&
           std::ranges::find(kSystemTops, top->native()) != std::end(kSystemTops);
}

}  // namespace ksv::platform
