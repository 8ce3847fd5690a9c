#pragma once

#include <string>

#include "platform/file_result.h"

namespace ksv {

// What the minute counting needs from the window. The count itself lives in
// the window (the hidden Label2), so the counter keeps no number of its own.
class CounterView {
  public:
    virtual ~CounterView() = default;

    virtual void SetTitle(const std::string& title) = 0;
    virtual std::string CountText() const = 0;
    virtual void SetCountText(const std::string& count) = 0;
    virtual void SetShownText(const std::string& text) = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;

    // Called when saving's outcome changes; a failure shows until a save works.
    virtual void ShowSaveResult(const platform::FileResult& result) = 0;
};

}  // namespace ksv
