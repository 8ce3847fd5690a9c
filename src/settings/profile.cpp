#include "settings/profile.h"

namespace ksv::profile {

// Placeholder until the reader and writer land.
std::optional<std::string> GetValue(std::string_view, std::string_view, std::string_view) {
    return std::nullopt;
}

std::optional<std::string> SetValue(std::string_view, std::string_view, std::string_view,
                                    std::string_view, std::string_view) {
    return std::nullopt;
}

}  // namespace ksv::profile
