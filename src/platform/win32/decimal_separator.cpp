#include "platform/decimal_separator.h"

#include <windows.h>

#include <iterator>

#include "platform/win32/wide_text.h"

namespace ksv::platform {

std::string DecimalSeparator() {
    wchar_t buffer[8] = {};  // the system allows at most four characters
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buffer,
                                       static_cast<int>(std::size(buffer)));
    return length <= 1
               ? "."
               : win32::WideToUtf8(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
}

}  // namespace ksv::platform
