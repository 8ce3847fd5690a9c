#include "counter/elapsed_text.h"

#include "counter/number_text.h"

namespace ksv {

std::string ElapsedText(std::string_view count, std::string_view decimalSeparator) {
    const std::int64_t minutes = TextToInteger(count, decimalSeparator);
    // Both quotients stay within range even for the most negative count.
    const std::int64_t hours = minutes / 60;
    const std::int64_t rest = minutes % 60;
    std::string text = minutes < 0 ? "-" : "";
    text += std::to_string(hours < 0 ? -hours : hours);
    text += rest > -10 && rest < 10 ? ":0" : ":";
    text += std::to_string(rest < 0 ? -rest : rest);
    return text;
}

}  // namespace ksv
