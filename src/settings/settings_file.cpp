#include "settings/settings_file.h"

namespace ksv {

// Placeholder until the settings file lands.
std::filesystem::path SettingsPath(const std::filesystem::path& programDirectory) {
    return programDirectory / "ksv.ini";
}

SettingsFile::SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

std::string SettingsFile::ReadSetting(std::string_view, std::string_view defaultValue) const {
    return std::string(defaultValue);
}

platform::FileResult SettingsFile::WriteSetting(std::string_view, std::string_view) {
    return {platform::FileFailure::Other, "not written yet"};
}

}  // namespace ksv
