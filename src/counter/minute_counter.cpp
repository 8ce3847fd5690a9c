#include "counter/minute_counter.h"

#include "counter/elapsed_text.h"
#include "counter/number_text.h"

namespace ksv {

namespace {
constexpr char kTitleKey[] = "title";
constexpr char kMinutesKey[] = "minutes";
constexpr char kDefaultTitle[] = "kesvo";
constexpr char kDefaultMinutes[] = "0";
}  // namespace

MinuteCounter::MinuteCounter(CounterView& view, SettingsFile& settings,
                             std::string decimalSeparator)
    : view_(view), settings_(settings), decimalSeparator_(std::move(decimalSeparator)) {}

void MinuteCounter::StartUp() {
    // Both from one read of the file.
    const StoredSettings stored = settings_.Read();
    view_.SetTitle(stored.ReadSetting(kTitleKey, kDefaultTitle));
    view_.SetCountText(stored.ReadSetting(kMinutesKey, kDefaultMinutes));
    ShowElapsed();
}

void MinuteCounter::MinuteTick() {
    const double next = TextToDouble(view_.CountText(), decimalSeparator_) + 1.0;
    view_.SetCountText(NumberToText(next, decimalSeparator_));
    // A count that cannot be shown throws here, before it is saved.
    ShowElapsed();

    platform::FileResult saved = settings_.WriteSetting(kMinutesKey, view_.CountText());
    if (saved != lastSave_) {
        lastSave_ = std::move(saved);
        view_.ShowSaveResult(lastSave_);
    }
}

void MinuteCounter::StartCounting() {
    view_.SetTimerEnabled(true);
}

void MinuteCounter::StopCounting() {
    view_.SetTimerEnabled(false);
}

void MinuteCounter::ShowElapsed() {
    view_.SetShownText(ElapsedText(view_.CountText(), decimalSeparator_));
}

}  // namespace ksv
