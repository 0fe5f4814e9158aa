#pragma once

#include "core/publish/Upload.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace quillane {

// One logged-in connection to the server of an upload, kept open across the
// requests of one upload (libcurl reuses it). Folders are named by their
// path below the folder the server logs the user in to; requests go by
// absolute paths made from that folder, so it never matters where an
// earlier request left the server.
class RemoteFolder {
public:
    RemoteFolder(const UploadTarget& target, const FtpSettings& settings, std::stop_token stop);
    ~RemoteFolder();
    RemoteFolder(const RemoteFolder&) = delete;
    RemoteFolder& operator=(const RemoteFolder&) = delete;

    // The names in a folder (NLST, or the SFTP name listing). The first
    // call logs in: errors name the target and the server's reply.
    std::vector<std::string> List(const std::vector<std::string>& folder);
    // Creates name in folder (MKD, or SFTP mkdir).
    void MakeFolder(const std::vector<std::string>& folder, const std::string& name);
    // Stores the local file under name in folder, replacing a file of that
    // name; text files go in ASCII mode. progress gets the bytes sent;
    // sha256, when given, the digest of the file's bytes as they were read.
    void Put(const std::vector<std::string>& folder, const std::string& name, const std::string& localFile,
             std::int64_t size, bool text, const std::function<void(std::int64_t)>& progress,
             std::string* sha256 = nullptr);

    // Why the last request failed: the server's last reply, or the
    // network library's reason when the server said nothing.
    std::string LastReply() const;

private:
    struct Session;
    std::unique_ptr<Session> s_;
};

// The key the merchant would accept, in FtpSettings::TrustedKey form.
std::string SshKeyFingerprint(const std::string& rawKey);
std::string CertificatePin(const std::string& pem);

} // namespace quillane
