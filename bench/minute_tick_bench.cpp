// How long one minute tick takes: add a minute, show it, save it to ksv.ini.
// The save dominates (a temporary file, a flush to disk and a rename).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "counter/minute_counter.h"

namespace {

class NullView : public ksv::CounterView {
  public:
    void SetTitle(const std::string&) override {}
    std::string CountText() const override { return count_; }
    void SetCountText(const std::string& count) override { count_ = count; }
    // Kept, as a real window keeps what it shows, so the text is really made.
    void SetShownText(const std::string& text) override { shown_ = text; }
    void SetTimerEnabled(bool) override {}
    void ShowSaveResult(const ksv::platform::FileResult&) override {}

  private:
    std::string count_;
    std::string shown_;
};

void MinuteTick(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "ksv-bench";
    std::filesystem::create_directories(dir);
    ksv::SettingsFile settings(dir / "ksv.ini");
    NullView view;
    ksv::MinuteCounter counter(view, settings, ".");
    counter.StartUp();
    for (auto _ : state) {
        counter.MinuteTick();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(MinuteTick)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
