// The one member of std::string and std::wstring that libstdc++ 13 and later
// declare as instantiated in the library even for C++20: made here, so the
// link does not take the library's whole string-inst and wstring-inst
// members (about 62 KB of ksv.exe) for it. Older libraries have no such
// member; their strings are instantiated where used.
#include <string>

#if defined(_GLIBCXX_RELEASE) && _GLIBCXX_RELEASE >= 13 && _GLIBCXX_USE_CXX11_ABI
template void std::string::_M_replace_cold(char*, std::string::size_type, const char*,
                                           const std::string::size_type,
                                           const std::string::size_type);
template void std::wstring::_M_replace_cold(wchar_t*, std::wstring::size_type, const wchar_t*,
                                            const std::wstring::size_type,
                                            const std::wstring::size_type);
#endif
