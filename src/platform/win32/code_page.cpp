#include "platform/code_page.h"

#include <windows.h>

#include "platform/utf8_text.h"
#include "platform/win32/wide_text.h"

namespace ksv::platform {

std::string AnsiToUtf8(std::string_view ansi) {
    return win32::WideToUtf8(win32::ToWide(ansi, CP_ACP));
}

std::string Utf8ToAnsi(std::string_view utf8) {
    return win32::FromWide(win32::Utf8ToWide(utf8), CP_ACP);
}

std::string PathToUtf8(const NativePath& path) {
    return win32::WideToUtf8(path);
}

std::size_t AnsiPrefixLength(std::string_view ansi, std::size_t maxBytes) {
    if (maxBytes >= ansi.size()) {
        return ansi.size();
    }
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) {
        return utf8::PrefixLength(ansi, maxBytes);
    }
    std::size_t end = 0;
    while (end < ansi.size()) {
        const bool lead = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(ansi[end])) != 0;
        const std::size_t length = lead && end + 1 < ansi.size() ? 2 : 1;
        if (end + length > maxBytes) {
            break;
        }
        end += length;
    }
    return end;
}

}  // namespace ksv::platform
