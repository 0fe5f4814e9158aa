#include "core/publish/Upload.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/PublishMessages.h"
#include "core/publish/RemoteFolder.h"
#include "core/publish/UploadManifest.h"
#include "core/settings/UserData.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace quillane {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSection = "FTP";
constexpr std::string_view kTrustedSection = "TrustedKeys";

// An entry of a shop folder: what it is, not what its name looks like.
struct LocalEntry {
    std::string Name;
    bool Folder = false;
    std::int64_t Size = 0;
};

// The files and sub folders of a folder by name. Folders beginning with "."
// belong to tools, not to the shop; files that are neither files nor
// folders (a FIFO, a broken link) cannot be sent and are left out.
std::vector<LocalEntry> listLocal(const std::string& dir)
{
    std::vector<LocalEntry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        const std::string name = it->path().filename().string();
        if (it->is_directory(typeEc)) {
            if (!name.starts_with('.')) {
                entries.push_back({name, true, 0});
            }
        } else if (it->is_regular_file(typeEc)) {
            const auto size = it->file_size(typeEc);
            entries.push_back({name, false, typeEc ? 0 : static_cast<std::int64_t>(size)});
        }
    }
    if (ec) {
        throw Error(msg::UploadCannotReadFolder, {dir, ec.message()});
    }
    // The order of the file system differs between machines; an upload goes the same way each time.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
    return entries;
}

// A shop folder with everything below it, read before anything is sent.
struct LocalFolder {
    std::string Path;     // ending in "/"
    std::string Relative; // below the shop folder, ending in "/"; empty for the shop folder
    std::vector<LocalEntry> Files;
    std::vector<LocalFolder> Folders;
    std::vector<std::string> FolderNames;
    bool Pending = false; // something below is to be sent
};

LocalFolder readTree(const std::string& path, const std::string& relative)
{
    LocalFolder folder{path, relative, {}, {}, {}, false};
    for (LocalEntry& e : listLocal(path)) {
        if (HasControlChar(e.Name)) {
            throw Error(msg::UploadNameHasControlChar, {relative + e.Name});
        }
        if (e.Folder) {
            folder.Folders.push_back(readTree(path + e.Name + "/", relative + e.Name + "/"));
            folder.FolderNames.push_back(e.Name);
        } else {
            folder.Files.push_back(std::move(e));
        }
    }
    return folder;
}

std::int64_t treeSize(const LocalFolder& folder)
{
    std::int64_t total = 0;
    for (const LocalEntry& f : folder.Files) {
        total += f.Size;
    }
    for (const LocalFolder& sub : folder.Folders) {
        total += treeSize(sub);
    }
    return total;
}

int portOf(std::string_view text, int fallback)
{
    text = TrimBlanks(text);
    int port = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || port < 1 || port > 65535) {
        return fallback;
    }
    return port;
}

std::string schemeName(UploadScheme scheme)
{
    switch (scheme) {
    case UploadScheme::Ftps:
        return "ftps";
    case UploadScheme::Sftp:
        return "sftp";
    case UploadScheme::Ftp:
        break;
    }
    return "ftp";
}

const std::string* findName(const std::vector<std::string>& names, const std::string& name)
{
    for (const std::string& n : names) {
        if (SameText(n, name)) {
            return &n;
        }
    }
    return nullptr;
}

class Run {
public:
    Run(const UploadTarget& target, const FtpSettings& settings, const UploadSink& sink, std::stop_token stop,
        std::int64_t total, UploadManifest& manifest)
        : remote_(target, settings, std::move(stop)), sink_(sink), settings_(settings), total_(total),
          manifest_(manifest)
    {
    }

    // Makes the folder of the settings the one to send into, name by name,
    // creating what is missing. A folder the server lists in other letters
    // is entered under the server's spelling: servers that tell letters
    // apart would not find it otherwise.
    std::vector<std::string> SetShopDir(const std::vector<std::string>& names)
    {
        std::vector<std::string> current;
        for (const std::string& name : names) {
            const std::vector<std::string> listing = remote_.List(current);
            const std::string* found = findName(listing, name);
            const std::string entered = found != nullptr ? *found : name;
            if (found == nullptr) {
                remote_.MakeFolder(current, name);
            }
            current.push_back(entered);
        }
        return current;
    }

    void UploadDir(const LocalFolder& local, const std::vector<std::string>& remote)
    {
        for (const LocalEntry& file : local.Files) {
            sendFile(local, file, remote);
        }
        std::vector<std::string> listing;
        bool listed = false;
        std::vector<std::pair<const LocalFolder*, std::string>> entered;
        for (std::size_t i = 0; i < local.Folders.size(); ++i) {
            const LocalFolder& sub = local.Folders[i];
            if (!sub.Pending) {
                skip(sub);
                continue;
            }
            if (!listed) {
                listing = remote_.List(remote);
                listed = true;
            }
            const std::string& name = local.FolderNames[i];
            const std::string* found = findName(listing, name);
            if (found == nullptr) {
                remote_.MakeFolder(remote, name);
                listing.push_back(name);
                entered.emplace_back(&sub, name);
            } else {
                entered.emplace_back(&sub, *found);
            }
        }
        for (const auto& [sub, name] : entered) {
            std::vector<std::string> path = remote;
            path.push_back(name);
            UploadDir(*sub, path);
        }
    }

    // Counts the whole tree as unchanged and done.
    void SkipAll(const LocalFolder& tree) { skip(tree); }

    UploadResult result;
    std::unordered_map<std::string, UploadManifest::Entry> digests;

private:
    void sendFile(const LocalFolder& local, const LocalEntry& file, const std::vector<std::string>& remote)
    {
        const std::string relative = local.Relative + file.Name;
        const auto digest = digests.find(relative);
        if (settings_.ChangedOnly && digest != digests.end() && manifest_.Unchanged(relative, digest->second)) {
            ++result.FilesUnchanged;
            advance(file.Size);
            return;
        }
        if (sink_.Status) {
            sink_.Status(Message{msg::UploadSending, {relative}});
        }
        if (sink_.FileStarted) {
            sink_.FileStarted(file.Size);
        }
        // Struck off first: a transfer broken half-way leaves half a file on the server.
        manifest_.Forget(relative);
        // Without an earlier digest the file is hashed as it is read for sending.
        std::string sent;
        remote_.Put(remote, file.Name, local.Path + file.Name, file.Size, IsTextFile(file.Name), sink_.FileProgress,
                    digest == digests.end() ? &sent : nullptr);
        manifest_.Sent(relative, digest != digests.end() ? digest->second : UploadManifest::Entry{file.Size, sent});
        ++result.FilesSent;
        result.BytesSent += file.Size;
        advance(file.Size);
    }

    // A folder where nothing changed counts as done without going there.
    void skip(const LocalFolder& folder)
    {
        result.FilesUnchanged += static_cast<int>(folder.Files.size());
        for (const LocalEntry& file : folder.Files) {
            advance(file.Size);
        }
        for (const LocalFolder& sub : folder.Folders) {
            skip(sub);
        }
    }

    void advance(std::int64_t size)
    {
        done_ += size;
        if (sink_.ShopProgress) {
            sink_.ShopProgress(done_, total_);
        }
    }

    RemoteFolder remote_;
    const UploadSink& sink_;
    const FtpSettings& settings_;
    std::int64_t total_;
    std::int64_t done_ = 0;
    UploadManifest& manifest_;
};

// Marks the folders to go into. Only an upload of changes needs every
// file's digest before it starts; a whole upload hashes each file as it
// sends it, so a large file does not keep the merchant waiting twice.
bool markPending(LocalFolder& folder, const UploadManifest& manifest, bool changedOnly,
                 std::unordered_map<std::string, UploadManifest::Entry>& digests)
{
    // A whole upload makes every folder, empty ones too; an upload of changes
    // goes only where something changed.
    folder.Pending = !changedOnly;
    if (changedOnly) {
        for (const LocalEntry& file : folder.Files) {
            const std::string relative = folder.Relative + file.Name;
            UploadManifest::Entry e{file.Size, FileSha256(folder.Path + file.Name)};
            if (!manifest.Unchanged(relative, e)) {
                folder.Pending = true;
            }
            digests.emplace(relative, std::move(e));
        }
    }
    for (LocalFolder& sub : folder.Folders) {
        folder.Pending = markPending(sub, manifest, changedOnly, digests) || folder.Pending;
    }
    return folder.Pending;
}

} // namespace

FtpSettings InitFTP(const std::string& programDir)
{
    const IniFile ini(SettingsFilePath(programDir));
    FtpSettings s;
    s.Host = ini.ReadString(kSection, "host", "");
    s.Port = ini.ReadString(kSection, "port", "");
    s.Login = ini.ReadString(kSection, "login", "");
    s.Password = ini.ReadString(kSection, "pass", "");
    s.Folder = ini.ReadString(kSection, "folder", "");
    s.KeyFile = ini.ReadString(kSection, "keyfile", "");
    s.ChangedOnly = ini.ReadBool(kSection, "changedonly", false);
    try {
        s.TrustedKey = ini.ReadString(kTrustedSection, TrustedKeyName(MakeUploadTarget(s)), "");
    } catch (const Error&) {
        // A host that cannot be used has no key either; the upload says what is wrong with it.
    }
    return s;
}

void SaveChangedOnly(const std::string& programDir, bool changedOnly)
{
    IniFile ini = OpenSettingsFile(programDir);
    ini.WriteBool(kSection, "changedonly", changedOnly);
    ini.UpdateFile();
}

std::string TrustedKeyName(const UploadTarget& target)
{
    return schemeName(target.Scheme) + "://" + LowerCase(target.Host) + ":" + std::to_string(target.Port);
}

void SaveTrustedKey(const std::string& programDir, const UploadTarget& target, const std::string& key)
{
    // A value may hold "=" (a certificate's pin ends in it); the name may not.
    const std::string name = TrustedKeyName(target);
    if (HasControlChar(key) || name.find('=') != std::string::npos) {
        throw Error(msg::UploadKeyNotStorable, {key, name});
    }
    IniFile ini = OpenSettingsFile(programDir);
    const std::string trimmed = Trim(key);
    if (trimmed.empty()) {
        ini.DeleteKey(kTrustedSection, name);
    } else {
        ini.WriteString(kTrustedSection, name, trimmed);
    }
    ini.UpdateFile();
}

std::string UploadTarget::Display() const
{
    const std::string host = Host.find(':') != std::string::npos ? "[" + Host + "]" : Host;
    std::string text = schemeName(Scheme) + "://" + host + ":" + std::to_string(Port) + "/";
    for (std::size_t i = 0; i < Folder.size(); ++i) {
        text += (i > 0 ? "/" : "") + Folder[i];
    }
    return text;
}

UploadTarget MakeUploadTarget(const FtpSettings& settings)
{
    UploadTarget t;
    std::string host = Trim(settings.Host);
    if (host.empty()) {
        throw Error(msg::UploadNoHost);
    }
    if (HasControlChar(settings.Host)) {
        throw Error(msg::UploadHostControlChar, {settings.Host});
    }
    const std::size_t scheme = host.find("://");
    if (scheme != std::string::npos) {
        const std::string name = LowerCase(host.substr(0, scheme));
        if (name == "ftp") {
            t.Scheme = UploadScheme::Ftp;
        } else if (name == "ftps") {
            t.Scheme = UploadScheme::Ftps;
        } else if (name == "sftp") {
            t.Scheme = UploadScheme::Sftp;
        } else {
            throw Error(msg::UploadHostBadScheme, {host, host.substr(0, scheme + 3)});
        }
        host.erase(0, scheme + 3);
    }
    while (!host.empty() && host.back() == '/') {
        host.pop_back();
    }
    const int defaultPort = t.Scheme == UploadScheme::Sftp ? 22 : 21;
    t.Port = portOf(settings.Port, defaultPort);
    // "host:2121" and "[::1]:2121" carry their port; a bare IPv6 address does not.
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close != std::string::npos) {
            if (close + 1 < host.size() && host[close + 1] == ':') {
                t.Port = portOf(host.substr(close + 2), t.Port);
            }
            host = host.substr(1, close - 1);
        }
    } else if (std::count(host.begin(), host.end(), ':') == 1) {
        const std::size_t colon = host.find(':');
        t.Port = portOf(host.substr(colon + 1), t.Port);
        host.erase(colon);
    }
    if (host.empty() || host.find_first_of(" /@\\\"'") != std::string::npos) {
        throw Error(msg::UploadHostNotAHost, {settings.Host});
    }
    t.Host = host;
    t.User = settings.Login;
    if (HasControlChar(settings.Login)) {
        throw Error(msg::UploadLoginControlChar, {settings.Login});
    }
    if (HasControlChar(settings.Folder)) {
        throw Error(msg::UploadFolderControlChar, {settings.Folder});
    }
    // Empty names (a leading, doubled or final "/") name no folder.
    for (const std::string& name : Split('/', settings.Folder)) {
        if (!Trim(name).empty()) {
            t.Folder.push_back(name);
        }
    }
    return t;
}

std::int64_t GetProjectSize(const std::string& shopDir)
{
    return treeSize(readTree(IncludeTrailingSlash(shopDir), ""));
}

bool IsTextFile(const std::string& name)
{
    static constexpr std::string_view kText[] = {".html", ".htm", ".js", ".css", ".txt", ".xml", ".svg"};
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    const std::string ext = LowerCase(name.substr(dot));
    return std::find(std::begin(kText), std::end(kText), ext) != std::end(kText);
}

UploadResult UploadShop(const std::string& shopDir, const FtpSettings& settings, const UploadSink& sink,
                        std::stop_token stop)
{
    const UploadTarget target = MakeUploadTarget(settings);
    const std::string shop = IncludeTrailingSlash(shopDir);
    if (!DirectoryExists(shop)) {
        throw Error(msg::UploadNoShopFolder, {shop});
    }
    LocalFolder tree = readTree(shop, "");
    const std::int64_t total = treeSize(tree);
    if (sink.ShopProgress) {
        sink.ShopProgress(0, total);
    }
    UploadManifest manifest(UploadManifest::PathFor(shop, target.Display() + "\n" + target.User));
    FtpSettings used = settings;
    Run run(target, used, sink, std::move(stop), total, manifest);
    markPending(tree, manifest, settings.ChangedOnly, run.digests);
    run.result.Target = target.Display();
    if (settings.ChangedOnly && !tree.Pending) {
        // Everything is as the last upload left it: nothing to log in for.
        run.SkipAll(tree);
        return run.result;
    }
    const std::vector<std::string> remote = run.SetShopDir(target.Folder);
    run.UploadDir(tree, remote);
    manifest.Compact();
    return run.result;
}

} // namespace quillane
