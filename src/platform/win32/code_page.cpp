#include "platform/code_page.h"

#include <windows.h>

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

bool AnsiIsUtf8(std::string_view) {
    return GetACP() == CP_UTF8;
}

std::size_t AnsiCharacterLength(std::string_view text) {
    const bool lead = IsDBCSLeadByteEx(GetACP(), static_cast<BYTE>(text.front())) != 0;
    return lead && text.size() > 1 ? 2 : 1;
}

}  // namespace ksv::platform
