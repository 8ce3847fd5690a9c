#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/native_path.h"
#include "platform/settings_lock.h"

namespace ksv::platform::win32 {

// One counting copy per settings file: a SettingsLock. A later copy holds
// nothing, so one still showing its message cannot keep a third from counting
// once the first has ended.
class SingleInstance {
  public:
    explicit SingleInstance(const NativePath& settingsPath);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool IsFirst() const { return first_; }
    // False where nothing could be locked: two copies could then count.
    bool Guarded() const { return lock_.state() != SettingsLock::State::Unavailable; }

    // Marks the first copy's window so that a later copy can find it.
    void MarkWindow(HWND window) const;

    // Brings the first copy's window (of class `windowClass`) to the front,
    // waiting a moment for it to appear; false when none showed up.
    bool ActivateFirst(const wchar_t* windowClass) const;

  private:
    SettingsLock lock_;
    std::uint64_t key_;
    bool first_ = true;
};

}  // namespace ksv::platform::win32
