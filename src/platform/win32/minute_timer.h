#pragma once

#include <windows.h>

#include <cstdint>

namespace ksv::platform::win32 {

// The arithmetic of a timer that does not drift, apart from any clock: once
// started at t0 its periods end at t0 + k * period, however late each end is
// noticed. Times are in the clock's own units.
class PeriodSchedule {
  public:
    explicit PeriodSchedule(std::uint64_t period) : period_(period == 0 ? 1 : period) {}

    void Start(std::uint64_t now);
    void Stop() { running_ = false; }
    bool Running() const { return running_; }

    // How many ends of period `now` has passed since the last call; each end
    // is counted once, and the next deadline follows from the last one.
    std::uint64_t TakeDue(std::uint64_t now);

    // Time from `now` to the next end of period (0 when it has passed).
    std::uint64_t Remaining(std::uint64_t now) const;

  private:
    std::uint64_t period_;
    std::uint64_t next_ = 0;
    bool running_ = false;
};

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
