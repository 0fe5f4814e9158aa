#pragma once

#include "core/common/Error.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace quillane {

// The server data of section FTP of quillane.ini, as the merchant typed them.
struct FtpSettings {
    std::string Host; // a bare host, or ftp://, ftps:// (explicit TLS) or sftp:// before it
    std::string Port; // 21 (22 for sftp://) when empty or not a whole number
    std::string Login;
    std::string Password;
    std::string Folder;  // names separated by "/", below the folder the server logs the user in to
    std::string KeyFile; // sftp://: the private key to log in with; empty: the password
    // The server key the merchant accepted for this target, for a server the
    // system does not know: an SFTP host key as "SHA256:<base64>" (as ssh
    // shows it) or an FTPS certificate's public key as "sha256//<base64>".
    // Kept per target in section TrustedKeys under TrustedKeyName.
    std::string TrustedKey;
    bool ChangedOnly = false; // "Nur geänderte Dateien senden"
    // Where SFTP host keys are looked up; the user's ~/.ssh/known_hosts when empty.
    std::string KnownHostsFile;
    // A server that answers nothing, or sends or takes less than a byte a
    // second, for this long ends the upload with an error instead of holding it forever.
    long StallSeconds = 60;
};

// Reads section FTP of the settings file of programDir (keys host, port,
// login, pass, folder, keyfile, changedonly) and the accepted key of the
// target from section TrustedKeys.
FtpSettings InitFTP(const std::string& programDir);
// Stores "Nur geänderte Dateien senden" (key changedonly of section FTP).
void SaveChangedOnly(const std::string& programDir, bool changedOnly);

enum class UploadScheme { Ftp, Ftps, Sftp };

// Where an upload goes, made from the settings.
struct UploadTarget {
    UploadScheme Scheme = UploadScheme::Ftp;
    std::string Host;
    int Port = 21;
    std::string User;
    std::vector<std::string> Folder; // the folder's names, empty names dropped

    // "ftp://host:21/a/b": what the merchant is told; never the password.
    std::string Display() const;
};

// The key of section TrustedKeys for a target: "sftp://host:22", without
// user or folder, since the key belongs to the server.
std::string TrustedKeyName(const UploadTarget& target);
// Stores the key the merchant accepted for target; an empty key removes it.
void SaveTrustedKey(const std::string& programDir, const UploadTarget& target, const std::string& key);

// Throws Error naming the value when the host is empty, holds a scheme other
// than the three, or a blank or control character.
UploadTarget MakeUploadTarget(const FtpSettings& settings);

// The sum of the sizes of all files below shopDir.
std::int64_t GetProjectSize(const std::string& shopDir);

// Whether a file goes in ASCII mode: the text types only, by extension
// without regard to case.
bool IsTextFile(const std::string& name);

// What an upload tells while it runs; the window and the command-line tool
// show the same numbers. Called on the uploading thread.
struct UploadSink {
    // "Uploading: " and the path relative to the shop folder, as a message
    // for the merchant's language.
    std::function<void(const Message& status)> Status;
    // A file transfer began: its expected byte count.
    std::function<void(std::int64_t expected)> FileStarted;
    // Bytes of the current file sent so far.
    std::function<void(std::int64_t sent)> FileProgress;
    // Bytes of the whole shop done of total (GetProjectSize); files left out
    // because they did not change count as done.
    std::function<void(std::int64_t done, std::int64_t total)> ShopProgress;
};

// The server's host key or certificate is neither known to the system nor
// the one the merchant accepted. The text says which key the server showed
// and how to accept it; nothing was sent.
class UnknownServerKey : public Error {
public:
    UnknownServerKey(Message message, UploadTarget target, std::string key)
        : Error(std::move(message)), Target(std::move(target)), Key(std::move(key))
    {
    }
    UploadTarget Target;
    std::string Key; // in the form of FtpSettings::TrustedKey
};

struct UploadResult {
    std::string Target;         // UploadTarget::Display()
    std::int64_t BytesSent = 0; // bytes of the files sent
    int FilesSent = 0;
    int FilesUnchanged = 0; // left out by ChangedOnly
};

// Publishes shopDir (ending in "/") to the target of settings: the remote
// folder is entered name by name, created where missing (compared without
// regard to case), then every file of a folder is sent before its
// subfolders, depth first. With settings.ChangedOnly only files that differ
// from the manifest of the last upload to the same target are sent; the
// manifest lies beside shopDir and is written after each file that arrived.
// When nothing differs, nothing is sent and the server is not even asked.
// Throws Error naming the file (or folder) and the server's reply on any
// failure, and when stop is requested; the connection is closed then.
// Names holding control characters are refused before anything is sent.
UploadResult UploadShop(const std::string& shopDir, const FtpSettings& settings, const UploadSink& sink,
                        std::stop_token stop = {});

} // namespace quillane
