#include "window/messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace ksv::messages {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(MessagesTest, UnreadableCountNamesFileKeyValueAndProblem) {
    struct Case {
        CountFailure failure;
        std::string value;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {CountFailure::TypeMismatch, "abc", "不是一个数字"},
        {CountFailure::TypeMismatch, "", "是空的"},
        {CountFailure::Overflow, "1E+300", "太大"},
    };
    // Paths from UTF-8, which a narrow string is not on Windows.
    const std::filesystem::path file = std::filesystem::path(u8"目录") / u8"ksv.ini";
    for (const Case& c : cases) {
        const std::string text = UnreadableCount(file, CountError(c.failure, c.value));
        SCOPED_TRACE(text);
        EXPECT_TRUE(Contains(text, "目录"));
        EXPECT_TRUE(Contains(text, "ksv.ini"));
        EXPECT_TRUE(Contains(text, "minutes"));
        EXPECT_TRUE(Contains(text, "“" + c.value + "”"));
        EXPECT_TRUE(Contains(text, c.problem));
        EXPECT_TRUE(Contains(text, "minutes=0"));  // how to put it right
        EXPECT_TRUE(Contains(text, "没有启动"));
    }
    // Met while counting, the program did start: it ends, the file keeping
    // the last count saved.
    const std::string later = UnreadableCount(file, CountError(CountFailure::Overflow, "9.3E+18"),
                                              CountMoment::WhileCounting);
    EXPECT_FALSE(Contains(later, "没有启动")) << later;
    EXPECT_TRUE(Contains(later, "上一分钟")) << later;
    EXPECT_TRUE(Contains(later, "“9.3E+18”")) << later;
}

TEST(MessagesTest, SaveFailedNamesFileReasonAndDetail) {
    struct Case {
        platform::FileFailure failure;
        std::string detail;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {platform::FileFailure::ReadOnly, "", "只读"},
        {platform::FileFailure::AccessDenied, "Permission denied", "权限"},
        {platform::FileFailure::NotFound, "", "文件夹不存在"},
        {platform::FileFailure::IsDirectory, "", "是一个文件夹"},
        {platform::FileFailure::DiskFull, "No space left on device", "磁盘已满"},
        {platform::FileFailure::InUse, "", "占用"},
        {platform::FileFailure::UnknownEncoding, "", "编码"},
        {platform::FileFailure::Other, "Input/output error", "写入失败"},
    };
    std::vector<std::string> seen;
    for (const Case& c : cases) {
        const std::string text =
            SaveFailed(std::filesystem::path(u8"张三") / u8"ksv.ini", {c.failure, c.detail});
        SCOPED_TRACE(text);
        EXPECT_TRUE(Contains(text, "张三"));
        EXPECT_TRUE(Contains(text, c.reason));
        EXPECT_EQ(Contains(text, "（"), !c.detail.empty());
        if (!c.detail.empty()) {
            EXPECT_TRUE(Contains(text, c.detail));
        }
        for (const std::string& other : seen) {
            EXPECT_NE(text, other);
        }
        seen.push_back(text);
    }
}

// Why the program did not start, and what ended it: in words, naming the
// file and what to do, with the system's own words after ours.
TEST(MessagesTest, StartAndUnexpectedFailuresSayWhatAndWhatToDo) {
    const std::filesystem::path file = std::filesystem::path(u8"李四") / u8"ksv.ini";
    const std::filesystem::path beside = std::filesystem::path(u8"张三") / u8"ksv.ini";
    const SettingsPlace carried{file, true, beside, SetAside::SharedFolder, true, true};
    const SettingsPlace named{file, true, beside, SetAside::OtherUsersFile, false, true};
    const struct {
        std::string text;
        std::vector<std::string> parts;
    } cases[] = {
        {UnreadableSettings(file, {platform::FileFailure::AccessDenied, "Permission denied"}),
         {"李四", "没有读取这个文件的权限", "Permission denied", "权限", "没有被改动"}},
        {UnreadableSettings(file, {platform::FileFailure::InUse, ""}),
         {"李四", "占用", "重新启动"}},
        {UnreadableSettings(file, {platform::FileFailure::UnknownEncoding, ""}),
         {"李四", "编码", "另存为"}},
        {UnexpectedError("std::bad_alloc"), {"意外", "std::bad_alloc", "重新启动"}},
        // Where ksv counts and what it set aside, said at start.
        {SetAsideNotice(carried, {}), {"李四", "张三", "别的用户也能修改", "转到", "没有改动"}},
        {SetAsideNotice(carried, {platform::FileFailure::DiskFull, ""}),
         {"李四", "张三", "磁盘已满", "没有启动"}},
        {SetAsideNotice(named, {}), {"张三", "另一个用户", "李四"}},
        {NoPlace(SettingsPlaceError({})), {"找不到自己所在的文件夹", "没有启动"}},
        {NoPlace(SettingsPlaceError(std::filesystem::path(u8"张三"))),
         {"张三", "别的用户也能修改", "没有启动"}},
        {NoGuard(file), {"李四", "锁", "没有启动"}},
        {UsualToolTip(named), {"系统管理员", "李四", "张三", "另一个用户"}},
        {UnexpectedError(""), {"意外", "重新启动"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        for (const std::string& part : c.parts) {
            EXPECT_TRUE(Contains(c.text, part)) << part;
        }
    }
}

TEST(MessagesTest, SpokenElapsed) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0:00", "已计时 0 小时 0 分钟"},
        {"1:05", "已计时 1 小时 5 分钟"},
        {"100:10", "已计时 100 小时 10 分钟"},
        {"35791394:08", "已计时 35791394 小时 8 分钟"},
        {"-1:05", "已计时 负 1 小时 5 分钟"},
        {"-0:05", "已计时 负 0 小时 5 分钟"},
        // Anything else is read out as it stands rather than misread.
        {"abc", "已计时 abc"},
        {"1:x5", "已计时 1:x5"},
        {":05", "已计时 :05"},
        {"", "已计时 "},
    };
    for (const auto& [shown, spoken] : cases) {
        EXPECT_EQ(SpokenElapsed(shown), spoken) << shown;
    }
}

TEST(MessagesTest, OneLineHelpAndAlreadyRunningNamesTheFile) {
    EXPECT_FALSE(Contains(HelpToolTip(), "\n"));
    EXPECT_TRUE(Contains(HelpToolTip(), "系统管理员"));
    EXPECT_TRUE(Contains(AlreadyRunning(std::filesystem::path(u8"计时") / u8"ksv.ini"), "计时"));
}

}  // namespace
}  // namespace ksv::messages
