#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillane {

// The operations of the system's remote-access (dial-up) service that the
// program uses. Error codes are the service's own; 0 means success.
class DialUp {
public:
    using Handle = std::uint64_t;
    static constexpr Handle kNoHandle = 0;
    // The status of a handle whose connection is gone.
    static constexpr int kInvalidHandle = 6;

    // What the service stores for an entry to dial it.
    struct DialParams {
        std::string Entry;
        std::string UserName;
        std::string Password;
    };

    virtual ~DialUp() = default;

    // Names of the phone-book entries.
    virtual std::vector<std::string> EnumEntries() = 0;
    // How many remote-access connections are open now.
    virtual std::size_t CountConnections() = 0;
    virtual int GetEntryDialParams(const std::string& entry, DialParams& params) = 0;
    // Dials and returns when the connection is up or has failed. handle may
    // be set even when dialling fails; it must be hung up then.
    virtual int Dial(const DialParams& params, Handle& handle) = 0;
    virtual int HangUp(Handle handle) = 0;
    // 0 while the connection of handle exists, kInvalidHandle once it is gone.
    virtual int GetConnectStatus(Handle handle) = 0;
    virtual std::string GetErrorString(int code) = 0;
};

// The service of this system. Linux has none the program could drive: it
// lists no entries, so a dial-up connection kind answers no, silently.
std::unique_ptr<DialUp> MakeSystemDialUp();

} // namespace quillane
