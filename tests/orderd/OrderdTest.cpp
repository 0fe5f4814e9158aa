#include "OrderdHarness.h"

#include "core/common/Text.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <regex>
#include <set>
#include <sys/socket.h>

using namespace quillane;
using namespace quillane::test;

namespace {

// An order as the Standard layout sends it, with a delivery address.
Fields exampleOrder(const std::string& account)
{
    return {
        {"UserID", account},
        {"firstname", "J\xC3\xB6rg"},
        {"lastname", "Beispiel"},
        {"company", "G\xC3\xA4rtnerei & S\xC3\xB6hne"},
        {"street", "Lindenweg 5"},
        {"zip", "12345"},
        {"city", "M\xC3\xBCnchen"},
        {"country", "Deutschland"},
        {"phone", "+49 89 1234"},
        {"fax", ""},
        {"email", "joerg@example.com"},
        {"la_company", ""},
        {"la_firstname", "Anna"},
        {"la_lastname", "Beispiel"},
        {"la_street", "Am Hang 2\nHinterhaus"},
        {"la_zip", "54321"},
        {"la_city", "Stra\xC3\x9F"
                    "burg"},
        {"la_country", "Frankreich"},
        {"la_phone", ""},
        {"la_fax", ""},
        {"la_email", ""},
        {"notes", "Bitte klingeln.\r\nA=B, 50% & 1+1\nGru\xC3\x9F \xE2\x82\xAC \xCE\xA9"},
        {"itemcount", "2"},
        {"item0", "Rosenschere - geschmiedeter Stahl|GT-001|6|3.50|21.00"},
        {"item1", "Gie\xC3\x9Fkanne 10 l - verzinkt|GT-002|1|5.75|5.75"},
        {"subtotal", "26.75"},
        {"qdiscount", "1.05"},
        {"pdiscount", "0.00"},
        {"total", "25.70"},
        {"vat", "4.88"},
        {"shipping", "4.90"},
        {"subamount", "35.48"},
        {"paymentfee", "2.00"},
        {"payment", "nn"},
    };
}

// What the fetch must give for exampleOrder after the date: Windows-1252,
// line breaks and "=" made safe, nothing else changed.
const char* const kExampleLines = "firstname=J\xF6rg\r\n"
                                  "lastname=Beispiel\r\n"
                                  "company=G\xE4rtnerei & S\xF6hne\r\n"
                                  "street=Lindenweg 5\r\n"
                                  "zip=12345\r\n"
                                  "city=M\xFCnchen\r\n"
                                  "country=Deutschland\r\n"
                                  "phone=+49 89 1234\r\n"
                                  "fax=\r\n"
                                  "email=joerg@example.com\r\n"
                                  "la_company=\r\n"
                                  "la_firstname=Anna\r\n"
                                  "la_lastname=Beispiel\r\n"
                                  "la_street=Am Hang 2 Hinterhaus\r\n"
                                  "la_zip=54321\r\n"
                                  "la_city=Stra\xDF"
                                  "burg\r\n"
                                  "la_country=Frankreich\r\n"
                                  "la_phone=\r\n"
                                  "la_fax=\r\n"
                                  "la_email=\r\n"
                                  "notes=Bitte klingeln. | A:B, 50% & 1+1 | Gru\xDF \x80 ?\r\n"
                                  "itemcount=2\r\n"
                                  "item0=Rosenschere - geschmiedeter Stahl|GT-001|6|3.50|21.00\r\n"
                                  "item1=Gie\xDF"
                                  "kanne 10 l - verzinkt|GT-002|1|5.75|5.75\r\n"
                                  "subtotal=26.75\r\n"
                                  "qdiscount=1.05\r\n"
                                  "pdiscount=0.00\r\n"
                                  "total=25.70\r\n"
                                  "vat=4.88\r\n"
                                  "shipping=4.90\r\n"
                                  "subamount=35.48\r\n"
                                  "paymentfee=2.00\r\n"
                                  "payment=nn\r\n"
                                  "queue=\r\n"
                                  "confirmed=false\r\n";

// A small order of one item; marker goes into the notes to tell orders apart.
Fields smallOrder(const std::string& account, const std::string& marker)
{
    return {{"UserID", account},    {"firstname", "Eva"},   {"lastname", "Muster"},
            {"notes", marker},      {"itemcount", "1"},     {"item0", "Schaufel|GT-003|1|9.90|9.90"},
            {"subtotal", "9.90"},   {"qdiscount", "0.00"},  {"pdiscount", "0.00"},
            {"total", "9.90"},      {"vat", "1.88"},        {"shipping", "4.90"},
            {"subamount", "16.68"}, {"paymentfee", "0.00"}, {"payment", "vk"}};
}

Fields without(Fields fields, const std::string& name)
{
    std::erase_if(fields, [&](const auto& f) { return f.first == name; });
    return fields;
}

Fields with(Fields fields, const std::string& name, const std::string& value)
{
    for (auto& f : fields) {
        if (f.first == name) {
            f.second = value;
            return fields;
        }
    }
    fields.emplace_back(name, value);
    return fields;
}

// The order IDs of a fetch reply, in reply order.
std::vector<std::string> orderIds(const std::string& reply)
{
    std::vector<std::string> ids;
    for (const std::string& line : SplitLines(reply)) {
        if (line.starts_with("[") && line.ends_with("]")) {
            ids.push_back(line.substr(1, line.size() - 2));
        }
    }
    return ids;
}

// The notes of every order in a reply.
std::vector<std::string> notesOf(const std::string& reply)
{
    std::vector<std::string> notes;
    for (const std::string& line : SplitLines(reply)) {
        if (line.starts_with("notes=")) {
            notes.push_back(line.substr(6));
        }
    }
    return notes;
}

class OrderdTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override { storage_ = std::make_unique<Storage>(GetParam()); }

    Storage& storage() { return *storage_; }

private:
    std::unique_ptr<Storage> storage_;
};

// PostgreSQL only where tests/orderd/with_postgres.sh has started one.
std::vector<Backend> backends()
{
    if (postgresServer().empty()) {
        return {Backend::Sqlite};
    }
    return {Backend::Sqlite, Backend::Postgres};
}

INSTANTIATE_TEST_SUITE_P(Store, OrderdTest, ::testing::ValuesIn(backends()),
                         [](const auto& info) { return backendName(info.param); });

TEST_P(OrderdTest, ExampleOrderComesBackAsTyped)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    Service service(storage());

    const Reply put = service.putOrder(orderBody(exampleOrder("gartenshop")));
    EXPECT_EQ(put.Status, 200) << put.Body;
    EXPECT_EQ(put.header("access-control-allow-origin"), "*");

    const Reply got = service.getOrders("gartenshop", "Rosen-2026!");
    ASSERT_EQ(got.Status, 200) << got.Body;
    EXPECT_EQ(got.header("content-type"), "text/plain; charset=windows-1252");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(got.Body, m,
                                  std::regex(R"(^\[(\d{8}-\d{6}-\d{4})\]\r\ndate=(\d\d\.\d\d\.\d{4} \d\d:\d\d)\r\n)")))
        << got.Body;
    EXPECT_EQ(got.Body.substr(static_cast<std::size_t>(m.length(0))), kExampleLines);
    // The shop shows the ID as the payment reference.
    EXPECT_EQ(put.Body, "orderid=" + m[1].str() + "\n");
}

TEST_P(OrderdTest, ProtocolExampleValueIsUnscrambled)
{
    // The protocol's own example: "Anna 12" arrives as r22S+Nn.
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    Service service(storage());
    const std::string body = orderBody(without(smallOrder("gartenshop", "x"), "lastname")) + "&lastname=r22S%2BNn";
    ASSERT_EQ(service.putOrder(body).Status, 200);
    EXPECT_NE(service.getOrders("gartenshop", "Rosen-2026!").Body.find("\r\nlastname=Anna 12\r\n"), std::string::npos);
}

TEST_P(OrderdTest, LargeOrderIsTaken)
{
    // Far beyond what a small form may hold in some servers, well within
    // the service's limit.
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    Service service(storage());
    Fields order = with(smallOrder("gartenshop", "gro\xC3\x9F"), "itemcount", "300");
    for (const auto& [name, value] :
         Fields{{"subtotal", "1729.15"}, {"total", "1729.15"}, {"vat", "328.54"}, {"subamount", "2062.59"}}) {
        order = with(order, name, value);
    }
    for (int i = 1; i < 300; ++i) {
        order.emplace_back("item" + std::to_string(i),
                           "Gie\xC3\x9Fkanne Nr. " + std::to_string(i) + "|GT-" + std::to_string(i) + "|1|5.75|5.75");
    }
    const std::string body = orderBody(order);
    ASSERT_GT(body.size(), 16000u);
    EXPECT_EQ(service.putOrder(body).Status, 200);
    const std::string reply = service.getOrders("gartenshop", "Rosen-2026!").Body;
    EXPECT_NE(reply.find("\r\nitem299=Gie\xDFkanne Nr. 299|GT-299|1|5.75|5.75\r\n"), std::string::npos);
}

TEST_P(OrderdTest, RefusesWhatIsNoCompleteOrder)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    Service service(storage());
    const Fields good = smallOrder("gartenshop", "x");
    struct Case {
        std::string name;
        std::string body;
        std::string reason; // a piece of the answer's text
    };
    const std::vector<Case> cases{
        {"unknown account", orderBody(with(good, "UserID", "nobody")), "nobody"},
        {"no account", orderBody(without(good, "UserID")), "UserID"},
        {"no itemcount", orderBody(without(good, "itemcount")), "itemcount"},
        {"itemcount no number", orderBody(with(good, "itemcount", "eins")), "itemcount"},
        {"itemcount 0", orderBody(without(with(good, "itemcount", "0"), "item0")), "itemcount"},
        {"an item line missing", orderBody(with(good, "itemcount", "2")), "item1"},
        {"an item line too many", orderBody(with(good, "item1", "Rechen|GT-004|1|1.00|1.00")), "item1"},
        {"a field twice", orderBody(good) + "&notes=x", "notes"},
        {"the service's own field", orderBody(with(good, "confirmed", "true")), "confirmed"},
        {"notes too long", orderBody(with(good, "notes", std::string(10001, 'n'))), "notes"},
        {"a field too long", orderBody(with(good, "city", std::string(501, 'c'))), "city"},
        {"a strange field name", orderBody(good) + "&a%5Bb%5D=1", "a[b]"},
        // The customer's arithmetic, against a cart of one line 9.90 with
        // VAT 1.88 and shipping 4.90.
        {"a line total off", orderBody(with(good, "item0", "Schaufel|GT-003|2|9.90|9.90")), "item0"},
        {"a quantity of 0", orderBody(with(good, "item0", "Schaufel|GT-003|0|9.90|0.00")), "quantity"},
        {"an item line of four parts", orderBody(with(good, "item0", "Schaufel|1|9.90|9.90")), "item0"},
        {"a price with a comma", orderBody(with(good, "item0", "Schaufel|GT-003|1|9,90|9.90")), "price"},
        {"a subtotal off", orderBody(with(good, "subtotal", "9.80")), "subtotal"},
        {"no subtotal", orderBody(without(good, "subtotal")), "subtotal"},
        {"a negative discount", orderBody(with(with(good, "qdiscount", "-1.00"), "total", "10.90")), "qdiscount"},
        {"a discount beyond the subtotal", orderBody(with(with(good, "pdiscount", "10.00"), "total", "0.00")),
         "pdiscount"},
        {"a total off", orderBody(with(good, "total", "9.00")), "total"},
        {"a subamount off by a cent", orderBody(with(with(good, "vatrate", "19.00"), "subamount", "16.69")),
         "subamount"},
    };
    for (const Case& c : cases) {
        const Reply r = service.putOrder(c.body);
        EXPECT_EQ(r.Status, 400) << c.name << ": " << r.Body;
        EXPECT_NE(r.Body.find(c.reason), std::string::npos) << c.name << ": " << r.Body;
        EXPECT_EQ(r.header("access-control-allow-origin"), "*") << c.name;
    }
    EXPECT_EQ(service.getOrders("gartenshop", "Rosen-2026!").Body, "") << "nothing refused is stored";
}

TEST_P(OrderdTest, OversizedOrderIsRefused)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    Service service(storage());
    const std::string body = orderBody(smallOrder("gartenshop", "x")) + "&pad=" + std::string(600 * 1024, 'p');
    const Reply r = service.putOrder(body);
    EXPECT_EQ(r.Status, 413);
    EXPECT_NE(r.Body.find("larger than"), std::string::npos) << r.Body;
    EXPECT_EQ(r.header("access-control-allow-origin"), "*");
    EXPECT_EQ(service.getOrders("gartenshop", "Rosen-2026!").Body, "");
}

TEST_P(OrderdTest, FetchNeedsTheRightAccountAndPassword)
{
    // The password holds what a query must carry encoded: & = + % and a
    // Windows-1252 letter.
    const std::string password = "a&b=c+d%e\xE4";
    addAccount(storage(), "gartenshop", password);
    addAccount(storage(), "blumenladen", "Tulpen-2026");
    Service service(storage());
    ASSERT_EQ(service.putOrder(orderBody(smallOrder("gartenshop", "x"))).Status, 200);

    EXPECT_EQ(service.getOrders("gartenshop", password).Status, 200);
    EXPECT_EQ(service.getOrders("GartenShop", password).Status, 200) << "names regardless of case";
    struct Case {
        std::string user, password;
    };
    for (const Case& c : {Case{"gartenshop", "a&b=c+d%e"}, Case{"gartenshop", ""}, Case{"gartenshop", "Tulpen-2026"},
                          Case{"unbekannt", password}, Case{"", ""}}) {
        const Reply r = service.getOrders(c.user, c.password);
        EXPECT_EQ(r.Status, 403) << c.user << " / " << c.password;
        EXPECT_EQ(r.Body.find("Eva"), std::string::npos);
    }
    EXPECT_EQ(request("GET", service.url("getorders.php4")).Status, 403) << "no query at all";
}

TEST_P(OrderdTest, AccountsSeeOnlyTheirOwnOrders)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    addAccount(storage(), "blumenladen", "Tulpen-2026");
    Service service(storage());
    ASSERT_EQ(service.putOrder(orderBody(smallOrder("gartenshop", "fuer-garten"))).Status, 200);
    ASSERT_EQ(service.putOrder(orderBody(smallOrder("blumenladen", "fuer-blumen"))).Status, 200);

    EXPECT_EQ(notesOf(service.getOrders("gartenshop", "Rosen-2026!").Body), std::vector<std::string>{"fuer-garten"});
    EXPECT_EQ(notesOf(service.getOrders("blumenladen", "Tulpen-2026").Body), std::vector<std::string>{"fuer-blumen"});
}

TEST_P(OrderdTest, RepeatedRequestIsStoredOnce)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    addAccount(storage(), "blumenladen", "Tulpen-2026");
    Service service(storage());
    const std::string body = orderBody(smallOrder("gartenshop", "erste"));
    const Reply first = service.putOrder(body);
    const Reply again = service.putOrder(body);
    EXPECT_EQ(first.Status, 200);
    EXPECT_EQ(again.Status, 200) << "the shop must hear it arrived";
    ASSERT_EQ(service.putOrder(orderBody(smallOrder("gartenshop", "zweite"))).Status, 200);
    // The same order for another account is no repeat.
    ASSERT_EQ(service.putOrder(orderBody(smallOrder("blumenladen", "erste"))).Status, 200);

    const std::string reply = service.getOrders("gartenshop", "Rosen-2026!").Body;
    EXPECT_EQ(notesOf(reply), (std::vector<std::string>{"erste", "zweite"}));
    const auto ids = orderIds(reply);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_EQ(first.Body, "orderid=" + ids[0] + "\n");
    EXPECT_EQ(again.Body, first.Body) << "a repeat names the order it repeats";
    EXPECT_EQ(notesOf(service.getOrders("blumenladen", "Tulpen-2026").Body), std::vector<std::string>{"erste"});
}

// The comment the program takes a value over from, or "" when the page has none.
std::string comment(const std::string& page, const std::string& key)
{
    const std::string start = "<!-- " + key + "=";
    const std::size_t at = page.find(start);
    if (at == std::string::npos) {
        return "";
    }
    const std::size_t end = page.find(" -->", at);
    return page.substr(at + start.size(), end - at - start.size());
}

TEST_P(OrderdTest, AccountPageCreatesAnAccountAndChangesItsPassword)
{
    Service service(storage());
    const std::string page = service.url("accountmanager.php4");

    const Reply start = request("GET", page + "?Country=DE&Action=show&UserID=&password=");
    EXPECT_EQ(start.Status, 200);
    EXPECT_EQ(start.header("content-type"), "text/html; charset=windows-1252");
    EXPECT_NE(start.Body.find("Neues Konto anlegen"), std::string::npos);
    EXPECT_EQ(start.Body.find("<!--"), std::string::npos);
    EXPECT_NE(request("GET", page + "?Country=GB").Body.find("Create an account"), std::string::npos);

    const Reply created = request(
        "POST", page, "Country=DE&Action=create&UserID=neu.shop&password=Gr%FCn-2026&password2=Gr%FCn-2026&shop=");
    EXPECT_EQ(created.Status, 200) << created.Body;
    EXPECT_EQ(comment(created.Body, "UserID"), "neu.shop");
    EXPECT_EQ(comment(created.Body, "Password"), "Gr\xFCn-2026");
    EXPECT_EQ(service.getOrders("neu.shop", "Gr\xFCn-2026").Status, 200);

    // Logged in as the program opens the page: the account, no values to take over.
    const Reply shown = request("GET", page + "?Country=DE&Action=show&UserID=neu.shop&password=Gr%FCn-2026");
    EXPECT_EQ(shown.Status, 200);
    EXPECT_NE(shown.Body.find("neu.shop"), std::string::npos);
    EXPECT_NE(shown.Body.find("Kennwort \xE4ndern"), std::string::npos);
    EXPECT_EQ(comment(shown.Body, "Password"), "");

    const Reply changed = request("POST", page,
                                  "Country=GB&Action=change&UserID=neu.shop&password=Gr%FCn-2026"
                                  "&newpassword=Blau%26Gelb%3D1&newpassword2=Blau%26Gelb%3D1");
    EXPECT_EQ(changed.Status, 200) << changed.Body;
    EXPECT_NE(changed.Body.find("The password has been changed"), std::string::npos);
    EXPECT_EQ(comment(changed.Body, "UserID"), "neu.shop");
    EXPECT_EQ(comment(changed.Body, "Password"), "Blau&Gelb=1");
    EXPECT_EQ(service.getOrders("neu.shop", "Gr\xFCn-2026").Status, 403);
    EXPECT_EQ(service.getOrders("neu.shop", "Blau&Gelb=1").Status, 200);
}

TEST_P(OrderdTest, AccountPageRefusesWithoutTakingAnythingOver)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    Service service(storage());
    const std::string page = service.url("accountmanager.php4");
    struct Case {
        std::string name;
        std::string method;
        std::string query;
        std::string body;
        long status;
        std::string says;
    };
    const std::vector<Case> cases{
        {"name taken", "POST", "", "Country=DE&Action=create&UserID=GartenShop&password=abcdefgh&password2=abcdefgh",
         409, "schon vergeben"},
        {"passwords differ", "POST", "", "Country=GB&Action=create&UserID=neu&password=abcdefgh&password2=abcdefgX",
         400, "differ"},
        {"password too short", "POST", "", "Country=GB&Action=create&UserID=neu&password=abc&password2=abc", 400,
         "8 to 128"},
        {"password ending a comment", "POST", "",
         "Country=GB&Action=create&UserID=neu&password=ab-->cdefg&password2=ab-->cdefg", 400, "--"},
        {"bad name", "POST", "", "Country=GB&Action=create&UserID=a%20b&password=abcdefgh&password2=abcdefgh", 400,
         "account name"},
        {"bad shop address", "POST", "",
         "Country=GB&Action=create&UserID=neu&password=abcdefgh&password2=abcdefgh&shop=ftp%3A%2F%2Fx", 400, "http://"},
        {"wrong password shown", "GET", "?Country=DE&Action=show&UserID=gartenshop&password=falsch", "", 403,
         "falsch."},
        {"wrong password to change", "POST", "",
         "Country=GB&Action=change&UserID=gartenshop&password=falsch1234&newpassword=abcdefgh&newpassword2=abcdefgh",
         403, "Wrong account name or password"},
    };
    for (const Case& c : cases) {
        const Reply r = request(c.method, page + c.query, c.body);
        EXPECT_EQ(r.Status, c.status) << c.name << ": " << r.Body;
        EXPECT_NE(r.Body.find(c.says), std::string::npos) << c.name << ": " << r.Body;
        EXPECT_EQ(comment(r.Body, "UserID"), "") << c.name;
        EXPECT_EQ(comment(r.Body, "Password"), "") << c.name;
    }
    EXPECT_EQ(service.getOrders("gartenshop", "Rosen-2026!").Status, 200) << "the password stayed";
    EXPECT_EQ(service.getOrders("neu", "abcdefgh").Status, 403) << "no account was made";
}

TEST_P(OrderdTest, WrongPasswordsAreSlowedDown)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    addAccount(storage(), "blumenladen", "Tulpen-2026");
    Service service(storage());
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(service.getOrders("gartenshop", "falsch").Status, 403);
    }
    // The account now waits from this address, even for the right password;
    // others do not.
    const Reply waiting = service.getOrders("gartenshop", "Rosen-2026!");
    EXPECT_EQ(waiting.Status, 429);
    EXPECT_EQ(waiting.header("retry-after"), "1");
    EXPECT_EQ(service.getOrders("blumenladen", "Tulpen-2026").Status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(service.getOrders("gartenshop", "Rosen-2026!").Status, 200);

    // From one address, guesses at many names add up too: with the five
    // above, twenty.
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(service.getOrders("rate" + std::to_string(i), "falsch").Status, 403) << i;
    }
    EXPECT_EQ(service.getOrders("blumenladen", "Tulpen-2026").Status, 429);
}

TEST_P(OrderdTest, SigtermAnswersTheRequestInFlightFirst)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    std::string id;
    {
        Service service(storage());
        const std::string body = orderBody(smallOrder("gartenshop", "im Flug"));
        const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(service.port()));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        const std::string head = "POST /qln/shopscripts/putorder.php4 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n";
        const std::string firstHalf = head + body.substr(0, body.size() / 2);
        ASSERT_EQ(::send(sock, firstHalf.data(), firstHalf.size(), 0), static_cast<ssize_t>(firstHalf.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        service.process().signal(SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const std::string rest = body.substr(body.size() / 2);
        ASSERT_EQ(::send(sock, rest.data(), rest.size(), 0), static_cast<ssize_t>(rest.size()));
        std::string answer;
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(sock, buffer, sizeof buffer, 0)) > 0) {
            answer.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(sock);
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 200")) << answer;
        const int status = service.process().wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(service.process().restOfOutput(), "") << "nothing but the one line on standard output";
    }
    Service again(storage());
    EXPECT_EQ(notesOf(again.getOrders("gartenshop", "Rosen-2026!").Body), std::vector<std::string>{"im Flug"});
}

TEST_P(OrderdTest, KillDuringABurstLosesNoAnsweredOrder)
{
    addAccount(storage(), "gartenshop", "Rosen-2026!");
    std::mutex mutex;
    std::set<std::string> answered; // notes of the orders answered 2xx
    std::set<std::string> sent;
    {
        Service service(storage());
        std::atomic<bool> killed{false};
        std::atomic<int> count{0};
        std::vector<std::thread> clients;
        for (int t = 0; t < 4; ++t) {
            clients.emplace_back([&, t] {
                for (int i = 0; !killed; ++i) {
                    const std::string marker = "burst-" + std::to_string(t) + "-" + std::to_string(i);
                    {
                        std::lock_guard lock(mutex);
                        sent.insert(marker);
                    }
                    const Reply r = service.putOrder(orderBody(smallOrder("gartenshop", marker)));
                    if (r.Status >= 200 && r.Status < 300) {
                        std::lock_guard lock(mutex);
                        answered.insert(marker);
                        ++count;
                    }
                }
            });
        }
        while (count < 60) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        service.process().signal(SIGKILL);
        killed = true;
        for (auto& c : clients) {
            c.join();
        }
        service.process().wait();
    }
    Service again(storage());
    const std::vector<std::string> stored = notesOf(again.getOrders("gartenshop", "Rosen-2026!").Body);
    const std::set<std::string> storedSet(stored.begin(), stored.end());
    EXPECT_EQ(storedSet.size(), stored.size()) << "no order twice";
    for (const std::string& marker : answered) {
        EXPECT_TRUE(storedSet.contains(marker)) << marker << " was answered 2xx but is gone";
    }
    for (const std::string& marker : stored) {
        EXPECT_TRUE(sent.contains(marker)) << marker;
    }
    EXPECT_GE(answered.size(), 60u);
}

TEST_P(OrderdTest, StoreKeepsOrdersNinetyDaysAndNeverReusesANumber)
{
    auto store = orderd::OpenOrderStore(storage().address());
    ASSERT_TRUE(store->AddAccount("gartenshop", "hash", "", 0));
    ASSERT_FALSE(store->AddAccount("GARTENSHOP", "hash", "", 0)) << "names regardless of case";
    const auto account = store->FindAccount("GartenShop");
    ASSERT_TRUE(account);
    const std::int64_t day = 24 * 3600;
    const std::int64_t now = 1800000000;
    const auto add = [&](std::int64_t received, const std::string& digest) {
        return store->AddOrder({account->Id, received, "20270115-080000", "15.01.2027 08:00", digest, "notes=x\r\n"},
                               received - 600);
    };
    EXPECT_EQ(add(now - 91 * day, "a").Id, "20270115-080000-0001");
    EXPECT_EQ(add(now - 89 * day, "b").Id, "20270115-080000-0002");
    const auto repeat = add(now - 89 * day + 60, "b");
    EXPECT_TRUE(repeat.Repeat);
    EXPECT_EQ(repeat.Id, "20270115-080000-0002");
    EXPECT_FALSE(add(now - 89 * day + 601, "b").Repeat) << "a repeat after the window is a new order";

    const auto kept = store->Orders(account->Id, now - 90 * day);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].Id, "20270115-080000-0002");
    EXPECT_EQ(kept[0].Fields, "notes=x\r\n");
    EXPECT_EQ(kept[0].Confirmed, "false");
    EXPECT_EQ(kept[0].Queue, "");

    EXPECT_EQ(store->DeleteOrdersBefore(now - 90 * day), 1u);
    EXPECT_EQ(store->DeleteOrdersBefore(now), 2u);
    EXPECT_EQ(add(now, "c").Id, "20270115-080000-0004") << "numbers of removed orders are not handed out again";
}

// ------------------------------------------------------- command line --

TEST(OrderdCommandLine, BadArgumentsGiveOneLineAndExitOne)
{
    const std::string file = (std::filesystem::temp_directory_path() / "quillane-orderd-not-a-folder").string();
    {
        std::ofstream(file) << "x";
    }
    const std::vector<std::vector<std::string>> cases{
        {},
        {"start"},
        {"serve", "--data", "/tmp/x"},
        {"serve", "--listen", "127.0.0.1", "--data", "/tmp/x"},
        {"serve", "--listen", "127.0.0.1:70000", "--data", "/tmp/x"},
        {"serve", "--listen", "127.0.0.1:0"},
        {"serve", "--listen", "127.0.0.1:0", "--data", "/tmp/x", "--db", "postgresql://h/d"},
        {"serve", "--listen", "127.0.0.1:0", "--db", "mysql://h/d"},
        {"serve", "--listen", "127.0.0.1:0", "--data", "/tmp/x", "--verbose"},
        {"serve", "--listen", "127.0.0.1:0", "--data", "/tmp/x", "--hash-mem", "1"},
        {"serve", "--listen", "127.0.0.1:0", "--data", file},
        {"serve", "--listen", "127.0.0.1:0", "--db", "postgresql://127.0.0.1:1/orders?connect_timeout=2"},
        {"serve", "--listen", "192.0.2.1:8080", "--data", "/tmp/quillane-orderd-unused"},
        {"account", "add"},
        {"account", "add", "gartenshop", "--data", "/tmp/x"},
        {"account", "add", "gartenshop", "--password-stdin", "--allow-private-shops", "--data", "/tmp/x"},
        {"account", "add", "gartenshop", "--password-stdin", "--data", file},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args) {
            shown += a + " ";
        }
        const RunResult r = runOrderd(args, "Rosen-2026!\n");
        EXPECT_EQ(r.ExitCode, 1) << shown << r.Err;
        EXPECT_EQ(r.Out, "") << shown;
        EXPECT_TRUE(r.Err.starts_with("quillane-orderd: ") && r.Err.ends_with("\n") &&
                    r.Err.find('\n') == r.Err.size() - 1)
            << shown << "\n"
            << r.Err;
    }
    std::filesystem::remove(file);
    std::filesystem::remove_all("/tmp/quillane-orderd-unused");
}

TEST(OrderdCommandLine, APortInUseIsRefused)
{
    // A second service on the same port would take part of the orders into
    // another database.
    Storage first(Backend::Sqlite);
    Storage second(Backend::Sqlite);
    Service running(first);
    std::vector<std::string> args{"serve", "--listen", "127.0.0.1:" + std::to_string(running.port())};
    for (const auto& a : second.args()) {
        args.push_back(a);
    }
    Spawned other(args);
    other.write("");
    ASSERT_TRUE(other.endsWithin(std::chrono::seconds(10))) << "it serves the same port: " << other.readLine();
    const std::string err = other.errorOutput();
    const int status = other.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(other.restOfOutput(), "");
    EXPECT_NE(err.find(std::to_string(running.port())), std::string::npos) << err;
}

TEST(OrderdCommandLine, AccountAddRefusesATakenNameOrBadPassword)
{
    Storage storage(Backend::Sqlite);
    std::vector<std::string> args{"account",          "add",    "gartenshop",
                                  "--password-stdin", "--shop", "https://garten.example/"};
    for (const auto& a : storage.args()) {
        args.push_back(a);
    }
    args.insert(args.end(), kFastHash.begin(), kFastHash.end());
    EXPECT_EQ(runOrderd(args, "Rosen-2026!\n").ExitCode, 0);
    const RunResult taken = runOrderd(args, "Anders-2026\n");
    EXPECT_EQ(taken.ExitCode, 1);
    EXPECT_NE(taken.Err.find("taken"), std::string::npos) << taken.Err;
    args[2] = "blumenladen";
    const RunResult shortPassword = runOrderd(args, "kurz\n");
    EXPECT_EQ(shortPassword.ExitCode, 1);
    EXPECT_NE(shortPassword.Err.find("8 to 128"), std::string::npos) << shortPassword.Err;
}

} // namespace
