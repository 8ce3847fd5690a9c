#pragma once

#include <string>
#include <string_view>

#include "counter/number_text.h"
#include "platform/file_result.h"
#include "platform/native_path.h"
#include "settings/settings_file.h"

// The program's own sentences, shared by every front end. UTF-8.
namespace ksv::messages {

// The caption of the program's message boxes.
std::string BoxTitle();

// Why the count cannot be used, naming the file, the key and the value, and
// how to put it right: the stored one at start, or the next one while
// counting (the file then keeps the last one saved).
enum class CountMoment { AtStart, WhileCounting };
std::string UnreadableCount(const platform::NativePath& file, const CountError& error,
                            CountMoment moment = CountMoment::AtStart);

// Why the program did not start: the settings file exists but cannot be
// read, so counting from 0 would later overwrite the stored total.
std::string UnreadableSettings(const platform::NativePath& file,
                               const platform::FileResult& result);

// Any other failure that ends the program; `detail` is the system's own
// words, shown after ours.
std::string UnexpectedError(std::string_view detail);

// Label1's tool-tip while the latest save of the count has failed.
std::string SaveFailed(const platform::NativePath& file, const platform::FileResult& result);

// Label1's usual tool-tip: one line saying whom to ask for help.
std::string HelpToolTip();

// The shown text ("1:05") as words for a screen reader ("已计时 1 小时 5 分钟").
std::string SpokenElapsed(std::string_view shownText);

// Printed where no window can open: neither Wayland nor X11 answers.
std::string NoWindowSystem();

// Shown by a second copy that could not bring the running one to the front.
std::string AlreadyRunning(const platform::NativePath& file);

// Label1's usual tool-tip: whom to ask for help, the file ksv counts into,
// and a ksv.ini beside the program that it does not use.
std::string UsualToolTip(const SettingsPlace& place);

// Said at start of a ksv.ini beside the program that is not used: that it was
// carried over, that carrying it over failed (`carried`; the program then
// stops), or where ksv counts instead.
std::string SetAsideNotice(const SettingsPlace& place, const platform::FileResult& carried);

// Why the program did not start: no place for the settings file at all.
std::string NoPlace(const SettingsPlaceError& error);

// Why the program did not start: nothing keeps a second copy from counting
// into the same file.
std::string NoGuard(const platform::NativePath& file);

}  // namespace ksv::messages
