#pragma once

#include <windows.h>

namespace ksv::platform::win32 {

// A DLL of the system's own folder, loaded at the first call and kept until
// the program ends, never one that happens to lie beside the program; null
// when it cannot be loaded. For what only some runs need, so that a start
// that does not need it does not pay for loading it.
HMODULE SystemLibrary(const wchar_t* name);

// A function of such a DLL by name; null when the DLL or the function is
// missing.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = SystemLibrary(library);
    const FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace ksv::platform::win32
