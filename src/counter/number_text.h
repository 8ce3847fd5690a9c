#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace ksv {

// The count of minutes travels as text; these turn it into numbers and back,
// with the user's decimal separator. Both readers read what NumberToText writes.

enum class CountFailure {
    TypeMismatch,  // not a number
    Overflow,      // a number outside the range of the result
};

class CountError : public platform::Error {
  public:
    CountError(CountFailure failure, std::string text);

    CountFailure failure() const { return failure_; }
    // The text that could not be converted.
    const std::string& text() const { return text_; }

  private:
    CountFailure failure_;
    std::string text_;
};

// A decimal number with optional blanks around it, an optional sign, an
// optional fraction and an optional exponent ("1.5E+15"), rounded to the
// nearest integer, halves to even; exact for any number of digits.
std::int64_t TextToInteger(std::string_view text, std::string_view decimalSeparator);

// The same forms as TextToInteger, correctly rounded to a double.
double TextToDouble(std::string_view text, std::string_view decimalSeparator);

// A whole number below 10^15 in magnitude as plain digits ("1441"); anything
// else with at most 15 significant digits ("3.5", "1E+15").
std::string NumberToText(double value, std::string_view decimalSeparator);

}  // namespace ksv
