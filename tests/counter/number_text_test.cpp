#include "counter/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "counter/elapsed_text.h"

namespace ksv {
namespace {

struct IntegerCase {
    const char* text;
    const char* separator;
    std::optional<std::int64_t> value;  // nothing: fails with `failure`
    CountFailure failure = CountFailure::TypeMismatch;
};

TEST(TextToInteger, ReadsRoundsAndFails) {
    constexpr auto kMismatch = CountFailure::TypeMismatch;
    constexpr auto kOverflow = CountFailure::Overflow;
    const IntegerCase cases[] = {
        {"0", ".", 0},
        {"1441", ".", 1441},
        {" 42 ", ".", 42},
        {"\t42\t", ".", 42},
        {"+7", ".", 7},
        {"-65", ".", -65},
        {"007", ".", 7},
        {"2.5", ".", 2},
        {"3.5", ".", 4},
        {"-2.5", ".", -2},
        {"-3.5", ".", -4},
        {"2.5000000000000000000001", ".", 3},
        {"0.5", ".", 0},
        {"0.51", ".", 1},
        {"0.05", ".", 0},
        {"5.", ".", 5},
        {".5", ".", 0},
        {"3,5", ",", 4},
        {"3.5", ",", std::nullopt, kMismatch},  // not this user's separator
        {"1E+15", ".", 1'000'000'000'000'000},
        {"1.23456789012346E+15", ".", 1'234'567'890'123'460},
        {"2.5e0", ".", 2},
        {"25e-1", ".", 2},
        {"1e-999999999999", ".", 0},
        // Long digit strings stay exact: a double would give ...992.
        {"9007199254740993", ".", 9'007'199'254'740'993},
        {"2147483648", ".", 2'147'483'648},
        {"9223372036854775807", ".", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", ".", std::numeric_limits<std::int64_t>::min()},
        {"9223372036854775806.5", ".", 9'223'372'036'854'775'806},
        {"9223372036854775807.5", ".", std::nullopt, kOverflow},
        {"9223372036854775808", ".", std::nullopt, kOverflow},
        {"-9223372036854775809", ".", std::nullopt, kOverflow},
        {"18446744073709551616", ".", std::nullopt, kOverflow},
        {"1E+20", ".", std::nullopt, kOverflow},
        {"1e999999999999", ".", std::nullopt, kOverflow},
        {"", ".", std::nullopt, kMismatch},
        {"   ", ".", std::nullopt, kMismatch},
        {"abc", ".", std::nullopt, kMismatch},
        {"12abc", ".", std::nullopt, kMismatch},
        {"1 2", ".", std::nullopt, kMismatch},
        {"- 5", ".", std::nullopt, kMismatch},
        {"--5", ".", std::nullopt, kMismatch},
        {".", ".", std::nullopt, kMismatch},
        {"1e", ".", std::nullopt, kMismatch},
        {"e5", ".", std::nullopt, kMismatch},
        {"1,000", ".", std::nullopt, kMismatch},
        {"0x10", ".", std::nullopt, kMismatch},
        {"inf", ".", std::nullopt, kMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" with '" + c.separator + "'");
        if (c.value) {
            EXPECT_EQ(TextToInteger(c.text, c.separator), *c.value);
        } else {
            try {
                TextToInteger(c.text, c.separator);
                ADD_FAILURE() << "no error";
            } catch (const CountError& e) {
                EXPECT_EQ(e.failure(), c.failure);
                EXPECT_EQ(e.text(), c.text);
            }
        }
    }
}

TEST(TextToDouble, ReadsTheSameFormsAndFails) {
    EXPECT_EQ(TextToDouble(" 3.5 ", "."), 3.5);
    EXPECT_EQ(TextToDouble("3,5", ","), 3.5);
    EXPECT_EQ(TextToDouble("-1441", "."), -1441.0);
    EXPECT_EQ(TextToDouble("1.23456789012346E+15", "."), 1.23456789012346e15);
    EXPECT_EQ(TextToDouble("0.1", "."), 0.1);  // correctly rounded
    EXPECT_EQ(TextToDouble("1e-400", "."), 0.0);
    EXPECT_EQ(TextToDouble("1.7976931348623157E+308", "."), std::numeric_limits<double>::max());
    for (const char* overflow : {"1e309", "2E+308", "1e99999999999"}) {
        try {
            TextToDouble(overflow, ".");
            ADD_FAILURE() << overflow;
        } catch (const CountError& e) {
            EXPECT_EQ(e.failure(), CountFailure::Overflow) << overflow;
        }
    }
    for (const char* junk : {"", "abc", "nan", "1..2", "3.5", "1e+"}) {
        try {
            TextToDouble(junk, ",");
            ADD_FAILURE() << junk;
        } catch (const CountError& e) {
            EXPECT_EQ(e.failure(), CountFailure::TypeMismatch) << junk;
        }
    }
}

TEST(NumberToText, WritesPlainDigitsBelowTenToTheFifteen) {
    const struct {
        double value;
        const char* separator;
        const char* text;
    } cases[] = {
        {0.0, ".", "0"},
        {-0.0, ".", "0"},
        {1.0, ".", "1"},
        {1441.0, ".", "1441"},
        {-600.0, ".", "-600"},
        {3.5, ".", "3.5"},
        {3.5, ",", "3,5"},
        {0.1, ".", "0.1"},
        {0.00001, ".", "1E-05"},
        {999'999'999'999'999.0, ".", "999999999999999"},
        {1e15, ".", "1E+15"},
        {1'234'567'890'123'456.0, ".", "1.23456789012346E+15"},
        {-1.5e300, ".", "-1.5E+300"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberToText(c.value, c.separator), c.text) << c.value;
    }
}

// The count is written by NumberToText and read back at the next tick and at
// every start, so both readers must accept everything it writes.
TEST(NumberToText, WhatItWritesIsReadBack) {
    const double values[] = {1.0,      59.0,   3.5,  0.25,  -7.5,    1e15,
                             1e15 + 2, 4.5e17, 9e18, -9e18, 1.5e300, 123456.789};
    for (const char* separator : {".", ",", "\xd9\xab"}) {
        for (const double v : values) {
            const std::string text = NumberToText(v, separator);
            SCOPED_TRACE(text);
            EXPECT_EQ(NumberToText(TextToDouble(text, separator), separator), text);
            if (std::fabs(v) < 9.2e18) {
                EXPECT_NO_THROW(TextToInteger(text, separator));
            }
        }
    }
}

TEST(ElapsedText, ShowsHoursAndTwoDigitMinutes) {
    const struct {
        const char* count;
        const char* shown;
    } cases[] = {
        {"0", "0:00"},
        {"7", "0:07"},
        {"59", "0:59"},
        {"60", "1:00"},
        {"125", "2:05"},
        {"1439", "23:59"},
        {"1440", "24:00"},
        {"6000", "100:00"},
        {"2.5", "0:02"},
        {"3.5", "0:04"},
        {" 42 ", "0:42"},
        {"-5", "-0:05"},
        {"-10", "-0:10"},
        {"-65", "-1:05"},
        {"-600", "-10:00"},
        {"2147483647", "35791394:07"},
        {"2147483648", "35791394:08"},
        {"1E+15", "16666666666666:40"},
        {"9223372036854775807", "153722867280912930:07"},
        {"-9223372036854775808", "-153722867280912930:08"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ElapsedText(c.count, "."), c.shown) << c.count;
    }
}

TEST(ElapsedText, PassesConversionFailuresOn) {
    EXPECT_THROW(ElapsedText("", "."), CountError);
    EXPECT_THROW(ElapsedText("abc", "."), CountError);
    try {
        ElapsedText("9.3E+18", ".");
        ADD_FAILURE();
    } catch (const CountError& e) {
        EXPECT_EQ(e.failure(), CountFailure::Overflow);
    }
}

}  // namespace
}  // namespace ksv
