#include "window/messages.h"

#include <cctype>

#include "platform/blanks.h"
#include "platform/code_page.h"
#include "settings/settings_file.h"

namespace ksv::messages {
namespace {

static_assert(kLargestSettingsFile == 1 << 20, "the messages say 1 MiB");

std::string PathText(const platform::NativePath& path) {
    return platform::PathToUtf8(path);
}

// Why a file could not be read or written, in words a user can act on.
std::string FailureReason(platform::FileFailure failure, bool reading) {
    switch (failure) {
        case platform::FileFailure::None:
            return "没有错误";
        case platform::FileFailure::ReadOnly:
            return "文件是只读的";
        case platform::FileFailure::AccessDenied:
            return reading ? "没有读取这个文件的权限" : "没有写入这个文件或其所在文件夹的权限";
        case platform::FileFailure::NotFound:
            return "文件所在的文件夹不存在";
        case platform::FileFailure::IsDirectory:
            return "这个位置是一个文件夹，不是文件";
        case platform::FileFailure::DiskFull:
            return "磁盘已满";
        case platform::FileFailure::InUse:
            return "文件正被其他程序占用";
        case platform::FileFailure::UnknownEncoding:
            return "文件的编码无法识别，能用的是 ANSI、UTF-8 和 Unicode 编码";
        case platform::FileFailure::UntrustedLink:
            return "这是另一个用户建立的符号链接，ksv 不跟随它读写";
        case platform::FileFailure::TooLarge:
            return "文件超过 1 MiB，不像是 ksv 的设置文件";
        case platform::FileFailure::Other:
            break;
    }
    return reading ? "读取失败" : "写入失败";
}

std::string WithDetail(std::string reason, const std::string& detail) {
    return detail.empty() ? reason : reason + "（" + detail + "）";
}

bool AllDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string BoxTitle() {
    return "ksv";
}

std::string UnreadableCount(const platform::NativePath& file, const CountError& error,
                            CountMoment moment) {
    std::string problem;
    if (error.failure() == CountFailure::Overflow) {
        problem = "这个数太大，无法显示为小时和分钟。";
    } else if (platform::Trim(error.text()).empty()) {
        problem = "这一项是空的，不是一个数字。";
    } else {
        problem = "这不是一个数字。";
    }
    const std::string what =
        moment == CountMoment::AtStart
            ? "无法读取保存的计时，程序没有启动。"
            : "下一分钟的计时无法显示，程序将关闭；文件里保存着上一分钟的计时。";
    return what +
           "\n\n"
           "文件：" +
           PathText(file) +
           "\n"
           "位置：[ksv] 节的 minutes 项\n"
           "内容：“" +
           error.text() + "”\n" + "问题：" + problem +
           "\n\n"
           "请用文本编辑器打开这个文件，把 minutes= 后面改成一个整数（例如 minutes=0），"
           "或者删掉这一行从 0 开始计时，保存后重新启动程序。文件没有被改动。";
}

std::string SaveFailed(const platform::NativePath& file, const platform::FileResult& result) {
    return "计时无法保存到 " + PathText(file) + "：" +
           WithDetail(FailureReason(result.failure, false), result.detail) +
           "。程序继续计时，每分钟会再试一次。";
}

std::string UnreadableSettings(const platform::NativePath& file,
                               const platform::FileResult& result) {
    std::string advice;
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
    return "无法读取保存的计时，程序没有启动。\n\n"
           "文件：" +
           PathText(file) + "\n原因：" +
           WithDetail(FailureReason(result.failure, true), result.detail) + "\n\n" +
           std::string(result.failure == platform::FileFailure::UntrustedLink
                           ? "通过它保存计时，可能改写你的其他文件，所以程序没有启动。"
                           : "如果从 0 开始计时，下次保存会覆盖原来的计时，所以程序没有启动。") +
           advice + "文件没有被改动。";
}

std::string UnexpectedError(std::string_view detail) {
    std::string text = "ksv 遇到意外的错误，必须关闭。";
    if (!detail.empty()) {
        text += "\n\n错误信息：" + std::string(detail);
    }
    return text +
           "\n\n已经保存的计时不会丢失。请重新启动 ksv；"
           "如果问题一再出现，请与系统管理员联系。";
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
    return std::string("已计时 ") + (negative ? "负 " : "") + std::string(hours) + " 小时 " +
           std::string(minutes) + " 分钟";
}

std::string NoWindowSystem() {
    return "ksv 无法打开窗口：连接不上图形界面（Wayland 或 X11）。"
           "请在桌面会话中启动 ksv；在 Wayland 下如果没有 X11，请安装 qt6-wayland 软件包。";
}

std::string AlreadyRunning(const platform::NativePath& file) {
    return "ksv 已经在运行，正在把计时保存到 " + PathText(file) +
           "。\n同一个设置文件只能有一个 ksv 在计时，这一个将关闭。";
}

}  // namespace ksv::messages
