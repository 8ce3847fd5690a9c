#include "counter/number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/blanks.h"

namespace ksv {

namespace {

// A parsed decimal number: sign × digits × 10^exponent, digits without
// leading zeros (empty for zero).
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exponent = 0;

    // How many digits stand before the decimal point.
    long long IntegerLength() const { return static_cast<long long>(digits.size()) + exponent; }
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Exponents beyond this only say "far too large" or "far too small".
constexpr long long kExponentLimit = 1'000'000'000;

Decimal Parse(std::string_view text, std::string_view separator) {
    const auto mismatch = [&] { return CountError(CountFailure::TypeMismatch, std::string(text)); };

    const std::string_view number = platform::Trim(text);
    std::size_t i = static_cast<std::size_t>(number.data() - text.data());
    const std::size_t end = i + number.size();

    Decimal d;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        d.negative = text[i] == '-';
        ++i;
    }

    bool sawDigit = false;
    long long fractionDigits = 0;
    const auto takeDigits = [&](bool fraction) {
        for (; i < end && IsDigit(text[i]); ++i) {
            sawDigit = true;
            if (fraction)
                ++fractionDigits;
            if (d.digits.empty() && text[i] == '0')
                continue;
            d.digits.push_back(text[i]);
        }
    };
    takeDigits(false);
    if (!separator.empty() && text.substr(i, end - i).starts_with(separator)) {
        i += separator.size();
        takeDigits(true);
    }
    if (!sawDigit)
        throw mismatch();
    // Every fraction digit, dropped leading zero or not, moves the point.

    long long exponent = 0;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i == end || !IsDigit(text[i]))
            throw mismatch();
        for (; i < end && IsDigit(text[i]); ++i) {
            if (exponent < kExponentLimit)
                exponent = exponent * 10 + (text[i] - '0');
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != end)
        throw mismatch();

    d.exponent = exponent - fractionDigits;
    if (d.digits.empty())
        d.exponent = 0;
    return d;
}

}  // namespace

CountError::CountError(CountFailure failure, std::string text)
    : platform::Error((failure == CountFailure::Overflow ? "overflow: \"" : "type mismatch: \"") +
                      text + "\""),
      failure_(failure),
      text_(std::move(text)) {}

std::int64_t TextToInteger(std::string_view text, std::string_view decimalSeparator) {
    const Decimal d = Parse(text, decimalSeparator);
    const auto overflow = [&] { return CountError(CountFailure::Overflow, std::string(text)); };
    if (d.digits.empty())
        return 0;

    const long long integerLength = d.IntegerLength();
    if (integerLength > 20)
        throw overflow();  // 2^64 has 20 digits

    std::uint64_t magnitude = 0;
    for (long long k = 0; k < integerLength; ++k) {
        const auto index = static_cast<std::size_t>(k);
        const int digit = index < d.digits.size() ? d.digits[index] - '0' : 0;
        const auto u = static_cast<std::uint64_t>(digit);
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - u) / 10)
            throw overflow();
        magnitude = magnitude * 10 + u;
    }

    // Round half to even on the exact digits, never through a double.
    if (integerLength >= 0 && static_cast<std::size_t>(integerLength) < d.digits.size()) {
        const auto first = static_cast<std::size_t>(integerLength);
        const char roundingDigit = d.digits[first];
        const bool restNonZero = d.digits.find_first_not_of('0', first + 1) != std::string::npos;
        const bool up =
            roundingDigit > '5' || (roundingDigit == '5' && (restNonZero || magnitude % 2 == 1));
        if (up) {
            if (magnitude == std::numeric_limits<std::uint64_t>::max())
                throw overflow();
            ++magnitude;
        }
    }

    constexpr auto kMaxPositive =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (d.negative) {
        if (magnitude > kMaxPositive + 1)
            throw overflow();
        // -(2^63) does not fit the positive side; go through the one's complement.
        return magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
    }
    if (magnitude > kMaxPositive)
        throw overflow();
    return static_cast<std::int64_t>(magnitude);
}

double TextToDouble(std::string_view text, std::string_view decimalSeparator) {
    const Decimal d = Parse(text, decimalSeparator);
    const double sign = d.negative ? -1.0 : 1.0;
    if (d.digits.empty())
        return 0.0;

    // Outside these bounds the value is certainly beyond double's range or
    // certainly rounds to zero.
    const long long integerLength = d.IntegerLength();
    if (integerLength > 310)
        throw CountError(CountFailure::Overflow, std::string(text));
    if (integerLength < -400)
        return sign * 0.0;

    // Digits and an exponent only, so the C library's correctly rounded
    // reader sees no decimal point, whatever the process locale says.
    const std::string normal = d.digits + "e" + std::to_string(d.exponent);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(normal.c_str(), &end);
    if (end != normal.c_str() + normal.size()) {
        throw CountError(CountFailure::TypeMismatch, std::string(text));
    }
    // ERANGE comes with results too small as well; they stand, rounded to a
    // subnormal or to zero. Only infinity is out of range.
    if (errno == ERANGE && std::isinf(value)) {
        throw CountError(CountFailure::Overflow, std::string(text));
    }
    return sign * value;
}

std::string NumberToText(double value, std::string_view decimalSeparator) {
    if (value == 0.0)
        return "0";  // also for -0

    // The C library rounds correctly (halves of the exact binary value to
    // even). Its decimal point is the process locale's, which may be any
    // bytes: whatever is not a sign, a digit or a letter is that point.
    char buffer[64];
    const bool whole = value == std::trunc(value) && std::fabs(value) < 1e15;
    const int length = std::snprintf(buffer, sizeof buffer, whole ? "%.0f" : "%.15g", value);
    std::string out;
    bool inPoint = false;
    for (int i = 0; i < length && i < static_cast<int>(sizeof buffer) - 1; ++i) {
        const char c = buffer[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if ((c >= '0' && c <= '9') || c == '+' || c == '-' || letter) {
            out += c == 'e' ? 'E' : c;
            inPoint = false;
        } else if (!inPoint) {
            out += decimalSeparator;
            inPoint = true;
        }
    }
    return out;
}

}  // namespace ksv
