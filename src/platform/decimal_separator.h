#pragma once

#include <string>

namespace ksv::platform {

// The user's decimal separator (UTF-8), as their locale sets it.
std::string DecimalSeparator();

}  // namespace ksv::platform
