#include "platform/period_schedule.h"

namespace ksv::platform {

void PeriodSchedule::Start(std::uint64_t now) {
    next_ = now + period_;
    running_ = true;
}

bool PeriodSchedule::SetRunning(bool running, std::uint64_t now) {
    if (running == running_) {
        return false;
    }
    running ? Start(now) : Stop();
    return true;
}

std::uint64_t PeriodSchedule::TakeDue(std::uint64_t now) {
    if (!running_ || now < next_) {
        return 0;
    }
    const std::uint64_t due = (now - next_) / period_ + 1;
    next_ += due * period_;
    return due;
}

std::uint64_t PeriodSchedule::Remaining(std::uint64_t now) const {
    return now < next_ ? next_ - now : 0;
}

}  // namespace ksv::platform
