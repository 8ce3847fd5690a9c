#pragma once

#include <cstdint>

namespace ksv::platform {

// The arithmetic of a timer that does not drift, apart from any clock: once
// started at t0 its periods end at t0 + k * period, however late each end is
// noticed. Times are in the clock's own units.
class PeriodSchedule {
  public:
    explicit PeriodSchedule(std::uint64_t period) : period_(period == 0 ? 1 : period) {}

    void Start(std::uint64_t now);
    void Stop() { running_ = false; }
    bool Running() const { return running_; }

    // Starts (a new full period from `now`) or stops; false when it ran or
    // stood still already, which keeps a running period as it is.
    bool SetRunning(bool running, std::uint64_t now);

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

}  // namespace ksv::platform
