// Turns arbitrary text and numbers into counts and back: nothing may crash
// or misbehave, what NumberToText writes must read back to itself, and the
// display must take any count it writes within the 64-bit range.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "counter/elapsed_text.h"
#include "counter/number_text.h"

namespace {

// The separators of real locales: one byte, and several.
constexpr std::string_view kSeparators[] = {".", ",", "\xD9\xAB" /* U+066B */, "\xC2\xB7"};

void Check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

template <typename Function>
auto Try(Function function) -> std::optional<decltype(function())> {
    try {
        return function();
    } catch (const ksv::CountError&) {
        return std::nullopt;  // the one failure a conversion may report
    }
}

// Counts the display can hold: rounded, they fit a signed 64-bit integer.
bool Showable(double value) {
    return std::isfinite(value) && std::fabs(value) <= 9.0e18;
}

// Fifteen digits of the largest doubles round to a number past the largest
// one, which no reader can take; this is the largest that reads back.
constexpr double kLargestReadable = 1.79769313486231e308;

void CheckWritten(double value, std::string_view separator) {
    const std::string text = ksv::NumberToText(value, separator);
    const auto again = Try([&] { return ksv::TextToDouble(text, separator); });
    if (!(std::fabs(value) <= kLargestReadable)) {
        return;
    }
    Check(again.has_value());
    Check(ksv::NumberToText(*again, separator) == text);
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        Check(*again == value);  // whole counts are exact
    }
    if (Showable(value)) {
        Check(Try([&] { return ksv::ElapsedText(text, separator); }).has_value());
        Check(Try([&] { return ksv::TextToInteger(text, separator); }).has_value());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const auto choice = data.ConsumeIntegral<std::uint8_t>();
    const std::string_view separator = kSeparators[choice % std::size(kSeparators)];
    if ((choice & 0x80u) != 0) {
        CheckWritten(data.ConsumeFloatingPoint<double>(), separator);
        return 0;
    }
    const std::string text = data.ConsumeRemainingBytesAsString();
    const auto integer = Try([&] { return ksv::TextToInteger(text, separator); });
    const auto number = Try([&] { return ksv::TextToDouble(text, separator); });
    const auto shown = Try([&] { return ksv::ElapsedText(text, separator); });
    Check(shown.has_value() == integer.has_value());
    // Whatever reads as an integer reads as a number too, and the minute
    // tick writes that number back in a form everything reads.
    if (integer) {
        Check(number.has_value());
    }
    if (number) {
        CheckWritten(*number + 1.0, separator);
    }
    return 0;
}
