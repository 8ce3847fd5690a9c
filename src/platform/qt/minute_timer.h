#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

#include "platform/period_schedule.h"

namespace ksv::platform::qt {

// A periodic timer that does not drift: a PeriodSchedule on the clock of Qt's
// own timers, with one precise single shot armed to the next deadline, so
// nothing wakes between ticks. Enabling it while enabled keeps the running
// period; disabling it drops the part of a period already run.
class MinuteTimer : public QObject {
    Q_OBJECT

  public:
    explicit MinuteTimer(std::chrono::milliseconds period, QObject* parent = nullptr);

    void SetEnabled(bool enabled);
    bool IsEnabled() const { return schedule_.Running(); }

  signals:
    // The end of one period. A handler that runs longer than a period is
    // followed at once by the ticks it held up, one per period.
    void Elapsed();

  private:
    void Arm();
    void OnTimeout();

    QTimer timer_;
    PeriodSchedule schedule_;
};

}  // namespace ksv::platform::qt
