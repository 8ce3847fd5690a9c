#include "platform/qt/minute_timer.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <limits>

namespace ksv::platform::qt {
namespace {

constexpr std::uint64_t kNanosecondsPerMs = 1'000'000;

// The clock of Qt's precise timers, in nanoseconds.
std::uint64_t Now() {
    return static_cast<std::uint64_t>(QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs());
}

}  // namespace

MinuteTimer::MinuteTimer(std::chrono::milliseconds period, QObject* parent)
    : QObject(parent),
      schedule_(
          static_cast<std::uint64_t>(std::max<std::chrono::milliseconds::rep>(period.count(), 1)) *
          kNanosecondsPerMs) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &MinuteTimer::OnTimeout);
}

void MinuteTimer::SetEnabled(bool enabled) {
    if (schedule_.SetRunning(enabled, Now())) {
        enabled ? Arm() : timer_.stop();
    }
}

void MinuteTimer::Arm() {
    // Rounded up, so the single shot never ends before the deadline.
    const std::uint64_t ms =
        (schedule_.Remaining(Now()) + kNanosecondsPerMs - 1) / kNanosecondsPerMs;
    timer_.start(static_cast<int>(std::min<std::uint64_t>(ms, std::numeric_limits<int>::max())));
}

void MinuteTimer::OnTimeout() {
    // An early wake-up finds nothing due and only waits out the rest.
    std::uint64_t due = schedule_.TakeDue(Now());
    if (schedule_.Running()) {
        Arm();
    }
    for (; due > 0 && schedule_.Running(); --due) {
        emit Elapsed();
    }
}

}  // namespace ksv::platform::qt
