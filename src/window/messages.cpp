#include "window/messages.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "platform/blanks.h"
#include "platform/code_page.h"
#include "settings/settings_file.h"

namespace ksv::messages {
namespace {

static_assert(kLargestSettingsFile == 1 << 20, "the messages say 1 MiB");

std::string PathText(const platform::NativePath& path) {
    return platform::PathToUtf8(path);
}

// Why a file could not be read or written, in words a user can act on, in
// the order of FileFailure; a second text where writing differs.
constexpr std::pair<const char*, const char*> kReasons[] = {
    {"没有错误", nullptr},
    {"文件是只读的", nullptr},
    {"没有读取这个文件的权限", "没有写入这个文件或其所在文件夹的权限"},
    {"文件所在的文件夹不存在", nullptr},
    {"这个位置是一个文件夹，不是文件", nullptr},
    {"磁盘已满", nullptr},
    {"文件正被其他程序占用", nullptr},
    {"文件的编码无法识别，能用的是 ANSI、UTF-8 和 Unicode 编码", nullptr},
    {"这是另一个用户建立的符号链接，ksv 不跟随它读写", nullptr},
    {"文件超过 1 MiB，不像是 ksv 的设置文件", nullptr},
    {"保存时要用到的这个名字被一个文件夹或别的文件占着，请把它删除或改名", nullptr},
    {"读取失败", "写入失败"},
};
static_assert(std::size(kReasons) == static_cast<std::size_t>(platform::FileFailure::Other) + 1);

std::string FailureReason(platform::FileFailure failure, bool reading) {
    const auto& [read, written] = kReasons[static_cast<std::size_t>(failure)];
    return reading || written == nullptr ? read : written;
}

// `text` with each "{}" taking the next of `parts`, in order.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> parts) {
    std::string out;
    for (const std::string_view part : parts) {
        const std::size_t at = text.find("{}");
        out.append(text.substr(0, at)).append(part);
        text.remove_prefix(at + 2);
    }
    return out.append(text);
}

std::string WithDetail(std::string reason, const std::string& detail) {
    return detail.empty() ? reason : reason + "（" + detail + "）";
}

// Why a ksv.ini beside the program is not used, after a colon.
const char* SetAsideReason(SetAside why) {
    return why == SetAside::SharedFolder
               ? "：它所在的文件夹别的用户也能修改，他们可以把它换掉或指向别处。"
               : "：它属于另一个用户，或是另一个用户建立的链接。";
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string BoxTitle() {
    return "ksv";
}

std::string UnreadableCount(const platform::NativePath& file, const CountError& error,
                            CountMoment moment) {
    const char* problem = error.failure() == CountFailure::Overflow
                              ? "这个数太大，无法显示为小时和分钟。"
                          : platform::Trim(error.text()).empty() ? "这一项是空的，不是一个数字。"
                                                                 : "这不是一个数字。";
    const char* what = moment == CountMoment::AtStart
                           ? "无法读取保存的计时，程序没有启动。"
                           : "下一分钟的计时无法显示，程序将关闭；文件里保存着上一分钟的计时。";
    return Fill(
        "{}\n\n文件：{}\n位置：[ksv] 节的 minutes 项\n内容：“{}”\n问题：{}\n\n"
        "请用文本编辑器打开这个文件，把 minutes= 后面改成一个整数（例如 minutes=0），"
        "或者删掉这一行从 0 开始计时，保存后重新启动程序。文件没有被改动。",
        {what, PathText(file), error.text(), problem});
}

std::string SaveFailed(const platform::NativePath& file, const platform::FileResult& result) {
    return Fill("计时无法保存到 {}：{}。程序继续计时，每分钟会再试一次。",
                {PathText(file), WithDetail(FailureReason(result.failure, false), result.detail)});
}

std::string UnreadableSettings(const platform::NativePath& file,
                               const platform::FileResult& result) {
    const char* advice = nullptr;
    switch (result.failure) {
        case platform::FileFailure::UnknownEncoding:
            advice =
                "请用记事本打开这个文件，另存为 ANSI、UTF-8 或 Unicode 编码，然后重新启动程序。";
            break;
        case platform::FileFailure::UntrustedLink:
            advice = "请删除这个链接（需要时自己重新建立），然后重新启动程序。";
            break;
        case platform::FileFailure::TooLarge:
            advice =
                "请确认这是不是 ksv 的设置文件；如果是，删掉不需要的内容，让它小于 1 MiB，"
                "然后重新启动程序。";
            break;
        default:
            advice =
                "请检查这个文件的权限；如果杀毒或备份软件正在使用它，请等它结束。"
                "然后重新启动程序。";
            break;
    }
    return Fill("无法读取保存的计时，程序没有启动。\n\n文件：{}\n原因：{}\n\n{}{}文件没有被改动。",
                {PathText(file), WithDetail(FailureReason(result.failure, true), result.detail),
                 result.failure == platform::FileFailure::UntrustedLink
                     ? "通过它保存计时，可能改写你的其他文件，所以程序没有启动。"
                     : "如果从 0 开始计时，下次保存会覆盖原来的计时，所以程序没有启动。",
                 advice});
}

std::string UnexpectedError(std::string_view detail) {
    return Fill(
        "ksv 遇到意外的错误，必须关闭。{}{}\n\n已经保存的计时不会丢失。请重新启动 ksv；"
        "如果问题一再出现，请与系统管理员联系。",
        {detail.empty() ? "" : "\n\n错误信息：", detail});
}

std::string HelpToolTip() {
    return "如需帮助，请与系统管理员联系。";
}

std::string SpokenElapsed(std::string_view shownText) {
    std::string_view rest = shownText;
    const bool negative = rest.starts_with('-');
    if (negative) {
        rest.remove_prefix(1);
    }
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) {
        return "已计时 " + std::string(shownText);
    }
    std::string_view hours = rest.substr(0, colon);
    std::string_view minutes = rest.substr(colon + 1);
    if (!AllDigits(hours) || !AllDigits(minutes)) {
        return "已计时 " + std::string(shownText);
    }
    while (minutes.size() > 1 && minutes.front() == '0') {
        minutes.remove_prefix(1);
    }
    return Fill("已计时 {}{} 小时 {} 分钟", {negative ? "负 " : "", hours, minutes});
}

std::string NoWindowSystem() {
    return "ksv 无法打开窗口：连接不上图形界面（Wayland 或 X11）。"
           "请在桌面会话中启动 ksv；在 Wayland 下如果没有 X11，请安装 qt6-wayland 软件包。";
}

std::string AlreadyRunning(const platform::NativePath& file) {
    return Fill(
        "ksv 已经在运行，正在把计时保存到 {}。\n同一个设置文件只能有一个 ksv "
        "在计时，这一个将关闭。",
        {PathText(file)});
}

std::string UsualToolTip(const SettingsPlace& place) {
    return Fill(
        "{}\n计时保存在 {}{}{}{}",
        {HelpToolTip(), PathText(place.path), place.setAside.empty() ? "" : "\n没有使用程序旁边的 ",
         PathText(place.setAside), place.setAside.empty() ? "" : SetAsideReason(place.why)});
}

std::string SetAsideNotice(const SettingsPlace& place, const platform::FileResult& carried) {
    const std::string beside = PathText(place.setAside);
    const std::string path = PathText(place.path);
    if (place.carry && !carried.ok()) {
        return Fill(
            "无法把程序旁边的 {} 里的计时转到 {}：{}。\n\n程序旁边的文件不再使用{}"
            "为了不从 0 开始计时，程序没有启动。文件没有被改动。",
            {beside, path, WithDetail(FailureReason(carried.failure, false), carried.detail),
             SetAsideReason(place.why)});
    }
    if (place.carry) {
        return Fill(
            "程序旁边的 ksv.ini 不再使用{}\n\n原来的文件：{}\n现在的文件：{}\n\n"
            "它的计时、标题和其余内容已经全部转到现在的文件里，从这里接着计时。"
            "原来的文件没有改动，确认无误后可以删除它。",
            {SetAsideReason(place.why), beside, path});
    }
    return Fill(
        "程序旁边的 {} 没有使用{}\n\nksv 现在把计时保存在 {}。\n"
        "如果你的计时在程序旁边的文件里，请在 ksv 关闭后把它的内容复制过去，"
        "或者把 ksv 放到只有你能修改的文件夹里。",
        {beside, SetAsideReason(place.why), path});
}

std::string NoPlace(const SettingsPlaceError& error) {
    if (error.directory().empty()) {
        return "ksv 找不到自己所在的文件夹（路径太长，或者系统说不出来），不知道计时保存在哪里，"
               "程序没有启动。\n\n请把 ksv 放到路径短一些的文件夹里，再启动它。";
    }
    return Fill(
        "ksv 所在的文件夹 {} 别的用户也能修改，在这里保存计时不安全；系统又没有给你设置文件夹"
        "（没有 HOME 或 APPDATA），程序没有启动。\n\n"
        "请把 ksv 放到只有你能修改的文件夹里，或者设置好 HOME 后再启动它。",
        {PathText(error.directory())});
}

std::string NoGuard(const platform::NativePath& file) {
    return Fill(
        "ksv 无法保证只有它一个在往 {} 里计时：建不了锁文件，这个文件本身也锁不上。"
        "两个 ksv 同时计时会互相覆盖，所以程序没有启动。\n\n"
        "请检查这个文件、它所在的文件夹和你的设置文件夹的权限。",
        {PathText(file)});
}

}  // namespace ksv::messages
