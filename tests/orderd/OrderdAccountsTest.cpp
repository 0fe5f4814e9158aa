// What guessing and creating accounts may cost, and whom: wrong passwords
// slow down the address that sends them, never the account's owner
// elsewhere; account creation is bounded per address and in all; a name
// without an account costs what one with an account costs. And the
// program's own ways into the account page keep working.

#include "OrderdHarness.h"
#include "core/common/IniFile.h"
#include "core/online/AccountManager.h"
#include "core/orders/OrderService.h"
#include "core/settings/UserData.h"
#include "orderd/Accounts.h"
#include "orderd/PasswordHasher.h"

#include <gtest/gtest.h>
#include <regex>

using namespace quillane;
using namespace quillane::test;

namespace {

// A request as a reverse proxy forwards it for the client at address.
Reply from(const std::string& address, const std::string& method, const std::string& url, const std::string& body = {})
{
    CURL* curl = curl_easy_init();
    Reply reply;
    curl_slist* headers = curl_slist_append(nullptr, ("X-Forwarded-For: " + address).c_str());
    headers = curl_slist_append(headers, "Expect:");
    if (method == "POST") {
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* target) {
            static_cast<Reply*>(target)->Body.append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(
        curl, CURLOPT_HEADERFUNCTION, +[](char* data, size_t size, size_t count, void* target) {
            const std::string line(data, size * count);
            if (line.size() > 13 && (line.starts_with("Retry-After: ") || line.starts_with("retry-after: "))) {
                static_cast<Reply*>(target)->Headers["retry-after"] = line.substr(13, line.find('\r') - 13);
            }
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.Status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK) {
        reply.Status = -static_cast<long>(rc);
    }
    return reply;
}

Reply fetch(const Service& service, const std::string& address, const std::string& user, const std::string& password)
{
    return from(
        address, "GET",
        service.url("getorders.php4?UserID=" + Service::escaped(user) + "&Password=" + Service::escaped(password)));
}

long fetchStatus(const Service& service, const std::string& address, const std::string& password)
{
    return fetch(service, address, "gartenshop", password).Status;
}

TEST(OrderdGuessing, WrongPasswordsSlowTheAddressNeverTheOwnerElsewhere)
{
    Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", "Rosen-2026!");
    Service service(storage, {"--trust-proxy"});
    const std::string attacker = "198.51.100.7";
    const std::string owner = "203.0.113.5";

    // Far more guesses than any limit, as fast as they go.
    std::map<long, int> answers;
    for (int i = 0; i < 40; ++i) {
        ++answers[fetchStatus(service, attacker, "falsch-" + std::to_string(i))];
    }
    EXPECT_EQ(answers[403], 5) << "five tries, then the address waits";
    EXPECT_EQ(answers[429], 35);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(fetchStatus(service, owner, "Rosen-2026!"), 200) << "the owner elsewhere gets in at once, " << i;
    }
    // At the guessing address even the right password waits, then gets in.
    const Reply waiting = fetch(service, attacker, "gartenshop", "Rosen-2026!");
    EXPECT_EQ(waiting.Status, 429);
    ASSERT_EQ(waiting.header("retry-after"), "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(fetchStatus(service, attacker, "Rosen-2026!"), 200);

    // Guesses at many names from one address add up for that address.
    const std::string sweeper = "198.51.100.8";
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(fetch(service, sweeper, "name" + std::to_string(i), "falsch").Status, 403) << i;
    }
    EXPECT_EQ(fetchStatus(service, sweeper, "Rosen-2026!"), 429);
    EXPECT_EQ(fetchStatus(service, owner, "Rosen-2026!"), 200);

    // An IPv6 client has a whole /64 to pick addresses from: it counts as one.
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(fetchStatus(service, "2001:db8:1:2::" + std::to_string(i + 1), "falsch"), 403) << i;
    }
    EXPECT_EQ(fetchStatus(service, "2001:db8:1:2:ffff::99", "Rosen-2026!"), 429);
    EXPECT_EQ(fetchStatus(service, "2001:db8:1:3::1", "Rosen-2026!"), 200);
}

// The form the account page posts to create an account.
std::string createForm(const std::string& name, const std::string& password = "Gr%FCn-2026")
{
    return "Country=DE&Action=create&UserID=" + name + "&password=" + password + "&password2=" + password;
}

TEST(OrderdAccountCreation, IsLimitedPerAddressAndInAll)
{
    Storage storage(Backend::Sqlite);
    Service service(storage, {"--trust-proxy"});
    const std::string page = service.url("accountmanager.php4");

    // A form that is refused costs nothing and counts for nothing.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(from("198.51.100.1", "POST", page, createForm("kurz" + std::to_string(i), "abc")).Status, 400);
    }
    int created = 0;
    for (int i = 0; i < 5; ++i, ++created) {
        const Reply r = from("198.51.100.1", "POST", page, createForm("erster" + std::to_string(i)));
        ASSERT_EQ(r.Status, 200) << i << ": " << r.Body;
    }
    const Reply refused = from("198.51.100.1", "POST", page, createForm("erster5"));
    EXPECT_EQ(refused.Status, 429) << refused.Body;
    const std::string retry = refused.header("retry-after");
    ASSERT_FALSE(retry.empty());
    EXPECT_GT(std::stol(retry), 3000);
    EXPECT_LE(std::stol(retry), 3600);
    EXPECT_NE(refused.Body.find("Zuletzt wurden zu viele Konten angelegt. Bitte versuchen Sie es in 60 Minuten"),
              std::string::npos)
        << refused.Body;
    EXPECT_EQ(refused.Body.find("<!-- Password="), std::string::npos);
    EXPECT_EQ(service.getOrders("erster5", "Gr\xFCn-2026").Status, 403) << "no account was made";
    // A taken name counts too: asking for names would tell which are taken.
    EXPECT_EQ(from("198.51.100.1", "POST", page, createForm("erster0")).Status, 429);

    // Other addresses go on, up to the limit of all addresses together.
    for (int address = 2; created < 60; ++address) {
        for (int i = 0; i < 5 && created < 60; ++i, ++created) {
            const std::string name = "konto" + std::to_string(address) + "x" + std::to_string(i);
            const Reply r = from("198.51.100." + std::to_string(address), "POST", page, createForm(name));
            ASSERT_EQ(r.Status, 200) << name << ": " << r.Body;
        }
    }
    const Reply full = from("203.0.113.9", "POST", page, "Country=GB&" + createForm("letzter").substr(11));
    EXPECT_EQ(full.Status, 429) << full.Body;
    EXPECT_NE(full.Body.find("Too many accounts were created lately"), std::string::npos) << full.Body;
    EXPECT_EQ(service.getOrders("letzter", "Gr\xFCn-2026").Status, 403);
    // Logging in is no creation.
    EXPECT_EQ(service.getOrders("erster0", "Gr\xFCn-2026").Status, 200);

    // The administrator's command line is not limited.
    addAccount(storage, "vomadmin", "Rosen-2026!");
    EXPECT_EQ(service.getOrders("vomadmin", "Rosen-2026!").Status, 200);
}

// A hasher that notes the settings part ("$argon2id$v=19$m=...,t=...,p=...")
// of every hash a password is checked against.
class NotingHasher : public orderd::PasswordHasher {
public:
    using PasswordHasher::PasswordHasher;

    bool Verify(const std::string& hash, std::string_view password) const override
    {
        Checked.push_back(settingsOf(hash));
        return PasswordHasher::Verify(hash, password);
    }
    static std::string settingsOf(const std::string& hash)
    {
        const std::size_t salt = hash.rfind('$', hash.rfind('$') - 1);
        return hash.substr(0, salt);
    }

    mutable std::vector<std::string> Checked;
};

TEST(OrderdGuessing, ANameWithoutAccountCostsWhatARealOneCosts)
{
    // Accounts made with a cost other than the service's: an unknown name
    // checked against a hash of the service's own cost would answer in
    // another time than a real account does.
    Storage storage(Backend::Sqlite);
    auto store = orderd::OpenOrderStore(storage.address());
    const orderd::PasswordHasher older({1, 8});
    const orderd::PasswordHasher stronger({2, 9});
    ASSERT_TRUE(store->AddAccount("gartenshop", older.Hash("Rosen-2026!"), "", 0));
    ASSERT_TRUE(store->AddAccount("blumenladen", stronger.Hash("Tulpen-2026"), "", 0));
    const std::set<std::string> real{NotingHasher::settingsOf(store->FindAccount("gartenshop")->PasswordHash),
                                     NotingHasher::settingsOf(store->FindAccount("blumenladen")->PasswordHash)};

    NotingHasher service({1, 10});
    orderd::LoginThrottle throttle({5, std::chrono::seconds(60), std::chrono::minutes(15)},
                                   {1000, std::chrono::seconds(300), std::chrono::minutes(15)});
    orderd::Accounts accounts(*store, service, throttle);
    std::set<std::string> standIns;
    for (const std::string name : {"unbekannt", "nobody", "a", "x y", "shop1", "shop2", "shop3", "shop4"}) {
        service.Checked.clear();
        const auto result = accounts.LogIn(name, "falsch", "192.0.2.1");
        EXPECT_EQ(result.Outcome, orderd::LoginOutcome::Wrong) << name;
        ASSERT_EQ(service.Checked.size(), 1u) << name;
        EXPECT_TRUE(real.contains(service.Checked[0])) << name << " checked against " << service.Checked[0];
        standIns.insert(service.Checked[0]);
        // The same name costs the same each time, as a real account does.
        service.Checked.clear();
        accounts.LogIn(name, "anders", "192.0.2.1");
        EXPECT_EQ(standIns.count(service.Checked.at(0)), 1u) << name;
    }
    EXPECT_EQ(standIns, real) << "unknown names stand in for either account";

    // The right password brings a hash to the service's cost.
    EXPECT_EQ(accounts.LogIn("gartenshop", "Rosen-2026!", "192.0.2.2").Outcome, orderd::LoginOutcome::Ok);
    const std::string upgraded = store->FindAccount("gartenshop")->PasswordHash;
    EXPECT_EQ(NotingHasher::settingsOf(upgraded), "$argon2id$v=19$m=10240,t=1,p=1");
    EXPECT_EQ(accounts.LogIn("gartenshop", "Rosen-2026!", "192.0.2.2").Outcome, orderd::LoginOutcome::Ok);
    EXPECT_EQ(store->FindAccount("gartenshop")->PasswordHash, upgraded) << "made once";
}

TEST(OrderdAccountPage, LogInPostsAndTheProgramsOwnRequestsStillWork)
{
    Storage storage(Backend::Sqlite);
    Service service(storage);
    const std::string page = service.url("accountmanager.php4");
    const std::string base = service.url("").substr(0, service.url("").size() - std::string("qln/shopscripts/").size());

    // Every form of the page posts: no password in an address.
    const Reply start = request("GET", page + "?Country=DE");
    ASSERT_EQ(start.Status, 200);
    EXPECT_NE(start.Body.find("<form id=\"login\" method=\"post\""), std::string::npos) << start.Body;
    EXPECT_EQ(start.Body.find("method=\"get\""), std::string::npos) << start.Body;

    // The program's settings, with this service as its order service.
    const std::string programDir = storage.dataDir() + "-program/";
    std::filesystem::create_directories(programDir);
    {
        IniFile settings = OpenSettingsFile(programDir);
        settings.WriteString("Services", "OrderService", base);
        settings.UpdateFile();
    }
    // Created on the page, the account is taken over by the program.
    const Reply created = request("POST", page, createForm("neu.shop"));
    ASSERT_EQ(created.Status, 200) << created.Body;
    EXPECT_TRUE(TakeOverAccount(programDir, page, created.Body));
    const IniFile settings = OpenSettingsFile(programDir);
    const std::string user = settings.ReadString("Account", "UserID", "");
    const std::string password = settings.ReadString("Account", "Password", "");
    EXPECT_EQ(user, "neu.shop");
    EXPECT_EQ(password, "Gr\xFCn-2026");

    // Logged in with the form's post, and with the addresses the program
    // opens the page and fetches the orders with.
    const Reply posted = request("POST", page, "Country=DE&Action=show&UserID=neu.shop&password=Gr%FCn-2026");
    EXPECT_EQ(posted.Status, 200);
    EXPECT_NE(posted.Body.find("<dl id=\"account\">"), std::string::npos) << posted.Body;
    const Reply shown = request("GET", AccountPageUrl(base, "DE", "show", user, password));
    EXPECT_EQ(shown.Status, 200);
    EXPECT_NE(shown.Body.find("<dl id=\"account\">"), std::string::npos) << shown.Body;
    EXPECT_EQ(request("GET", OrderRequestUrl(base, user, password)).Status, 200);
    std::filesystem::remove_all(programDir);
}

} // namespace
