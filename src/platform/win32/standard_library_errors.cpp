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

namespace {

using ksv::platform::Error;
using ksv::platform::InvalidArgument;

}  // namespace

namespace std {

void __throw_bad_exception() {
    throw bad_exception();
}
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_cast() {
    throw bad_cast();
}
void __throw_bad_typeid() {
    throw bad_typeid();
}

// The library's faults of use: a position past the end, a size too large.
void __throw_logic_error(const char* what) {
    throw InvalidArgument(what);
}
void __throw_domain_error(const char* what) {
    throw InvalidArgument(what);
}
void __throw_invalid_argument(const char* what) {
    throw InvalidArgument(what);
}
void __throw_length_error(const char* what) {
    throw InvalidArgument(what);
}
void __throw_out_of_range(const char* what) {
    throw InvalidArgument(what);
}
void __throw_out_of_range_fmt(const char* format, ...) {
    char what[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    throw InvalidArgument(what);
}

void __throw_runtime_error(const char* what) {
    throw Error(what);
}
void __throw_range_error(const char* what) {
    throw Error(what);
}
void __throw_overflow_error(const char* what) {
    throw Error(what);
}
void __throw_underflow_error(const char* what) {
    throw Error(what);
}

}  // namespace std
