#include "core/online/DialUp.h"

namespace quillane {

namespace {

// Without phone-book entries nothing is ever dialled, so the other
// operations only answer as a service without connections would.
class NoDialUp : public DialUp {
public:
    std::vector<std::string> EnumEntries() override { return {}; }
    std::size_t CountConnections() override { return 0; }
    int GetEntryDialParams(const std::string&, DialParams&) override { return kNotAvailable; }
    int Dial(const DialParams&, Handle& handle) override
    {
        handle = kNoHandle;
        return kNotAvailable;
    }
    int HangUp(Handle) override { return kInvalidHandle; }
    int GetConnectStatus(Handle) override { return kInvalidHandle; }
    std::string GetErrorString(int) override { return "Dial-up connections are not available on this system"; }

private:
    static constexpr int kNotAvailable = 1;
};

} // namespace

std::unique_ptr<DialUp> MakeSystemDialUp()
{
    return std::make_unique<NoDialUp>();
}

} // namespace quillane
