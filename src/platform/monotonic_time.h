#pragma once

#include <cstdint>

namespace ksv::platform {

// Milliseconds on a clock that only goes forward, for measuring waits.
std::uint64_t MonotonicMilliseconds();

// Lets the calling thread sleep for about `milliseconds`.
void SleepMilliseconds(std::uint32_t milliseconds);

}  // namespace ksv::platform
