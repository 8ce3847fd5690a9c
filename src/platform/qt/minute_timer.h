#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <chrono>

namespace ksv::platform::qt {

// A periodic timer that does not drift: once enabled at t0 its periods end
// at t0 + k * period on the monotonic clock, however late a tick is handled.
// Enabling it while enabled keeps the running period; disabling it drops the
// part of a period already run. Between ticks it wakes nobody: one precise
// single-shot timer is armed to the next deadline.
class MinuteTimer : public QObject {
    Q_OBJECT

  public:
    explicit MinuteTimer(std::chrono::milliseconds period, QObject* parent = nullptr);

    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_; }
    std::chrono::milliseconds Period() const { return period_; }

  signals:
    // The end of one period. A handler that runs longer than a period is
    // followed at once by the ticks it held up, one per period.
    void Elapsed();

  private:
    void Arm();
    void OnTimeout();

    std::chrono::milliseconds period_;
    QTimer timer_;
    QDeadlineTimer deadline_;
    bool enabled_ = false;
};

}  // namespace ksv::platform::qt
