#include "platform/qt/minute_timer.h"

#include <algorithm>
#include <limits>

namespace ksv::platform::qt {

MinuteTimer::MinuteTimer(std::chrono::milliseconds period, QObject* parent)
    : QObject(parent), period_(std::max(period, std::chrono::milliseconds(1))) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &MinuteTimer::OnTimeout);
}

void MinuteTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if (enabled) {
        deadline_ = QDeadlineTimer(period_, Qt::PreciseTimer);
        Arm();
    } else {
        timer_.stop();
    }
}

void MinuteTimer::Arm() {
    // Round up so the single shot never ends before the deadline.
    const qint64 nanoseconds = std::max<qint64>(deadline_.remainingTimeNSecs(), 0);
    const qint64 milliseconds = (nanoseconds + 999'999) / 1'000'000;
    timer_.start(static_cast<int>(std::min<qint64>(milliseconds, std::numeric_limits<int>::max())));
}

void MinuteTimer::OnTimeout() {
    if (!enabled_) {
        return;
    }
    if (!deadline_.hasExpired()) {
        Arm();  // woke a little early: wait out the rest
        return;
    }
    // The next deadline follows from the last one, not from now, so time
    // spent handling this tick does not push it back.
    deadline_ += period_.count();
    Arm();
    emit Elapsed();
}

}  // namespace ksv::platform::qt
