#include "platform/code_page.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ksv::platform {
namespace {

// On Windows the ANSI code page is the system's; the GBK cases hold where it
// is 936 (simplified Chinese). Elsewhere the file is UTF-8 or GB18030.
bool AnsiIsGbk() {
#ifdef _WIN32
    return GetACP() == 936;
#else
    return true;
#endif
}

constexpr bool kPosix =
#ifdef _WIN32
    false;
#else
    true;
#endif

#define JI "\xE8\xAE\xA1"          // 计 in UTF-8
#define SHI "\xE6\x97\xB6"         // 时 in UTF-8
#define GB_JI "\xBC\xC6"           // 计 in GBK
#define GB_SHI "\xCA\xB1"          // 时 in GBK
#define FFFD "\xEF\xBF\xBD"        // the replacement character
#define GB_U80 "\x81\x30\x81\x30"  // U+0080, a four-byte GB18030 sequence

struct DecodeCase {
    std::string_view ansi;
    std::string_view utf8;
    bool posixOnly;
};

TEST(AnsiToUtf8, DecodesTheFileText) {
    if (!AnsiIsGbk()) {
        GTEST_SKIP() << "the system's ANSI code page is not GBK";
    }
    const DecodeCase cases[] = {
        {"", "", false},
        {"minutes=1", "minutes=1", false},
        {GB_JI GB_SHI, JI SHI, false},
        {"kesvo " GB_JI "!", "kesvo " JI "!", false},
        {"\xBC\x41", "\xE7\xB3\x80", false},  // a second byte in the ASCII range
        // Valid UTF-8 is taken as it is.
        {JI SHI " kesvo", JI SHI " kesvo", true},
        {GB_U80, "\xC2\x80", true},
        {"\x90\x30\x81\x30", "\xF0\x90\x80\x80", true},  // U+10000
        // What cannot be decoded becomes U+FFFD, and the rest survives.
        {"a\x80"
         "b",
         "a" FFFD "b", true},
        {"\xFF" GB_JI, FFFD JI, true},
        {GB_JI "\xBC", JI FFFD, true},                // cut after a lead byte
        {"\xED\xA0\x80", "\xE9\xA0\x8E" FFFD, true},  // a UTF-8 surrogate is not UTF-8
    };
    for (const auto& c : cases) {
        if (c.posixOnly && !kPosix) {
            continue;
        }
        SCOPED_TRACE(::testing::PrintToString(c.ansi));
        EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
    }
}

#ifdef _WIN32
TEST(Utf8ToAnsi, EncodesForTheFile) {
    EXPECT_EQ(Utf8ToAnsi("minutes=1"), "minutes=1");
    if (AnsiIsGbk()) {
        EXPECT_EQ(Utf8ToAnsi(JI SHI "x"), GB_JI GB_SHI "x");
    }
}
#endif

TEST(AnsiPrefixLength, NeverSplitsACharacter) {
    if (!AnsiIsGbk()) {
        GTEST_SKIP() << "the system's ANSI code page is not GBK";
    }
    struct Case {
        std::string_view ansi;
        std::size_t maxBytes;
        std::size_t expected;
        bool posixOnly;
    };
    const Case cases[] = {
        {"abc", 5, 3, false},
        {"abc", 3, 3, false},
        {"abc", 2, 2, false},
        {"", 0, 0, false},
        {GB_JI GB_SHI, 4, 4, false},
        {GB_JI GB_SHI, 3, 2, false},
        {GB_JI GB_SHI, 1, 0, false},
        {"a" GB_JI, 2, 1, false},
        {GB_JI "ab", 3, 3, false},
        {"\xBC\x41"
         "a",
         1, 0, false},  // 0x41 is a second byte here, not "A"
        {"\xBC\x41"
         "a",
         2, 2, false},
        {JI SHI, 6, 6, true},
        {JI SHI, 5, 3, true},
        {JI SHI, 3, 3, true},
        {JI SHI, 2, 0, true},
        {"a" JI, 3, 1, true},
        {"\xF0\x90\x80\x80"
         "a",
         3, 0, true},
        {GB_U80 GB_JI, 3, 0, true},
        {GB_U80 GB_JI, 5, 4, true},
        {"a" GB_U80, 4, 1, true},
        {"\xBC\x20"
         "ab",
         2, 2, true},  // a lone lead byte counts by itself
        {"\xFF" GB_JI, 2, 1, true},
    };
    for (const auto& c : cases) {
        if (c.posixOnly && !kPosix) {
            continue;
        }
        SCOPED_TRACE(::testing::PrintToString(c.ansi) + " to " + std::to_string(c.maxBytes));
        EXPECT_EQ(AnsiPrefixLength(c.ansi, c.maxBytes), c.expected);
    }
}

}  // namespace
}  // namespace ksv::platform
