#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Conversions at the edge between the program's UTF-8 and the Win32 API.
namespace ksv::platform::win32 {

// Text in code page `codePage` to UTF-16 and back. Bytes or characters the
// code page cannot hold come out as the system's replacement character.
std::wstring ToWide(std::string_view text, UINT codePage);
std::string FromWide(std::wstring_view text, UINT codePage);

inline std::wstring Utf8ToWide(std::string_view text) {
    return ToWide(text, CP_UTF8);
}
inline std::string WideToUtf8(std::wstring_view text) {
    return FromWide(text, CP_UTF8);
}

// The text of a window or control.
std::wstring WindowText(HWND window);

// The system's description of a Win32 error code, in UTF-8.
std::string ErrorMessage(DWORD error);

}  // namespace ksv::platform::win32
