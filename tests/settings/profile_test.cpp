#include "settings/profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_view_literals;
using ksv::profile::GetValue;
using ksv::profile::SetValue;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string WithBom(std::string_view rest) {
    return std::string(kBom) + std::string(rest);
}

struct ReadCase {
    const char* what;
    std::string content;
    std::string_view section;
    std::string_view key;
    std::optional<std::string> expected;
};

TEST(ProfileGetValue, FollowsTheProfileRules) {
    const std::vector<ReadCase> cases = {
        {"missing section", "[other]\nminutes=5\n", "ksv", "minutes", std::nullopt},
        {"missing key", "[ksv]\ntitle=t\n", "ksv", "minutes", std::nullopt},
        {"key before any section", "minutes=5\n[ksv]\n", "ksv", "minutes", std::nullopt},
        {"empty value", "[ksv]\ntitle=\n", "ksv", "title", ""},
        {"blank value", "[ksv]\ntitle= \t \n", "ksv", "title", ""},
        {"line without equals", "[ksv]\nminutes\n", "ksv", "minutes", std::nullopt},
        {"blanks dropped", "[ksv]\n \t minutes \t= \t5 x\t \n", "ksv", "minutes", "5 x"},
        {"equals in value", "[ksv]\nminutes=a=b\n", "ksv", "minutes", "a=b"},
        {"double quotes", "[ksv]\ntitle= \" a \" \n", "ksv", "title", " a "},
        {"single quotes", "[ksv]\ntitle='a'\n", "ksv", "title", "a"},
        {"one pair only", "[ksv]\ntitle=\"\"a\"\"\n", "ksv", "title", "\"a\""},
        {"mismatched quotes", "[ksv]\ntitle=\"a'\n", "ksv", "title", "\"a'"},
        {"one-sided quote", "[ksv]\ntitle=\"a\n", "ksv", "title", "\"a"},
        {"no inline comment", "[ksv]\nminutes=5 ; five\n", "ksv", "minutes", "5 ; five"},
        {"comment semicolon", "[ksv]\n;minutes=5\n", "ksv", "minutes", std::nullopt},
        {"comment hash", "[ksv]\n  # minutes=5\n", "ksv", "minutes", std::nullopt},
        {"blanks in header", "[ \tksv ]\nminutes=2\n", "ksv", "minutes", "2"},
        {"text after header", "  [ksv] ; note\nminutes=2\n", "ksv", "minutes", "2"},
        {"header to last bracket", "[a]b]\nk=1\n", "a]b", "k", "1"},
        {"broken header is no section", "[ksv\nminutes=1\n", "ksv", "minutes", std::nullopt},
        {"broken header ends nothing", "[ksv]\n[x=1\nminutes=1\n", "ksv", "minutes", "1"},
        {"names ignore case", "[KsV]\nMINUTES=3\n", "ksv", "minutes", "3"},
        {"other section's key", "[a]\nminutes=1\n[ksv]\ntitle=t\n", "ksv", "minutes", std::nullopt},
        {"first key wins", "[ksv]\nminutes=1\nMinutes=2\n", "ksv", "minutes", "1"},
        {"first section wins", "[ksv]\nminutes=1\n[ksv]\nminutes=2\n", "ksv", "minutes", "1"},
        {"later section not searched", "[ksv]\ntitle=t\n[KSV]\nminutes=2\n", "ksv", "minutes",
         std::nullopt},
        {"crlf", "[ksv]\r\nminutes=7\r\ntitle=t\r\n", "ksv", "minutes", "7"},
        {"lone cr", "[ksv]\rminutes=7\rtitle=t\r", "ksv", "minutes", "7"},
        {"no final line end", "[ksv]\nminutes=7", "ksv", "minutes", "7"},
        {"byte-order mark", WithBom("[ksv]\nminutes=4\n"), "ksv", "minutes", "4"},
        {"nul inside value", std::string("[ksv]\nminutes=1\0002\n"sv), "ksv", "minutes",
         std::string("1\0002"sv)},
        {"bytes above ascii", "[ksv]\ntitle=\xBC\xC6\xCA\xB1\n", "ksv", "title",
         "\xBC\xC6\xCA\xB1"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GetValue(c.content, c.section, c.key), c.expected);
    }
}

struct WriteCase {
    const char* what;
    std::string content;
    std::string_view value;
    std::string_view newline;
    std::optional<std::string> expected;
};

// All cases write key "minutes" in section "ksv".
TEST(ProfileSetValue, ChangesOnlyWhatItMust) {
    const std::vector<WriteCase> cases = {
        {"missing file", "", "1", "\r\n", "[ksv]\r\nminutes=1\r\n"},
        {"only a byte-order mark", WithBom(""), "1", "\n", WithBom("[ksv]\nminutes=1\n")},
        {"section appended", "[a]\nx=1\n\n", "1", "\r\n", "[a]\nx=1\n\n[ksv]\nminutes=1\n"},
        {"last line closed first", "[a]\r\nx=1", "1", "\n", "[a]\r\nx=1\r\n[ksv]\r\nminutes=1\r\n"},
        {"file without line ends", "; note", "1", "\r\n", "; note\r\n[ksv]\r\nminutes=1\r\n"},
        {"key in another section only", "[a]\nminutes=5\n", "6", "\r\n",
         "[a]\nminutes=5\n[ksv]\nminutes=6\n"},
        {"after last entry, before blanks", "[ksv]\ntitle=t\n\n\n[a]\n", "1", "\n",
         "[ksv]\ntitle=t\nminutes=1\n\n\n[a]\n"},
        {"before trailing comment", "[ksv]\ntitle=t\n; about a\n[a]\n", "1", "\n",
         "[ksv]\ntitle=t\nminutes=1\n; about a\n[a]\n"},
        {"past inner comments", "[ksv]\na=1\n;c\nb=2\n\n", "1", "\n",
         "[ksv]\na=1\n;c\nb=2\nminutes=1\n\n"},
        {"section without entries", "[ksv]\n;minutes=5\n\n", "6", "\n",
         "[ksv]\nminutes=6\n;minutes=5\n\n"},
        {"header is the open last line", "[ksv]", "1", "\r\n", "[ksv]\r\nminutes=1\r\n"},
        {"entry is the open last line", "[ksv]\ntitle=t", "1", "\r\n",
         "[ksv]\ntitle=t\nminutes=1\n"},
        {"lone cr file", "[ksv]\rtitle=t\r", "1", "\r\n", "[ksv]\rtitle=t\rminutes=1\r"},
        {"cr never joins a following lf", "[ksv]\rtitle=t\n\n", "1", "\n",
         "[ksv]\rtitle=t\nminutes=1\r\n\n"},
        {"first of two sections", "[ksv]\ntitle=t\n[KSV]\nminutes=5\n", "6", "\n",
         "[ksv]\ntitle=t\nminutes=6\n[KSV]\nminutes=5\n"},
        {"value replaced in place", "[ksv]\r\n  Minutes \t= 5 \r\ntitle=t\r\n", "6", "\n",
         "[ksv]\r\n  Minutes \t= 6\r\ntitle=t\r\n"},
        {"quotes replaced", "[ksv]\nminutes=\"5\"\n", "6", "\n", "[ksv]\nminutes=6\n"},
        {"each line keeps its line end", "[ksv]\nminutes=5\r\n[a]\r", "6", "\n",
         "[ksv]\nminutes=6\r\n[a]\r"},
        {"open last line stays open", "[ksv]\nminutes=5", "6", "\n", "[ksv]\nminutes=6"},
        {"byte-order mark kept", WithBom("[ksv]\nminutes=5\n"), "6", "\n",
         WithBom("[ksv]\nminutes=6\n")},
        {"only the first key", "[ksv]\nminutes=5\nminutes=5\n", "6", "\n",
         "[ksv]\nminutes=6\nminutes=5\n"},
        {"empty value added", "[ksv]\n", "", "\n", "[ksv]\nminutes=\n"},
        {"line break cut", "", "7\r\n[evil]\nx=1", "\n", "[ksv]\nminutes=7\n"},
        {"same value", "[ksv]\nminutes= '6' \n", "6", "\n", std::nullopt},
        {"same empty value", "[ksv]\nminutes=\n", "", "\n", std::nullopt},
        {"same value after cut", "[ksv]\nminutes=6\n", "6\nx", "\n", std::nullopt},
        {"value that reads as stored", "[ksv]\nminutes=\"6\"\n", "\"6\"", "\n", std::nullopt},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SetValue(c.content, "ksv", "minutes", c.value, c.newline), c.expected);
    }
}

TEST(ProfileSetValue, ReadsBackAndLeavesOtherKeysAlone) {
    const std::vector<std::string> contents = {
        "",
        "[ksv]\r\ntitle= Ti \r\n\r\n[other]\r\nminutes=9\r\n",
        "[other]\nminutes=9\n[KSV]\ntitle=Ti\n; c\nMINUTES = 0\n",
        WithBom("[other]\rminutes=9\r[ ksv ]\rtitle='Ti'"),
        "title=outside\n[ksv\n[ksv]\ntitle=Ti\n[ksv]\nminutes=3\n[other]\nminutes=9",
    };
    const std::vector<std::string_view> values = {"0", "1", "1440", "", "2147483648"};
    for (const std::string& content : contents) {
        for (std::string_view value : values) {
            SCOPED_TRACE(content + " <- " + std::string(value));
            std::string written = content;
            if (const auto out = SetValue(content, "ksv", "minutes", value, "\n")) {
                written = *out;
            }
            EXPECT_EQ(GetValue(written, "ksv", "minutes"), value);
            EXPECT_EQ(SetValue(written, "ksv", "minutes", value, "\n"), std::nullopt);
            EXPECT_EQ(GetValue(written, "ksv", "title"), GetValue(content, "ksv", "title"));
            EXPECT_EQ(GetValue(written, "other", "minutes"), GetValue(content, "other", "minutes"));
        }
    }
}

TEST(ProfileSetValue, RefusesNamesThatWouldNotReadBack) {
    struct Case {
        std::string_view section;
        std::string_view key;
        std::string_view newline;
    };
    const std::vector<Case> cases = {
        {"ks\nv", "minutes", "\n"}, {" ksv", "minutes", "\n"},  {"ksv\t", "minutes", "\n"},
        {"ksv", "min\rutes", "\n"}, {"ksv", "a=b", "\n"},       {"ksv", " minutes", "\n"},
        {"ksv", ";minutes", "\n"},  {"ksv", "#minutes", "\n"},  {"ksv", "[minutes]", "\n"},
        {"ksv", "minutes", ""},     {"ksv", "minutes", "\n\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + std::string(c.key));
        EXPECT_THROW(SetValue("[ksv]\nminutes=1\n", c.section, c.key, "2", c.newline),
                     ksv::platform::InvalidArgument);
    }
}

TEST(ProfileRobustness, SurvivesGarbageAndHugeLines) {
    // Arbitrary bytes, NULs and brackets: no crash, and a write always reads back.
    std::mt19937 random(20240229u);
    std::uniform_int_distribution<int> length(0, 300);
    const std::string alphabet = std::string("[]=;#\"' \t\r\nksvKSVminutes\xEF\xBB\xBF\xFF") + '\0';
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 1000; ++round) {
        std::string content;
        for (int n = length(random); n > 0; --n) {
            content += alphabet[pick(random)];
        }
        SCOPED_TRACE(round);
        (void)GetValue(content, "ksv", "minutes");
        std::string written = content;
        if (const auto out = SetValue(content, "ksv", "minutes", "42", "\r\n")) {
            written = *out;
        }
        ASSERT_EQ(GetValue(written, "ksv", "minutes"), "42");
    }

    // Ten megabytes in one line, or in very many lines: quadratic work would not finish.
    const std::size_t big = 10u << 20;
    const std::string longValue = "[ksv]\nminutes=" + std::string(big, 'x');
    EXPECT_EQ(GetValue(longValue, "ksv", "minutes")->size(), big);
    EXPECT_EQ(SetValue(longValue, "ksv", "minutes", "1", "\n"), "[ksv]\nminutes=1");
    for (const char fill : {'[', '\n'}) {
        SCOPED_TRACE(static_cast<int>(fill));
        const std::string content = "[ksv]\n" + std::string(big, fill);
        (void)GetValue(content, "ksv", "minutes");
        const auto out = SetValue(content, "ksv", "minutes", "1", "\n");
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(GetValue(*out, "ksv", "minutes"), "1");
    }
}

}  // namespace
