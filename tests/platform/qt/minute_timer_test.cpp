#include "platform/qt/minute_timer.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <vector>

#include "support/try_compare.h"

using namespace std::chrono_literals;

namespace ksv::platform::qt {

// Each tick's time, in milliseconds since the timer was first enabled.
class TickLog : public QObject {
  public:
    TickLog(MinuteTimer& timer, std::chrono::milliseconds work = 0ms) {
        clock_.start();
        connect(&timer, &MinuteTimer::Elapsed, this, [this, work] {
            ticks.push_back(clock_.elapsed());
            if (work > 0ms) {
                QThread::msleep(static_cast<unsigned long>(work.count()));
            }
        });
    }
    qint64 Now() const { return clock_.elapsed(); }
    std::vector<qint64> ticks;

  private:
    QElapsedTimer clock_;
};

class MinuteTimerTest : public QObject {
    Q_OBJECT

  private slots:
    // A handler that takes most of a period must not push later ticks back.
    void ticksDoNotDrift() {
        MinuteTimer timer(200ms);
        TickLog log(timer, 120ms);
        timer.SetEnabled(true);
        KSV_TRY_COMPARE(log.ticks.size(), std::size_t{5}, 3000);
        for (std::size_t k = 0; k < log.ticks.size(); ++k) {
            const qint64 due = 200 * static_cast<qint64>(k + 1);
            QVERIFY2(log.ticks[k] >= due && log.ticks[k] < due + 100,
                     qPrintable(QString("tick %1 at %2 ms").arg(k + 1).arg(log.ticks[k])));
        }
    }

    void enablingWhileEnabledKeepsThePeriod() {
        MinuteTimer timer(300ms);
        TickLog log(timer);
        timer.SetEnabled(true);
        QTest::qWait(180);
        timer.SetEnabled(true);
        QVERIFY(timer.IsEnabled());
        KSV_TRY_COMPARE(log.ticks.size(), std::size_t{1}, 2000);
        QVERIFY2(log.ticks[0] < 420, qPrintable(QString::number(log.ticks[0])));
    }

    void disablingDropsThePartPeriod() {
        MinuteTimer timer(300ms);
        TickLog log(timer);
        timer.SetEnabled(true);
        QTest::qWait(200);
        timer.SetEnabled(false);
        QVERIFY(!timer.IsEnabled());
        QTest::qWait(400);
        QVERIFY(log.ticks.empty());
        const qint64 resumed = log.Now();
        timer.SetEnabled(true);
        KSV_TRY_COMPARE(log.ticks.size(), std::size_t{1}, 2000);
        QVERIFY2(log.ticks[0] - resumed >= 300,
                 qPrintable(QString::number(log.ticks[0] - resumed)));
    }

    // A blocked event loop is followed by one tick per period it missed, and
    // the schedule stays where it was.
    void missedPeriodsAreCaughtUp() {
        MinuteTimer timer(100ms);
        TickLog log(timer);
        timer.SetEnabled(true);
        QThread::msleep(450);
        KSV_TRY_COMPARE(log.ticks.size(), std::size_t{5}, 2000);
        QVERIFY2(log.ticks[3] < 500, qPrintable(QString::number(log.ticks[3])));
        QVERIFY2(log.ticks[4] >= 500, qPrintable(QString::number(log.ticks[4])));
    }

    void disabledInsideTickStopsAtOnce() {
        MinuteTimer timer(50ms);
        int ticks = 0;
        connect(&timer, &MinuteTimer::Elapsed, &timer, [&] {
            ++ticks;
            timer.SetEnabled(false);
        });
        timer.SetEnabled(true);
        QTest::qWait(300);
        QCOMPARE(ticks, 1);
    }
};

}  // namespace ksv::platform::qt

QTEST_GUILESS_MAIN(ksv::platform::qt::MinuteTimerTest)
#include "minute_timer_test.moc"
