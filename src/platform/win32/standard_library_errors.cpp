// What the C++ library throws on its own, thrown as the program's own
// exceptions. Defined in the Windows program, these take the place of the
// library's own helpers, and with them its standard exception classes, their
// strings and the rest they bring into ksv.exe. The contract stays
// the library's: each throws, none returns, and what() says what the library
// said.
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

#include "platform/error.h"

// Each helper throws one type, with the library's words where it gives any.
#define KSV_THROWS(helper, type) \
    void helper() {              \
        throw type();            \
    }
#define KSV_THROWS_WHAT(helper, type)    \
    void helper(const char* what) {      \
        throw ksv::platform::type(what); \
    }

namespace std {

KSV_THROWS(__throw_bad_exception, bad_exception)
KSV_THROWS(__throw_bad_alloc, bad_alloc)
KSV_THROWS(__throw_bad_array_new_length, bad_array_new_length)
KSV_THROWS(__throw_bad_cast, bad_cast)
KSV_THROWS(__throw_bad_typeid, bad_typeid)

// The library's faults of use: a position past the end, a size too large.
KSV_THROWS_WHAT(__throw_logic_error, InvalidArgument)
KSV_THROWS_WHAT(__throw_domain_error, InvalidArgument)
KSV_THROWS_WHAT(__throw_invalid_argument, InvalidArgument)
KSV_THROWS_WHAT(__throw_length_error, InvalidArgument)
KSV_THROWS_WHAT(__throw_out_of_range, InvalidArgument)
void __throw_out_of_range_fmt(const char* format, ...) {
    char what[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    throw ksv::platform::InvalidArgument(what);
}

KSV_THROWS_WHAT(__throw_runtime_error, Error)
KSV_THROWS_WHAT(__throw_range_error, Error)
KSV_THROWS_WHAT(__throw_overflow_error, Error)
KSV_THROWS_WHAT(__throw_underflow_error, Error)

}  // namespace std
