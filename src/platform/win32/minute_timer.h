#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/period_schedule.h"

namespace ksv::platform::win32 {

// Timer1: a window timer re-armed to the next deadline of a PeriodSchedule
// on the unbiased interrupt time, so time spent asleep or hibernating is not
// counted. Enabling it while enabled keeps the running period.
class MinuteTimer {
  public:
    MinuteTimer(HWND window, UINT_PTR id, std::uint32_t periodMs);
    ~MinuteTimer();
    MinuteTimer(const MinuteTimer&) = delete;
    MinuteTimer& operator=(const MinuteTimer&) = delete;

    void SetEnabled(bool enabled);
    bool IsEnabled() const { return schedule_.Running(); }
    UINT_PTR Id() const { return id_; }

    // For WM_TIMER with this timer's id: the number of periods that ended
    // (usually 1, 0 after an early wake-up); the timer is re-armed.
    std::uint64_t OnTimer();

  private:
    void Arm();

    HWND window_;
    UINT_PTR id_;
    PeriodSchedule schedule_;
};

}  // namespace ksv::platform::win32
