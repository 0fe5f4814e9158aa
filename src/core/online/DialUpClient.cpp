#include "core/online/DialUpClient.h"

#include "core/common/Error.h"
#include "core/common/messages/OnlineMessages.h"

#include <thread>

namespace quillane {

DialUpClient::DialUpClient(std::unique_ptr<DialUp> service) : service_(std::move(service))
{
    if (!service_) {
        throw Error(msg::OnlineNoDialUpService);
    }
}

const std::vector<std::string>& DialUpClient::RefreshEntries()
{
    entries_ = service_->EnumEntries();
    return entries_;
}

std::size_t DialUpClient::ActiveConnections()
{
    return service_->CountConnections();
}

void DialUpClient::Dial()
{
    HangUp();
    DialUp::DialParams params;
    params.Entry = entry_;
    const int paramsError = service_->GetEntryDialParams(entry_, params);
    if (paramsError != 0) {
        raise(onError_, paramsError, "GetEntryDialParams failed");
        return;
    }
    DialUp::Handle handle = DialUp::kNoHandle;
    const int dialError = service_->Dial(params, handle);
    if (dialError != 0) {
        // A failed dial can leave a half-open connection behind.
        if (handle != DialUp::kNoHandle) {
            service_->HangUp(handle);
        }
        std::string text = service_->GetErrorString(dialError);
        if (text.size() > kMaxErrorText) {
            text.resize(kMaxErrorText);
        }
        raise(onNotConnected_, dialError, text);
        return;
    }
    handle_ = handle;
}

void DialUpClient::HangUp()
{
    // Only what this client dialled: a connection that was open before is
    // the merchant's and stays.
    if (handle_ == DialUp::kNoHandle) {
        return;
    }
    const DialUp::Handle handle = handle_;
    handle_ = DialUp::kNoHandle;
    if (service_->HangUp(handle) != 0) {
        return;
    }
    // The service tears the line down in the background; dialling again
    // before it is gone would fail.
    for (int poll = 0; poll < kMaxHangUpPolls && service_->GetConnectStatus(handle) == 0; ++poll) {
        if (processEvents_) {
            processEvents_();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void DialUpClient::raise(const Event& event, int code, const std::string& text) const
{
    if (event) {
        event(code, text);
    }
}

} // namespace quillane
