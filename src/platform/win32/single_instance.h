#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/native_path.h"

namespace ksv::platform::win32 {

// One counting copy per settings file: a named mutex derived from the
// settings path. The system releases it when the holder ends or dies, and it
// leaves no file behind.
class SingleInstance {
  public:
    explicit SingleInstance(const NativePath& settingsPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool IsFirst() const { return first_; }

    // Marks the first copy's window so that a later copy can find it.
    void MarkWindow(HWND window) const;

    // Brings the first copy's window (of class `windowClass`) to the front,
    // waiting a moment for it to appear; false when none showed up.
    bool ActivateFirst(const wchar_t* windowClass) const;

    // The key of a settings path: the same for every spelling of one path
    // that differs only in case, "." and ".." or doubled separators.
    static std::uint64_t PathKey(const NativePath& settingsPath);
    static std::wstring MutexName(std::uint64_t key);

  private:
    std::uint64_t key_;
    HANDLE mutex_ = nullptr;
    bool first_ = true;
};

}  // namespace ksv::platform::win32
