#pragma once

#include "core/online/DialUp.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillane {

// The program's one dial-up client: dials the chosen phone-book entry and
// hangs up only a connection it dialled itself. It reports failures through
// events that the main window shows in its status bar.
class DialUpClient {
public:
    // Error code and the text to show.
    using Event = std::function<void(int code, const std::string& text)>;

    // The service's error texts are cut to this length.
    static constexpr std::size_t kMaxErrorText = 100;
    // Hang-up waits at most this many status polls for the connection to go,
    // so a service that never lets go cannot hold the program forever.
    static constexpr int kMaxHangUpPolls = 3000;

    explicit DialUpClient(std::unique_ptr<DialUp> service);

    // DialUp1Error: the dial parameters of the entry could not be fetched.
    void SetOnError(Event event) { onError_ = std::move(event); }
    // DialUp1NotConnected: dialling failed.
    void SetOnNotConnected(Event event) { onNotConnected_ = std::move(event); }
    // Run between the status polls of a hang-up so the window stays responsive.
    void SetProcessEvents(std::function<void()> processEvents) { processEvents_ = std::move(processEvents); }

    // Reads the phone-book entries afresh.
    const std::vector<std::string>& RefreshEntries();
    const std::vector<std::string>& Entries() const { return entries_; }
    std::size_t ActiveConnections();

    void SetEntry(std::string entry) { entry_ = std::move(entry); }
    const std::string& Entry() const { return entry_; }

    // Dials the entry synchronously, hanging up what this client dialled
    // before. Failures go to the events; nothing is thrown.
    void Dial();
    // Hangs up the connection this client dialled, if any, and waits until
    // the service has let it go.
    void HangUp();
    bool HasDialled() const { return handle_ != DialUp::kNoHandle; }

private:
    void raise(const Event& event, int code, const std::string& text) const;

    std::unique_ptr<DialUp> service_;
    std::vector<std::string> entries_;
    std::string entry_;
    DialUp::Handle handle_ = DialUp::kNoHandle;
    Event onError_;
    Event onNotConnected_;
    std::function<void()> processEvents_;
};

} // namespace quillane
