#include "platform/period_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ksv::platform::PeriodSchedule;

TEST(PeriodScheduleTest, PeriodsEndOnTheGridOfTheStart) {
    // Each step: start the schedule (when `start`) or ask what is due at `now`.
    struct Step {
        bool start;
        std::uint64_t now;
        std::uint64_t due;
        std::uint64_t remaining;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"on time", {{true, 1000, 0, 100}, {false, 1099, 0, 1}, {false, 1100, 1, 100}}},
        {"late wake-up keeps the grid",
         {{true, 0, 0, 100}, {false, 130, 1, 70}, {false, 200, 1, 100}}},
        {"a held-up loop gets every period", {{true, 0, 0, 100}, {false, 350, 3, 50}}},
        {"early wake-up counts nothing",
         {{true, 0, 0, 100}, {false, 90, 0, 10}, {false, 100, 1, 100}}},
        {"a new start drops the part run",
         {{true, 0, 0, 100},
          {false, 60, 0, 40},
          {true, 60, 0, 100},
          {false, 100, 0, 60},
          {false, 160, 1, 100}}},
    };
    for (const Case& c : cases) {
        PeriodSchedule schedule(100);
        for (const Step& step : c.steps) {
            if (step.start) {
                schedule.Start(step.now);
            } else {
                EXPECT_EQ(schedule.TakeDue(step.now), step.due) << c.name << " at " << step.now;
            }
            EXPECT_EQ(schedule.Remaining(step.now), step.remaining) << c.name << " at " << step.now;
        }
    }
}

TEST(PeriodScheduleTest, StoppedScheduleIsNeverDue) {
    PeriodSchedule schedule(100);
    EXPECT_EQ(schedule.TakeDue(1000), 0u);
    schedule.Start(0);
    schedule.Stop();
    EXPECT_FALSE(schedule.Running());
    EXPECT_EQ(schedule.TakeDue(1000), 0u);
}

}  // namespace
