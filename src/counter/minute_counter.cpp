#include "counter/minute_counter.h"
namespace ksv {
MinuteCounter::MinuteCounter(CounterView& view, SettingsFile& settings, std::string decimalSeparator)
    : view_(view), settings_(settings), decimalSeparator_(std::move(decimalSeparator)) {}
void MinuteCounter::StartUp() {}
void MinuteCounter::MinuteTick() {}
void MinuteCounter::StartCounting() {}
void MinuteCounter::StopCounting() {}
void MinuteCounter::ShowElapsed() {}
}  // namespace ksv
