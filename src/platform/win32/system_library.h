#pragma once

#include <windows.h>

namespace ksv::platform::win32 {

// A DLL from the system's folder, never one beside the program, loaded at the
// first call and kept; null when it cannot be. For what only some runs need,
// so that the others do not pay for loading it.
HMODULE SystemLibrary(const wchar_t* name);

// A function of such a DLL by name; null when either is missing.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = SystemLibrary(library);
    const FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace ksv::platform::win32
