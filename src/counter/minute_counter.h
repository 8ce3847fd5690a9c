#pragma once

#include <optional>
#include <string>

#include "counter/counter_view.h"
#include "platform/file_result.h"
#include "settings/settings_file.h"

namespace ksv {

// The minute counting: restores title and count at start, adds a minute at
// each tick, shows and saves it, pauses and resumes. A count that cannot be
// read throws CountError out of StartUp or MinuteTick before anything is
// saved; the caller reports it and ends the program.
class MinuteCounter {
  public:
    MinuteCounter(CounterView& view, SettingsFile& settings, std::string decimalSeparator);

    void StartUp();
    void MinuteTick();
    void StartCounting();
    void StopCounting();
    void ShowElapsed();

  private:
    CounterView& view_;
    SettingsFile& settings_;
    std::string decimalSeparator_;
    platform::FileResult lastSave_;
};

}  // namespace ksv
