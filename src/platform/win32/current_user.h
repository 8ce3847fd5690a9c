#pragma once

#include <windows.h>

namespace ksv::platform::win32 {

// The user this program runs as, from its token; no SID when unreadable.
class CurrentUser {
  public:
    CurrentUser() {
        HANDLE token = nullptr;
        DWORD size = 0;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            if (GetTokenInformation(token, TokenUser, token_, sizeof token_, &size)) {
                sid_ = reinterpret_cast<TOKEN_USER*>(token_)->User.Sid;
            }
            CloseHandle(token);
        }
    }
    CurrentUser(const CurrentUser&) = delete;
    CurrentUser& operator=(const CurrentUser&) = delete;

    PSID sid() const { return sid_; }

  private:
    alignas(void*) BYTE token_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    PSID sid_ = nullptr;
};

}  // namespace ksv::platform::win32
