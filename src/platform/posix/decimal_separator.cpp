#include "platform/decimal_separator.h"

#include <langinfo.h>
#include <locale.h>

#include "platform/utf8_text.h"

namespace ksv::platform {

std::string DecimalSeparator() {
    // A locale object of our own: the process-wide locale stays as it is, so
    // nothing else in the program starts formatting numbers differently.
    locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) {
        return ".";
    }
    std::string separator;
    if (const char* radix = nl_langinfo_l(RADIXCHAR, user); radix != nullptr) {
        separator = radix;
    }
    freelocale(user);
    // A legacy (non-UTF-8) locale could give bytes we cannot pass on as text.
    if (separator.empty() || !utf8::IsValid(separator)) {
        return ".";
    }
    return separator;
}

}  // namespace ksv::platform
