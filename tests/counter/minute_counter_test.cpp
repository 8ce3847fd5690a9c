#include "counter/minute_counter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counter/number_text.h"
#include "platform/code_page.h"
#include "support/test_files.h"

namespace ksv {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

#ifdef _WIN32
constexpr char kNewline[] = "\r\n";
#else
constexpr char kNewline[] = "\n";
#endif

// The window as the counter sees it, with a log of what was done to it.
class FakeView : public CounterView {
  public:
    std::string title = "kesvo";
    std::string count = "Label2";
    std::string shown = "0:00";
    bool timerEnabled = true;
    std::vector<platform::FileResult> saveResults;

    void SetTitle(const std::string& t) override { title = t; }
    std::string CountText() const override { return count; }
    void SetCountText(const std::string& c) override { count = c; }
    void SetShownText(const std::string& s) override { shown = s; }
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void ShowSaveResult(const platform::FileResult& r) override { saveResults.push_back(r); }
};

class MinuteCounterTest : public ::testing::Test {
  protected:
    TempDir dir;
    SettingsFile settings{dir / "ksv.ini"};
    FakeView view;
    MinuteCounter counter{view, settings, "."};

    std::string Ini() const { return ReadBytes(settings.Path()); }
    void Store(const std::string& lines) { WriteBytes(settings.Path(), lines); }
};

TEST_F(MinuteCounterTest, FirstRunStartsAtZeroAndCreatesTheFileAtTheFirstMinute) {
    counter.StartUp();
    EXPECT_EQ(view.title, "kesvo");
    EXPECT_EQ(view.count, "0");
    EXPECT_EQ(view.shown, "0:00");
    EXPECT_FALSE(std::filesystem::exists(settings.Path()));  // start-up writes nothing

    counter.MinuteTick();
    EXPECT_EQ(view.count, "1");
    EXPECT_EQ(view.shown, "0:01");
    EXPECT_EQ(Ini(), std::string("[ksv]") + kNewline + "minutes=1" + kNewline);
    EXPECT_TRUE(view.saveResults.empty());  // nothing to report while saving works
}

TEST_F(MinuteCounterTest, GoesOnFromTheStoredCountAndKeepsTheRestOfTheFile) {
    // The file is in the system's code page, which must be able to hold the title.
    const std::string title = platform::Utf8ToAnsi("计时器");
    if (platform::AnsiToUtf8(title) != "计时器") {
        GTEST_SKIP() << "the system's code page has no Chinese characters";
    }
    Store("[other]\nminutes=5\n[ksv]\ntitle=" + title + "\nminutes=59\n");
    counter.StartUp();
    EXPECT_EQ(view.title, "计时器");
    EXPECT_EQ(view.shown, "0:59");

    counter.MinuteTick();
    EXPECT_EQ(view.count, "60");
    EXPECT_EQ(view.shown, "1:00");
    EXPECT_EQ(Ini(), "[other]\nminutes=5\n[ksv]\ntitle=" + title + "\nminutes=60\n");
}

TEST_F(MinuteCounterTest, AFractionalCountKeepsItsFraction) {
    Store("[ksv]\nminutes=2.5\n");
    counter.StartUp();
    EXPECT_EQ(view.shown, "0:02");
    counter.MinuteTick();
    EXPECT_EQ(view.count, "3.5");
    EXPECT_EQ(view.shown, "0:04");
    EXPECT_EQ(Ini(), "[ksv]\nminutes=3.5\n");
}

TEST_F(MinuteCounterTest, AnUnreadableCountStopsStartUpAndLeavesTheFileAlone) {
    const struct {
        const char* file;
        CountFailure failure;
    } cases[] = {
        {"[ksv]\nminutes=\n", CountFailure::TypeMismatch},
        {"[ksv]\nminutes=abc\n", CountFailure::TypeMismatch},
        {"[ksv]\r\nminutes=1e19\r\n", CountFailure::Overflow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Store(c.file);
        try {
            counter.StartUp();
            ADD_FAILURE() << "StartUp went on";
        } catch (const CountError& e) {
            EXPECT_EQ(e.failure(), c.failure);
        }
        EXPECT_EQ(Ini(), c.file);
    }
}

TEST_F(MinuteCounterTest, ATickThatCannotBeShownIsNotSaved) {
    const std::string before = "[ksv]\nminutes=9223372036854775807\n";
    Store(before);
    counter.StartUp();
    EXPECT_THROW(counter.MinuteTick(), CountError);
    EXPECT_EQ(Ini(), before);
}

TEST_F(MinuteCounterTest, PauseAndResumeOnlySwitchTheTimer) {
    Store("[ksv]\nminutes=7\n");
    counter.StartUp();
    for (const bool counting : {false, false, true, true, false}) {
        counting ? counter.StartCounting() : counter.StopCounting();
        EXPECT_EQ(view.timerEnabled, counting);
        EXPECT_EQ(view.count, "7");
        EXPECT_EQ(view.shown, "0:07");
        EXPECT_EQ(Ini(), "[ksv]\nminutes=7\n");
    }
}

TEST_F(MinuteCounterTest, AFailedSaveIsReportedOnceAndItsEndToo) {
    namespace fs = std::filesystem;
    Store("[ksv]\nminutes=10\n");
    counter.StartUp();
    fs::permissions(settings.Path(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    counter.MinuteTick();
    counter.MinuteTick();
    EXPECT_EQ(view.shown, "0:12");  // counting goes on
    ASSERT_EQ(view.saveResults.size(), 1u);
    EXPECT_EQ(view.saveResults[0].failure, platform::FileFailure::ReadOnly);
    EXPECT_EQ(Ini(), "[ksv]\nminutes=10\n");

    fs::permissions(settings.Path(), fs::perms::owner_write, fs::perm_options::add);
    counter.MinuteTick();
    ASSERT_EQ(view.saveResults.size(), 2u);
    EXPECT_TRUE(view.saveResults[1].ok());
    EXPECT_EQ(Ini(), "[ksv]\nminutes=13\n");
}

}  // namespace
}  // namespace ksv
