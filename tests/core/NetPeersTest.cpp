// The loopback servers the upload tests run against, checked with the
// system's libcurl: a fault here would show as a fault of the upload.

#include "NetPeers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

using quillane::test::FtpPeer;
using quillane::test::FtpPeerOptions;
using quillane::test::SftpPeer;
using quillane::test::TempDir;

namespace {

struct Transfer {
    CURLcode code = CURLE_OK;
    std::string body;  // what the server sent (a listing)
    std::string error; // libcurl's words when it failed
};

using Source = std::pair<const std::string*, std::size_t>; // the text and how much of it went

std::size_t receive(char* data, std::size_t size, std::size_t count, void* body)
{
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

std::size_t send(char* data, std::size_t size, std::size_t count, void* from)
{
    auto& [text, done] = *static_cast<Source*>(from);
    const std::size_t n = std::min(size * count, text->size() - done);
    text->copy(data, n, done);
    done += n;
    return n;
}

// One transfer with a fresh handle; setup adds what the case needs. With
// upload, that text is sent as the file of the address.
Transfer perform(const std::string& url, const std::function<void(CURL*)>& setup, const std::string* upload = nullptr)
{
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    Transfer result;
    char error[CURL_ERROR_SIZE] = {};
    Source source{upload, 0};
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &receive);
    if (upload != nullptr) {
        curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_READDATA, &source);
        curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, &send);
    }
    setup(curl.get());
    result.code = curl_easy_perform(curl.get());
    result.error = error;
    return result;
}

std::string ftpUrl(const FtpPeer& peer, const std::string& path)
{
    return "ftp://127.0.0.1:" + std::to_string(peer.port()) + "/" + path;
}

void login(CURL* curl, const FtpPeer& peer)
{
    curl_easy_setopt(curl, CURLOPT_USERNAME, peer.user().c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, peer.password().c_str());
}

// The names of a listing, in its order (libcurl turns CRLF into LF in ASCII mode).
std::vector<std::string> names(const std::string& listing)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1) {
        result.push_back(listing.substr(start, end - start));
        if (!result.back().empty() && result.back().back() == '\r') {
            result.back().pop_back();
        }
    }
    return result;
}

bool has(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(NetPeers, FtpStoresNamesAsSentAndLogsCommands)
{
    TempDir root;
    root.write("Shop.HTML", "already there");
    FtpPeer peer(root.path());
    const std::string page = "<p>page</p>\n";
    // A Windows-1252 name: the server must keep its bytes, not re-encode them.
    const std::string latin = "B\xFC"
                              "cher.txt";

    for (const std::string& name : {std::string("Index.HTML"), latin}) {
        const Transfer stored = perform(
            ftpUrl(peer, "a/B/" + name),
            [&](CURL* curl) {
                login(curl, peer);
                curl_easy_setopt(curl, CURLOPT_FTP_CREATE_MISSING_DIRS, CURLFTP_CREATE_DIR);
            },
            &page);
        ASSERT_EQ(stored.code, CURLE_OK) << name << ": " << stored.error;
        EXPECT_EQ(root.read("a/B/" + name), page) << name;
    }

    const Transfer top = perform(ftpUrl(peer, ""), [&](CURL* curl) {
        login(curl, peer);
        curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
    });
    ASSERT_EQ(top.code, CURLE_OK) << top.error;
    EXPECT_EQ(names(top.body), (std::vector<std::string>{"Shop.HTML", "a"}));
    const Transfer folder = perform(ftpUrl(peer, "a/B/"), [&](CURL* curl) {
        login(curl, peer);
        curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
    });
    ASSERT_EQ(folder.code, CURLE_OK) << folder.error;
    EXPECT_EQ(names(folder.body), (std::vector<std::string>{latin, "Index.HTML"}));

    const std::vector<std::string> commands = peer.commands();
    EXPECT_TRUE(has(commands, "USER merchant"));
    EXPECT_TRUE(has(commands, "PASS ***"));
    EXPECT_FALSE(has(commands, "PASS secret"));
    EXPECT_TRUE(has(commands, "MKD a"));
    EXPECT_TRUE(has(commands, "STOR Index.HTML"));
    EXPECT_TRUE(has(commands, "STOR " + latin));
    EXPECT_TRUE(has(commands, "NLST"));
}

TEST(NetPeers, FtpsWantsTlsAndShowsThePinnedCertificate)
{
    TempDir root;
    FtpPeer peer(root.path(), FtpPeerOptions{.tls = true});
    ASSERT_EQ(peer.certificatePin().rfind("sha256//", 0), 0u) << peer.certificatePin();
    const std::string otherPin = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    const std::string page = "<p>secret page</p>\n";

    struct Case {
        const char* what;
        std::string file;
        bool tls;
        std::string pin;
        CURLcode expected;
    };
    const Case cases[] = {
        // Turned away at USER already, before a password goes out in the clear.
        {"plain FTP", "plain.html", false, "", CURLE_LOGIN_DENIED},
        {"TLS with the server's pin", "pinned.html", true, peer.certificatePin(), CURLE_OK},
        {"TLS with another pin", "other.html", true, otherPin, CURLE_SSL_PINNEDPUBKEYNOTMATCH},
    };
    for (const Case& c : cases) {
        const Transfer stored = perform(
            ftpUrl(peer, c.file),
            [&](CURL* curl) {
                login(curl, peer);
                if (c.tls) {
                    curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
                    // Self-signed: the pin alone decides.
                    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
                    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
                    curl_easy_setopt(curl, CURLOPT_PINNEDPUBLICKEY, c.pin.c_str());
                }
            },
            &page);
        EXPECT_EQ(stored.code, c.expected) << c.what << ": " << curl_easy_strerror(stored.code) << ", " << stored.error;
        const bool accepted = c.expected == CURLE_OK;
        EXPECT_EQ(std::filesystem::exists(root.file(c.file)), accepted) << c.what;
        if (accepted) {
            EXPECT_EQ(root.read(c.file), page) << c.what;
        }
    }

    // The certificate also serves as its own authority, for 127.0.0.1.
    const Transfer listed = perform(ftpUrl(peer, ""), [&](CURL* curl) {
        login(curl, peer);
        curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
        curl_easy_setopt(curl, CURLOPT_CAINFO, peer.certificateFile().c_str());
        curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
    });
    ASSERT_EQ(listed.code, CURLE_OK) << listed.error;
    EXPECT_EQ(names(listed.body), std::vector<std::string>{"pinned.html"});
    const std::vector<std::string> commands = peer.commands();
    EXPECT_TRUE(has(commands, "PROT P"));
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "PASS ***"), 2)
        << "the pinned upload and the listing log in; the plain login stops at USER";
}

TEST(NetPeers, SftpLetsTheKeyInAndChecksTheHost)
{
    TempDir root;
    root.write("Marker.TXT", "here");
    TempDir other;
    const std::string emptyKnownHosts = other.write("known_hosts", "");
    SftpPeer peer(root.path());
    const std::string fingerprint = peer.fingerprint();
    ASSERT_EQ(fingerprint.rfind("SHA256:", 0), 0u) << fingerprint;

    struct Case {
        const char* what;
        std::string knownHosts;
        std::string sha256; // base64, as after "SHA256:"
        bool accepted;
    };
    const Case cases[] = {
        {"known hosts that know it", peer.knownHostsFile(), "", true},
        {"empty known hosts", emptyKnownHosts, "", false},
        {"its fingerprint", "", fingerprint.substr(7), true},
        {"another fingerprint", "", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", false},
    };
    for (const Case& c : cases) {
        const Transfer listed = perform("sftp://127.0.0.1:" + std::to_string(peer.port()) + "/~/", [&](CURL* curl) {
            curl_easy_setopt(curl, CURLOPT_USERNAME, peer.user().c_str());
            curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PUBLICKEY));
            curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, peer.keyFile().c_str());
            curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
            if (!c.knownHosts.empty()) {
                curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, c.knownHosts.c_str());
            }
            if (!c.sha256.empty()) {
                curl_easy_setopt(curl, CURLOPT_SSH_HOST_PUBLIC_KEY_SHA256, c.sha256.c_str());
            }
        });
        EXPECT_EQ(listed.code == CURLE_OK, c.accepted) << c.what << ": " << listed.error;
        // The user starts in root.
        EXPECT_EQ(listed.body.find("Marker.TXT") != std::string::npos, c.accepted) << c.what << ": " << listed.body;
    }
}

TEST(NetPeers, APeerThatCannotStartSaysWhy)
{
    TempDir dir;
    const std::string missing = dir.file("missing");
    const std::function<void()> starts[] = {
        [&] { FtpPeer peer(missing); },
        [&] { FtpPeer peer(missing, FtpPeerOptions{.tls = true}); },
        [&] { SftpPeer peer(missing); },
    };
    for (const auto& start : starts) {
        try {
            start();
            ADD_FAILURE() << "a peer started on a missing folder";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("ended before it was ready"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
        }
    }
}
