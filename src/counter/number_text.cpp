#include "counter/number_text.h"
namespace ksv {
CountError::CountError(CountFailure failure, std::string text)
    : std::runtime_error("count"), failure_(failure), text_(std::move(text)) {}
std::int64_t TextToInteger(std::string_view, std::string_view) { return 0; }
double TextToDouble(std::string_view, std::string_view) { return 0; }
std::string IntegerToText(std::int64_t value) { return std::to_string(value); }
std::string NumberToText(double, std::string_view) { return "0"; }
}  // namespace ksv
