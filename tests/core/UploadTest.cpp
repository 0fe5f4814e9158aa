#include "core/publish/Upload.h"
#include "NetPeers.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/messages/PublishMessages.h"
#include "core/publish/UploadManifest.h"

#include <gtest/gtest.h>

#include <chrono>

#include <unistd.h>

#include <thread>

#include <sys/socket.h>

#include <netinet/in.h>

#include <arpa/inet.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <tuple>

using namespace quillane;
using quillane::test::FtpPeer;
using quillane::test::FtpPeerOptions;
using quillane::test::SftpPeer;
using quillane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// A picture whose bytes hold CR LF pairs and a lone LF: ASCII mode would change them.
const std::string kPngBytes = std::string("\x89PNG\r\n\x1a\n\0\0\r\n\n\r", 15);

// A small shop: a file in the shop folder, pictures two folders down, and a folder that sorts before the files.
void writeShop(const TempDir& dir)
{
    dir.write("shop/index.html", "<html>\n<body>index</body>\n</html>\n");
    dir.write("shop/pictures/small/x.jpg", std::string("\xff\xd8\r\n\xff\xd9", 6));
    dir.write("shop/pictures/logo.png", kPngBytes);
    dir.write("shop/database/db_0.js", "var a = 1;\n");
}

std::string shopOf(const TempDir& dir)
{
    return dir.file("shop/");
}

FtpSettings ftpSettings(const FtpPeer& peer, const std::string& folder, const std::string& scheme = "")
{
    FtpSettings s;
    s.Host = scheme + "127.0.0.1";
    s.Port = std::to_string(peer.port());
    s.Login = peer.user();
    s.Password = peer.password();
    s.Folder = folder;
    return s;
}

// What a run reported, in order.
struct Recorded {
    std::vector<std::string> statuses;
    std::vector<std::pair<std::int64_t, std::int64_t>> shop; // done, total
    std::vector<std::int64_t> started;
    std::int64_t lastFileBytes = -1;

    UploadSink sink()
    {
        UploadSink s;
        s.Status = [this](const Message& text) { statuses.push_back(EnglishText(text)); };
        s.ShopProgress = [this](std::int64_t done, std::int64_t total) { shop.emplace_back(done, total); };
        s.FileStarted = [this](std::int64_t expected) { started.push_back(expected); };
        s.FileProgress = [this](std::int64_t sent) { lastFileBytes = sent; };
        return s;
    }
};

std::vector<std::string> commandsNamed(const FtpPeer& peer, const std::string& verb)
{
    std::vector<std::string> found;
    for (const std::string& c : peer.commands()) {
        if (c.rfind(verb + " ", 0) == 0) {
            found.push_back(c);
        }
    }
    return found;
}

// The position of the first command that starts with text, or the number of commands.
std::size_t firstIndex(const std::vector<std::string>& commands, const std::string& text)
{
    const auto it =
        std::find_if(commands.begin(), commands.end(), [&](const std::string& c) { return c.rfind(text, 0) == 0; });
    return static_cast<std::size_t>(it - commands.begin());
}

} // namespace

TEST(UploadTargetTest, HostSchemePortAndFolder)
{
    struct Case {
        std::string host, port, folder;
        UploadScheme scheme;
        std::string shownHost;
        int expectedPort;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"ftp.example.com", "", "shop", UploadScheme::Ftp, "ftp.example.com", 21, {"shop"}},
        {"ftp.example.com", "x1", "/shop", UploadScheme::Ftp, "ftp.example.com", 21, {"shop"}},
        {"ftp://Example.com/", "2121", "a//b/", UploadScheme::Ftp, "Example.com", 2121, {"a", "b"}},
        {"FTPS://example.com", "", "/", UploadScheme::Ftps, "example.com", 21, {}},
        {"sftp://example.com", "", "", UploadScheme::Sftp, "example.com", 22, {}},
        {"sftp://example.com:2222", "22", "www/shop", UploadScheme::Sftp, "example.com", 2222, {"www", "shop"}},
        {"  [::1]:990 ", "", "s", UploadScheme::Ftp, "::1", 990, {"s"}},
        {"example.com", "70000", "s", UploadScheme::Ftp, "example.com", 21, {"s"}},
    };
    for (const Case& c : cases) {
        FtpSettings s;
        s.Host = c.host;
        s.Port = c.port;
        s.Folder = c.folder;
        const UploadTarget t = MakeUploadTarget(s);
        EXPECT_EQ(t.Scheme, c.scheme) << c.host;
        EXPECT_EQ(t.Host, c.shownHost) << c.host;
        EXPECT_EQ(t.Port, c.expectedPort) << c.host;
        EXPECT_EQ(t.Folder, c.names) << c.host;
    }

    for (const std::string& bad : std::vector<std::string>{"", "   ", "http://example.com", "ftp://user@example.com",
                                                           "example.com/shop", "exa\nmple.com"}) {
        FtpSettings s;
        s.Host = bad;
        EXPECT_THROW(MakeUploadTarget(s), Error) << bad;
    }
    FtpSettings s;
    s.Host = "example.com";
    s.Folder = "shop\r\nDELE index.html";
    EXPECT_THROW(MakeUploadTarget(s), Error);
}

TEST(UploadTargetTest, TextTypesGoInAsciiOnly)
{
    for (const std::string text : {"index.html", "A.HTM", "x.js", "s.css", "t.txt", "f.xml", "i.svg"}) {
        EXPECT_TRUE(IsTextFile(text)) << text;
    }
    for (const std::string binary :
         {"x.jpg", "x.gif", "x.png", "f.ico", "p.webp", "d.pdf", "font.woff2", "README", "archive.html.gz"}) {
        EXPECT_FALSE(IsTextFile(binary)) << binary;
    }
}

// The keys as the servers show them: a certificate's pin always ends in
// base64 padding, a host key as ssh shows it never does.
TEST(UploadTargetTest, AcceptedKeysAreKeptPerServer)
{
    TempDir home;
    FtpSettings s;
    s.Host = "ftps://Shop.Example";
    const UploadTarget ftps = MakeUploadTarget(s);
    for (const std::string& key :
         {std::string("sha256//8uAKiJJEQV/sw6QgbDER7iMqba2qp81Fclezsf+KVaY="), std::string("SHA256:k3y+/9")}) {
        SaveTrustedKey(home.path(), ftps, key);
        const IniFile ini(home.file("quillane.ini"));
        EXPECT_EQ(ini.ReadString("TrustedKeys", "ftps://shop.example:21", ""), key);
        EXPECT_EQ(ini.ReadSection("TrustedKeys").size(), 1u);
    }
    // Another port is another server.
    s.Port = "990";
    SaveTrustedKey(home.path(), MakeUploadTarget(s), "SHA256:other");
    SaveTrustedKey(home.path(), ftps, "");
    EXPECT_EQ(IniFile(home.file("quillane.ini")).ReadSection("TrustedKeys"),
              std::vector<std::string>{"ftps://shop.example:990"});

    // Neither a line break in the key nor a host that would split its line is stored.
    EXPECT_THROW(SaveTrustedKey(home.path(), ftps, "SHA256:a\nb"), Error);
    s.Host = "shop=1.example";
    s.Port = "";
    bool refused = false;
    try {
        SaveTrustedKey(home.path(), MakeUploadTarget(s), "SHA256:x");
    } catch (const Error&) {
        refused = true;
    }
    EXPECT_TRUE(refused);
    EXPECT_EQ(IniFile(home.file("quillane.ini")).ReadSection("TrustedKeys").size(), 1u);
}

TEST(UploadFtpTest, CreatesTheFolderNameByNameThenSendsFilesBeforeSubfolders)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    FtpPeer peer(server.path());
    Recorded rec;

    const UploadResult result = UploadShop(shopOf(local), ftpSettings(peer, "a/b/c"), rec.sink());

    const std::vector<std::string> commands = peer.commands();
    // a, b and c are made and entered in that order before any file goes.
    const std::size_t mkdA = firstIndex(commands, "MKD /a");
    const std::size_t mkdB = firstIndex(commands, "MKD /a/b");
    const std::size_t mkdC = firstIndex(commands, "MKD /a/b/c");
    const std::size_t firstStor = firstIndex(commands, "STOR");
    ASSERT_LT(firstStor, commands.size());
    EXPECT_LT(mkdA, mkdB);
    EXPECT_LT(mkdB, mkdC);
    EXPECT_LT(mkdC, firstStor);

    EXPECT_EQ(rec.statuses,
              (std::vector<std::string>{"Uploading: index.html", "Uploading: database/db_0.js",
                                        "Uploading: pictures/logo.png", "Uploading: pictures/small/x.jpg"}));
    // Bytes arrive as they are, the text file in ASCII mode and the pictures in binary.
    for (const std::string name : {"index.html", "database/db_0.js", "pictures/logo.png", "pictures/small/x.jpg"}) {
        EXPECT_EQ(ReadFile(server.file("a/b/c/" + name)), ReadFile(local.file("shop/" + name))) << name;
    }
    const std::vector<std::string> types = commandsNamed(peer, "TYPE");
    EXPECT_NE(std::find(types.begin(), types.end(), "TYPE A"), types.end());
    EXPECT_NE(std::find(types.begin(), types.end(), "TYPE I"), types.end());

    // The whole-shop bar ends at its maximum exactly with the last file.
    const std::int64_t total = GetProjectSize(shopOf(local));
    ASSERT_FALSE(rec.shop.empty());
    EXPECT_EQ(rec.shop.back(), std::make_pair(total, total));
    for (std::size_t i = 0; i + 1 < rec.shop.size(); ++i) {
        EXPECT_LT(rec.shop[i].first, total);
        EXPECT_EQ(rec.shop[i].second, total);
    }
    EXPECT_EQ(rec.started.size(), 4u);
    EXPECT_EQ(result.FilesSent, 4);
    EXPECT_EQ(result.BytesSent, total);
    EXPECT_EQ(result.Target, "ftp://127.0.0.1:" + std::to_string(peer.port()) + "/a/b/c");
}

TEST(UploadFtpTest, ExistingFoldersAreEnteredWhateverTheirLetterCase)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    fs::create_directories(server.file("Shop/Pictures"));
    FtpPeer peer(server.path());

    // "/shop" and "shop" both mean the folder below the login folder.
    for (const std::string folder : {"/shop", "shop", "shop/"}) {
        UploadShop(shopOf(local), ftpSettings(peer, folder), {});
    }
    // Only the folders the server lacks are made, under the server's spelling of their parents.
    EXPECT_EQ(commandsNamed(peer, "MKD"), (std::vector<std::string>{"MKD /Shop/database", "MKD /Shop/Pictures/small"}));
    EXPECT_EQ(ReadFile(server.file("Shop/Pictures/small/x.jpg")), ReadFile(local.file("shop/pictures/small/x.jpg")));
    EXPECT_FALSE(fs::exists(server.file("shop")));
}

TEST(UploadFtpTest, FilesAndFoldersAreWhatTheyAreNotWhatTheirNamesLookLike)
{
    TempDir local;
    TempDir server;
    local.write("shop/index.html", "<html></html>\n");
    local.write("shop/fonts.v2/LICENSE", "no extension\r\n");
    local.write("shop/fonts.v2/.htaccess", "Options -Indexes\n");
    fs::create_directories(local.file("shop/.git"));
    local.write("shop/.git/config", "tooling, not shop");
    FtpPeer peer(server.path());

    UploadShop(shopOf(local), ftpSettings(peer, "shop"), {});

    EXPECT_EQ(ReadFile(server.file("shop/fonts.v2/LICENSE")), "no extension\r\n");
    EXPECT_EQ(ReadFile(server.file("shop/fonts.v2/.htaccess")), "Options -Indexes\n");
    EXPECT_FALSE(fs::exists(server.file("shop/.git")));
    // The file without an extension went in binary, right after the folder was entered.
    const std::vector<std::string> commands = peer.commands();
    const std::size_t license = firstIndex(commands, "STOR LICENSE");
    ASSERT_LT(license, commands.size());
    const auto lastType = std::find_if(commands.rbegin() + static_cast<long>(commands.size() - license),
                                       commands.rend(), [](const std::string& c) { return c.rfind("TYPE", 0) == 0; });
    ASSERT_NE(lastType, commands.rend());
    EXPECT_EQ(*lastType, "TYPE I");
}

TEST(UploadFtpTest, AWrongPasswordEndsTheUploadAndTheNextOneWorks)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    FtpPeer peer(server.path());
    FtpSettings wrong = ftpSettings(peer, "shop");
    wrong.Password = "not-the-password";
    Recorded rec;

    try {
        UploadShop(shopOf(local), wrong, rec.sink());
        FAIL() << "the upload went through with a wrong password";
    } catch (const Error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("530"), std::string::npos) << message;
        EXPECT_EQ(message.find("not-the-password"), std::string::npos) << message;
        // Said in the merchant's language by its key.
        EXPECT_EQ(e.Said().Key, msg::UploadLoginDenied);
    }
    EXPECT_TRUE(rec.statuses.empty());
    EXPECT_FALSE(fs::exists(server.file("shop")));

    UploadShop(shopOf(local), ftpSettings(peer, "shop"), {});
    EXPECT_TRUE(fs::exists(server.file("shop/pictures/small/x.jpg")));
}

TEST(UploadFtpTest, FailuresNameTheFileAndTheServersReply)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    FtpPeer peer(server.path());
    // A folder where the shop's file should go: the server refuses to store over it.
    fs::create_directories(server.file("shop/index.html"));

    try {
        UploadShop(shopOf(local), ftpSettings(peer, "shop"), {});
        FAIL() << "the upload reported success";
    } catch (const Error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("index.html"), std::string::npos) << message;
        EXPECT_NE(message.find("55"), std::string::npos) << message; // a 55x reply of the server
        EXPECT_EQ(e.Said().Key, msg::UploadStoreFailed);
    }
}

// A transfer that breaks off after the server said "125 Data connection
// already open": the message gives the transfer's own reason, not that reply.
TEST(UploadFtpTest, ABrokenTransferSaysWhyAndQuotesNoReplyThatIsNoRefusal)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    FtpPeer peer(server.path());
    // The picture shrinks after its size was taken: the transfer ends short.
    std::string current;
    UploadSink sink;
    sink.Status = [&current](const Message& text) { current = EnglishText(text); };
    sink.FileStarted = [&](std::int64_t) {
        if (current.ends_with("pictures/small/x.jpg")) {
            fs::resize_file(local.file("shop/pictures/small/x.jpg"), 2);
        }
    };
    try {
        UploadShop(shopOf(local), ftpSettings(peer, "shop"), sink);
        FAIL() << "the upload reported success";
    } catch (const Error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("x.jpg"), std::string::npos) << message;
        // Neither "125 Data connection already open" nor "226 Transfer complete".
        EXPECT_FALSE(std::regex_search(message, std::regex(": [1-3][0-9][0-9] "))) << message;
        EXPECT_NE(message.find("2 out of 6 bytes"), std::string::npos) << message;
    }
    EXPECT_FALSE(commandsNamed(peer, "STOR").empty()); // the transfer had begun
}

// A server that greets, then answers nothing: the upload ends with an error
// after the stall time instead of waiting for ever.
TEST(UploadFtpTest, AServerThatStopsAnsweringEndsTheUploadWithAnError)
{
    TempDir local;
    writeShop(local);
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::thread silent([listener] {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0) {
            return;
        }
        const char greeting[] = "220 ready\r\n";
        (void)!::write(client, greeting, sizeof greeting - 1);
        char buffer[256];
        while (::read(client, buffer, sizeof buffer) > 0) { // heard, never answered
        }
        ::close(client);
    });

    FtpSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = std::to_string(ntohs(address.sin_port));
    settings.Login = "merchant";
    settings.Password = "secret";
    settings.Folder = "shop";
    settings.StallSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    try {
        UploadShop(shopOf(local), settings, {});
    } catch (const Error& e) {
        message = e.what();
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    ::shutdown(listener, SHUT_RDWR);
    ::close(listener);
    silent.join();
    EXPECT_FALSE(message.empty()) << "the upload reported success";
    EXPECT_LT(waited, std::chrono::seconds(30)) << message;
    EXPECT_NE(message.find("timeout"), std::string::npos) << message;
}

TEST(UploadFtpTest, ControlCharactersInNamesAreRefusedBeforeAnythingIsSent)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    local.write("shop/pictures/bad\r\nDELE index.html.jpg", "x");
    FtpPeer peer(server.path());

    try {
        UploadShop(shopOf(local), ftpSettings(peer, "shop"), {});
        FAIL() << "a name with a line break was sent";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("pictures/bad"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(commandsNamed(peer, "STOR").empty());
    EXPECT_TRUE(commandsNamed(peer, "MKD").empty());
}

TEST(UploadFtpTest, OnlyChangedFilesAreSentWhenAsked)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    FtpPeer peer(server.path());
    FtpSettings settings = ftpSettings(peer, "shop");
    settings.ChangedOnly = true;

    // The first upload to a target sends everything.
    EXPECT_EQ(UploadShop(shopOf(local), settings, {}).FilesSent, 4);

    // Nothing changed: nothing is sent, and the server is not even logged in to.
    const std::size_t commandsBefore = peer.commands().size();
    Recorded unchanged;
    const UploadResult nothing = UploadShop(shopOf(local), settings, unchanged.sink());
    EXPECT_EQ(nothing.FilesSent, 0);
    EXPECT_EQ(nothing.FilesUnchanged, 4);
    EXPECT_EQ(peer.commands().size(), commandsBefore);
    ASSERT_FALSE(unchanged.shop.empty());
    EXPECT_EQ(unchanged.shop.back().first, unchanged.shop.back().second);

    local.write("shop/database/db_0.js", "var a = 2;\n");
    local.write("shop/pictures/new.png", kPngBytes);
    const std::size_t before = commandsNamed(peer, "STOR").size();
    Recorded rec;
    const UploadResult changed = UploadShop(shopOf(local), settings, rec.sink());
    const std::vector<std::string> stored = commandsNamed(peer, "STOR");
    EXPECT_EQ(std::vector<std::string>(stored.begin() + static_cast<long>(before), stored.end()),
              (std::vector<std::string>{"STOR db_0.js", "STOR new.png"}));
    EXPECT_EQ(changed.FilesSent, 2);
    EXPECT_EQ(changed.FilesUnchanged, 3);
    EXPECT_EQ(changed.BytesSent, static_cast<std::int64_t>(11 + kPngBytes.size()));
    EXPECT_EQ(ReadFile(server.file("shop/database/db_0.js")), "var a = 2;\n");
    // The bar still ends at the whole shop.
    const std::int64_t total = GetProjectSize(shopOf(local));
    EXPECT_EQ(rec.shop.back(), std::make_pair(total, total));

    // Without the box, and with the record of what was sent lost, everything goes again.
    settings.ChangedOnly = false;
    EXPECT_EQ(UploadShop(shopOf(local), settings, {}).FilesSent, 5);
    settings.ChangedOnly = true;
    for (const auto& entry : fs::directory_iterator(local.path())) {
        if (entry.path().filename().string().rfind("shop.sent-", 0) == 0) {
            WriteTextFile(entry.path().string(), "\x01garbage");
        }
    }
    EXPECT_EQ(UploadShop(shopOf(local), settings, {}).FilesSent, 5);
    // Another folder on the same server is another target.
    settings.Folder = "other";
    EXPECT_EQ(UploadShop(shopOf(local), settings, {}).FilesSent, 5);
}

TEST(UploadFtpTest, AFileWhoseTransferBrokeIsSentAgain)
{
    TempDir local;
    writeShop(local);
    const std::string path = UploadManifest::PathFor(shopOf(local), "target");
    const UploadManifest::Entry entry{5, std::string(64, 'a')};
    {
        UploadManifest m(path);
        m.Sent("index.html", entry);
        m.Sent("db.js", entry);
        m.Forget("index.html"); // struck off before a transfer that never ended
    }
    // A write cut off in the middle of a line.
    WriteTextFile(path, ReadFile(path) + "+\t5\taaaa");
    UploadManifest again(path);
    EXPECT_FALSE(again.Unchanged("index.html", entry));
    EXPECT_TRUE(again.Unchanged("db.js", entry));
    EXPECT_FALSE(again.Unchanged("db.js", {6, entry.Sha256}));
    // What is appended after a torn line is read back whole.
    again.Sent("new.js", entry);
    EXPECT_TRUE(UploadManifest(path).Unchanged("new.js", entry));
}

TEST(UploadFtpTest, AStoppedUploadSaysSoAndIsNotFinished)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    FtpPeer peer(server.path());
    std::stop_source stop;
    UploadSink sink;
    sink.Status = [&stop](const Message&) { stop.request_stop(); };

    try {
        UploadShop(shopOf(local), ftpSettings(peer, "shop"), sink, stop.get_token());
        FAIL() << "a stopped upload reported success";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("cancelled"), std::string::npos) << e.what();
        EXPECT_EQ(e.Said().Key, msg::UploadCancelled);
    }
    EXPECT_FALSE(fs::exists(server.file("shop/pictures/small/x.jpg")));
}

TEST(UploadFtpsTest, AnUnknownCertificateIsRefusedUntilItsKeyIsAccepted)
{
    TempDir local;
    TempDir server;
    writeShop(local);
    FtpPeer peer(server.path(), FtpPeerOptions{.tls = true});
    FtpSettings settings = ftpSettings(peer, "shop", "ftps://");

    try {
        UploadShop(shopOf(local), settings, {});
        FAIL() << "an unknown certificate was accepted";
    } catch (const UnknownServerKey& e) {
        EXPECT_EQ(e.Key, peer.certificatePin());
        EXPECT_NE(std::string(e.what()).find(peer.certificatePin()), std::string::npos) << e.what();
    }
    // The merchant's login never reached the server that could not be verified.
    const std::vector<std::string> users = commandsNamed(peer, "USER");
    EXPECT_EQ(std::find(users.begin(), users.end(), "USER " + peer.user()), users.end());

    settings.TrustedKey = peer.certificatePin();
    UploadShop(shopOf(local), settings, {});
    EXPECT_EQ(ReadFile(server.file("shop/pictures/logo.png")), kPngBytes);
    EXPECT_FALSE(commandsNamed(peer, "AUTH").empty());

    // A different key than the one accepted is refused again.
    settings.TrustedKey = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
    EXPECT_THROW(UploadShop(shopOf(local), settings, {}), UnknownServerKey);
}

TEST(UploadSftpTest, SendsThroughSshAndRefusesAnUnknownHostKey)
{
    TempDir local;
    TempDir server;
    TempDir empty;
    writeShop(local);
    SftpPeer peer(server.path());
    FtpSettings settings;
    settings.Host = "sftp://127.0.0.1";
    settings.Port = std::to_string(peer.port());
    settings.Login = peer.user();
    settings.KeyFile = peer.keyFile();
    settings.Folder = "/www/shop";
    settings.KnownHostsFile = empty.file("known_hosts");

    try {
        UploadShop(shopOf(local), settings, {});
        FAIL() << "an unknown host key was accepted";
    } catch (const UnknownServerKey& e) {
        EXPECT_EQ(e.Key, peer.fingerprint());
        EXPECT_NE(std::string(e.what()).find(peer.fingerprint()), std::string::npos) << e.what();
        EXPECT_EQ(e.Said().Key, msg::UploadHostKeyUnknown);
    }
    EXPECT_FALSE(fs::exists(server.file("www")));

    settings.KnownHostsFile = peer.knownHostsFile();
    Recorded rec;
    const UploadResult result = UploadShop(shopOf(local), settings, rec.sink());
    for (const std::string name : {"index.html", "database/db_0.js", "pictures/logo.png", "pictures/small/x.jpg"}) {
        EXPECT_EQ(ReadFile(server.file("www/shop/" + name)), ReadFile(local.file("shop/" + name))) << name;
    }
    EXPECT_EQ(result.FilesSent, 4);
    EXPECT_EQ(rec.statuses.front(), "Uploading: index.html");

    // A key the merchant accepted stands in for known_hosts.
    settings.KnownHostsFile = empty.file("known_hosts");
    settings.TrustedKey = peer.fingerprint();
    settings.Folder = "www/shop";
    EXPECT_EQ(UploadShop(shopOf(local), settings, {}).FilesSent, 4);
}

TEST(UploadCliTest, PublishesAProjectsShopAndFailsWithOneLine)
{
    TempDir home;
    TempDir server;
    FtpPeer peer(server.path());
    const auto settings = [&](const std::string& password) {
        WriteTextFile(home.file("quillane.ini"), "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n"
                                                 "[FTP]\r\nhost=127.0.0.1\r\nport=" +
                                                     std::to_string(peer.port()) + "\r\nlogin=" + peer.user() +
                                                     "\r\npass=" + password + "\r\nfolder=/www\r\n");
    };
    settings(peer.password());
    home.write("Projekte/Laden.shp", "");
    const auto run = [&](std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        args.insert(args.begin(), {"--home", home.path()});
        const int code = cli::RunCli(args, out, err);
        return std::make_tuple(code, out.str(), err.str());
    };

    // No shop yet: nothing to publish.
    auto [code, out, err] = run({"upload", "Laden"});
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("index.html"), std::string::npos) << err;

    home.write("Projekte/Laden/shop/index.html", "<html></html>\n");
    home.write("Projekte/Laden/shop/pictures/a.jpg", "jpeg");
    std::tie(code, out, err) = run({"upload", "Laden"});
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, "ftp://127.0.0.1:" + std::to_string(peer.port()) + "/www\nsent 2 files, 18 bytes\n");
    EXPECT_EQ(ReadFile(server.file("www/pictures/a.jpg")), "jpeg");

    home.write("Projekte/Laden/shop/pictures/a.jpg", "jpeg2");
    std::tie(code, out, err) = run({"upload", "Laden", "--changed-only"});
    EXPECT_EQ(code, 0) << err;
    EXPECT_NE(out.find("sent 1 files, 5 bytes; 1 unchanged"), std::string::npos) << out;

    settings("wrong");
    std::tie(code, out, err) = run({"upload", "Laden"});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("530"), std::string::npos) << err;
}
