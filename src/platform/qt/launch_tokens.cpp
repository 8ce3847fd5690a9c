#include "platform/qt/launch_tokens.h"

#include <algorithm>
#include <cstdlib>

namespace ksv::platform::qt {
namespace {

constexpr std::size_t kMaxToken = 512;
constexpr std::string_view kActivationName = "XDG_ACTIVATION_TOKEN";
constexpr std::string_view kStartupName = "DESKTOP_STARTUP_ID";

std::string FromEnvironment(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    return value != nullptr && IsUsableToken(value) ? std::string(value) : std::string();
}

void AddLine(std::string& text, std::string_view name, const std::string& value) {
    if (IsUsableToken(value)) {
        text.append(name).append("=").append(value).append("\n");
    }
}

}  // namespace

bool IsUsableToken(std::string_view token) {
    return !token.empty() && token.size() <= kMaxToken &&
           std::ranges::all_of(token, [](char c) { return c >= 0x20 && c <= 0x7e; });
}

LaunchTokens LaunchTokensFromEnvironment() {
    return {FromEnvironment(kActivationName), FromEnvironment(kStartupName)};
}

std::string EncodeLaunchTokens(const LaunchTokens& tokens) {
    std::string text;
    AddLine(text, kActivationName, tokens.activationToken);
    AddLine(text, kStartupName, tokens.startupId);
    return text;
}

LaunchTokens DecodeLaunchTokens(std::string_view text) {
    LaunchTokens tokens;
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;
         text.remove_prefix(end + 1)) {
        const std::string_view line = text.substr(0, end);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || !IsUsableToken(line.substr(equals + 1))) {
            continue;
        }
        const std::string_view name = line.substr(0, equals);
        const std::string value(line.substr(equals + 1));
        if (name == kActivationName) {
            tokens.activationToken = value;
        } else if (name == kStartupName) {
            tokens.startupId = value;
        }
    }
    return tokens;
}

}  // namespace ksv::platform::qt
