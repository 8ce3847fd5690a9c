#pragma once

#include <string>
#include <string_view>

namespace ksv::platform::qt {

// What a launcher hands a program so that its window may take the focus and
// the launch feedback (a busy cursor, a spinner) ends: an xdg-activation
// token on Wayland, a startup-notification id on X11. A later copy of ksv
// passes them on to the copy that shows the window.
struct LaunchTokens {
    std::string activationToken;  // XDG_ACTIVATION_TOKEN
    std::string startupId;        // DESKTOP_STARTUP_ID

    bool operator==(const LaunchTokens&) const = default;
};

// The tokens in this process's environment; unusable ones count as absent.
LaunchTokens LaunchTokensFromEnvironment();

// Tokens are opaque to us, but they travel in one line and end up in a
// Wayland or X11 request: printable ASCII only, and at most 512 bytes.
bool IsUsableToken(std::string_view token);

// The form they take on the single-copy guard's socket: a line
// "NAME=value\n" for each token present. Parsing keeps the usable tokens of
// whole lines and skips everything else, so a later version may add lines.
std::string EncodeLaunchTokens(const LaunchTokens& tokens);
LaunchTokens DecodeLaunchTokens(std::string_view text);

}  // namespace ksv::platform::qt
