#pragma once

#include "core/online/HttpClient.h"
#include "core/settings/UserData.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillane {

class DialUpClient;
class Prompter;

inline constexpr std::int32_t kDefaultProxyPort = 8080;

// The answer of WebConnect: whether the caller may go ahead, and the proxy
// its requests go through (empty unless the connection kind is the proxy).
struct ConnectResult {
    bool Ok = false;
    HttpProxy Proxy;

    explicit operator bool() const { return Ok; }
};

// Prepares the internet connection before a network operation. The kind and
// the autocon flag come from user; the entry to dial and the proxy are read
// afresh from the settings file of programDir, so a changed setting counts
// at the next request. question is text 0 of MsgBoxTexts, asked before
// dialling unless autocon is set. Dialling failures go to the dial-up
// client's events and still answer yes: the caller's request then fails
// with its own error.
ConnectResult WebConnect(const TUserData& user, const std::string& programDir, std::string_view question,
                         DialUpClient& dialUp, Prompter& prompter);

} // namespace quillane
