#include "core/online/WebConnect.h"

#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/i18n/LanguageFile.h"
#include "core/online/DialUpClient.h"
#include "core/settings/UserData.h"

namespace quillane {

namespace {

constexpr std::string_view kSection = "Connection";

ConnectResult yes(HttpProxy proxy = {})
{
    return {true, std::move(proxy)};
}

ConnectResult connectByDialUp(const TUserData& user, const IniFile& settings, std::string_view question,
                              DialUpClient& client, Prompter& prompter)
{
    if (client.RefreshEntries().empty()) {
        return {};
    }
    // Someone is online already: use that line and ask nothing.
    if (client.ActiveConnections() > 0) {
        return yes();
    }
    const std::string provider = settings.ReadString(kSection, "Provider", "");
    if (provider.empty()) {
        return {};
    }
    client.SetEntry(provider);
    if (!user.autocon) {
        // The question is in the interface language; the caption names the program.
        const auto answer =
            prompter.Ask("Quillane", MessageLines(question), Prompter::Buttons::YesNo, Prompter::Icon::Warning);
        if (answer != Prompter::Answer::Yes) {
            return {};
        }
    }
    client.Dial();
    return yes();
}

ConnectResult connectByProxy(const IniFile& settings)
{
    HttpProxy p;
    p.Host = settings.ReadString(kSection, "proxy_host", "");
    if (p.Host.empty()) {
        return {};
    }
    // A port that is no number, or none a connection could use, is taken
    // as the usual proxy port.
    p.Port = settings.ReadInteger(kSection, "proxy_port", kDefaultProxyPort);
    if (p.Port < 1 || p.Port > 65535) {
        p.Port = kDefaultProxyPort;
    }
    return yes(std::move(p));
}

} // namespace

ConnectResult WebConnect(const TUserData& user, const std::string& programDir, std::string_view question,
                         DialUpClient& dialUp, Prompter& prompter)
{
    switch (static_cast<ConnectionKind>(user.Connection)) {
    case ConnectionKind::Direct:
        return yes();
    case ConnectionKind::DialUp:
        return connectByDialUp(user, IniFile(SettingsFilePath(programDir)), question, dialUp, prompter);
    case ConnectionKind::Proxy:
        return connectByProxy(IniFile(SettingsFilePath(programDir)));
    }
    return {};
}

} // namespace quillane
