#include "platform/win32/minute_timer.h"

#include <algorithm>

namespace ksv::platform::win32 {
namespace {

constexpr std::uint64_t kUnitsPerMs = 10'000;  // the interrupt time counts 100 ns

std::uint64_t Now() {
    ULONGLONG now = 0;
    QueryUnbiasedInterruptTime(&now);
    return now;
}

}  // namespace

MinuteTimer::MinuteTimer(HWND window, UINT_PTR id, std::uint32_t periodMs)
    : window_(window), id_(id), schedule_(std::uint64_t{periodMs} * kUnitsPerMs) {}

MinuteTimer::~MinuteTimer() {
    SetEnabled(false);
}

void MinuteTimer::SetEnabled(bool enabled) {
    if (!schedule_.SetRunning(enabled, Now())) {
        return;
    }
    if (enabled) {
        Arm();
        return;
    }
    KillTimer(window_, id_);
}

void MinuteTimer::Arm() {
    // Rounded up, so the window timer does not end before the deadline.
    const std::uint64_t ms = (schedule_.Remaining(Now()) + kUnitsPerMs - 1) / kUnitsPerMs;
    const auto delay =
        static_cast<UINT>(std::clamp<std::uint64_t>(ms, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
    SetTimer(window_, id_, delay, nullptr);
}

std::uint64_t MinuteTimer::OnTimer() {
    if (!schedule_.Running()) {
        KillTimer(window_, id_);  // a WM_TIMER already queued when it was stopped
        return 0;
    }
    const std::uint64_t due = schedule_.TakeDue(Now());
    Arm();
    return due;
}

}  // namespace ksv::platform::win32
