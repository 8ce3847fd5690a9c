#include "platform/decimal_separator.h"

namespace ksv::platform {

// Placeholder.
std::string DecimalSeparator() { return "."; }

}  // namespace ksv::platform
