#include "platform/monotonic_time.h"

#include <windows.h>

namespace ksv::platform {

std::uint64_t MonotonicMilliseconds() {
    return GetTickCount64();
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace ksv::platform
