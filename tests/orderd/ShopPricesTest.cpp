// Unit prices checked against the shop's published database scripts: the
// reading and caching on their own, and the running service against a
// small HTTP server holding a shop.

#include "orderd/ShopPrices.h"
#include "CartFixture.h"
#include "OrderdHarness.h"
#include "orderd/ServiceError.h"

#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <httplib.h>

using namespace quillane;
using namespace quillane::orderd;
using namespace quillane::test;

namespace {

// A database script as the generator writes it: items joined by "|", their
// parts by 0xA6, the group's surcharge after 0x86; it loads the next one.
std::string dbScript(const std::string& data, int n, int count)
{
    std::string s = "gd = '" + data + "'; pl(" + std::to_string(data.size()) + "); parent.CreateItemList(gd, " +
                    std::to_string(n) + "); ";
    if (n + 1 < count) {
        return s + "d.writeln('<script src=\\\"database/db_" + std::to_string(n + 1) + ".js\\\"><\\/script>');";
    }
    return s + "location.href = 'categories.html';";
}

// Two groups; a quote in a name, an empty entry a hidden last record leaves.
std::map<std::string, std::string> gardenShop(const std::string& shovelPrice = "9.90")
{
    return {{"db_0.js", dbScript("Schaufel\xA6GT-003\xA6" + shovelPrice +
                                     "\xA6"
                                     "10\xA6|Rosen\\'schere - geschmiedet\xA6GT-001\xA6"
                                     "3.50\xA6"
                                     "01\xA6"
                                     "0:1|\x86"
                                     "0.00",
                                 0, 2)},
            {"db_1.js", dbScript("Gie\xDF"
                                 "kanne\xA6GT-002\xA6"
                                 "5.75\xA6"
                                 "00\xA6\x86"
                                 "4.90",
                                 1, 2)}};
}

// A fetch from a map of paths under the shop's address (database scripts
// by their file name alone), counting what it is asked.
struct FakeShop {
    std::map<std::string, std::string> Files;
    int Fetches = 0;

    ShopFetch fetch()
    {
        return [this](const std::string& url, std::size_t maxBytes, std::stop_token) {
            ++Fetches;
            const std::string path = url.substr(url.find('/', url.find("//") + 2) + 1);
            auto it = Files.find(path.starts_with("database/") ? path.substr(9) : path);
            if (it == Files.end()) {
                throw ServiceError("Cannot load \"" + url + "\": HTTP status 404 Not Found");
            }
            if (it->second.size() > maxBytes) {
                throw ShopTooLarge("larger than " + std::to_string(maxBytes));
            }
            return it->second;
        };
    }
};

// The prices of the items read, by order number.
PriceTable pricesOf(const ShopItems& items)
{
    PriceTable prices;
    for (const auto& [number, entries] : items.ByNumber) {
        for (const ShopItem& item : entries) {
            prices[number].push_back(item.Price);
        }
    }
    return prices;
}

// The fields of a one-item order whose figures add up.
std::vector<FormField> oneItem(const std::string& number, const std::string& price)
{
    return {{"itemcount", "1"}, {"item0", "Ding|" + number + "|1|" + price + "|" + price}, {"subtotal", price}};
}

TEST(ShopPrices, ReadsEveryScriptOfTheChain)
{
    FakeShop shop{gardenShop()};
    const PublishedShop read = ReadPublishedShop("http://shop.example/", shop.fetch());
    EXPECT_EQ(pricesOf(read.Items), (PriceTable{{"GT-003", {"9.90"}}, {"GT-001", {"3.50"}}, {"GT-002", {"5.75"}}}));
    EXPECT_EQ(read.Items.Surcharges, (std::vector<std::string>{"0.00", "4.90"}));
    EXPECT_EQ(read.Items.ByNumber.at("GT-001").front().Levels, "0:1");
    EXPECT_EQ(read.Items.ByNumber.at("GT-002").front().Group, 1u);
    EXPECT_FALSE(read.Settings) << "a shop without var_init.js is checked for its prices only";
    EXPECT_NE(read.SettingsProblem.find("var_init.js\": HTTP status 404"), std::string::npos) << read.SettingsProblem;
    EXPECT_EQ(shop.Fetches, 3);

    // Within a group the shop window keeps the last item of a number.
    ShopItems twice;
    ReadDatabaseScript("gd = 'a\xA6K1\xA6"
                       "1.00\xA6"
                       "00\xA6|b\xA6K1\xA6"
                       "2.00\xA6"
                       "00\xA6\x86'; location.href = 'categories.html';",
                       "db_0.js", twice);
    EXPECT_EQ(twice.Count, 1u);
    ASSERT_EQ(twice.ByNumber.at("K1").size(), 1u);
    EXPECT_EQ(twice.ByNumber.at("K1").front().Price, "2.00");
}

TEST(ShopPrices, AShopThatCannotBeReadIsAnError)
{
    const std::string good = gardenShop()["db_0.js"];
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        std::string message;
    };
    const std::vector<Case> cases{
        {"a script missing", {{"db_0.js", good}}, "db_1.js\": HTTP status 404"},
        {"no group data", {{"db_0.js", "<html>Not here</html>"}}, "db_0.js holds no group data"},
        {"data not closed",
         {{"db_0.js", "gd = 'a\xA6"
                      "b\xA6"
                      "1"}},
         "db_0.js holds no group data"},
        {"a second group not closed",
         {{"db_0.js", "gd = 'a\xA6K1\xA6"
                      "1\xA6\x86'; pl(9); parent.CreateItemList(gd, 0); gd = 'b\xA6K2"}},
         "db_0.js holds group data that does not end"},
        {"an item without price", {{"db_0.js", dbScript("Schaufel\xA6GT-003", 0, 1)}}, "without order number"},
        {"a strange next script", {{"db_0.js", "gd = ''; d.writeln('database/db_x.js')"}}, "db_<number>.js"},
        {"a chain without end", {{"db_0.js", dbScript("", -1, 2)}}, "more than 3 scripts"},
        {"too many items",
         {{"db_0.js", dbScript("a\xA6K1\xA6"
                               "1\xA6|b\xA6K2\xA6"
                               "1\xA6|c\xA6K3\xA6"
                               "1\xA6\x86",
                               0, 1)}},
         "beyond 2 items"},
        {"too large", {{"db_0.js", good + std::string(5000, ' ')}}, "larger than 4096 bytes"},
    };
    for (const Case& c : cases) {
        FakeShop shop{c.files};
        ShopReadLimits limits;
        limits.MaxFiles = 3;
        limits.MaxItems = 2;
        limits.MaxBytes = 4096;
        try {
            ReadPublishedShop("http://shop.example/", shop.fetch(), limits);
            ADD_FAILURE() << c.what << ": read";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

TEST(ShopPrices, ASlowShopEndsInTime)
{
    const ShopFetch hanging = [](const std::string& url, std::size_t, std::stop_token stop) -> std::string {
        while (!stop.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        throw ServiceError("Loading \"" + url + "\" was cancelled");
    };
    ShopReadLimits limits;
    limits.Time = std::chrono::milliseconds(200);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(ReadPublishedShop("http://shop.example/", hanging, limits), Error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(ShopPrices, UnitPricesMustBeTheShopsToTheCent)
{
    // GT-007 was typed gross, 9.99 at 19 %, and keeps four decimals.
    const PriceTable table{{"GT-003", {"9.90"}},
                           {"GT-004", {"12.5"}},
                           {"GT-005", {""}},
                           {"GT-006", {"4.00", "4.50"}},
                           {"GT-007", {"8.3950"}}};
    ShopItems prices;
    for (const auto& [number, list] : table) {
        for (const std::string& price : list) {
            prices.ByNumber[number].push_back({price, "", 0});
        }
    }
    struct Case {
        std::string number;
        std::string price;
        std::string problem; // empty: fits
    };
    const std::vector<Case> cases{
        {"GT-003", "9.90", ""},
        {"GT-003", "9.91", ""},
        {"GT-003", "9.89", ""},
        {"GT-003", "9.92", "the unit price 9.92 of \"GT-003\" is not the shop's price 9.90"},
        {"GT-003", "8.90", "the unit price 8.90"},
        {"GT-004", "12.50", ""},
        {"GT-005", "0.00", ""}, // an empty price is 0 in the shop
        {"GT-005", "0.50", "the shop's price 0"},
        {"GT-006", "4.50", ""},
        {"GT-006", "4.25", "4.00 or 4.50"},
        {"GT-007", "8.40", ""},
        {"GT-007", "8.42", "the shop's price 8.3950"},
        {"GT-999", "9.90", "the shop has no item with the order number \"GT-999\""},
    };
    for (const Case& c : cases) {
        const auto problem = PriceProblem(oneItem(c.number, c.price), prices);
        if (c.problem.empty()) {
            EXPECT_FALSE(problem) << c.number << " " << c.price << ": " << *problem;
        } else {
            ASSERT_TRUE(problem) << c.number << " " << c.price;
            EXPECT_NE(problem->find(c.problem), std::string::npos) << *problem;
            EXPECT_TRUE(problem->starts_with("item0: ")) << *problem;
        }
    }
    // "=" in an order number arrives as ":" in the order.
    ShopItems read;
    ReadDatabaseScript(dbScript("Kette\xA6K=1\xA6"
                                "2.00\xA6"
                                "00\xA6\x86",
                                0, 1),
                       "db_0.js", read);
    EXPECT_FALSE(PriceProblem(oneItem("K:1", "2.00"), read).has_value());

    // A script may hold several groups; the next script is named after the last.
    ShopItems several;
    EXPECT_EQ(ReadDatabaseScript("gd = 'Kette\xA6K1\xA6"
                                 "2.00\xA6"
                                 "00\xA6\x86'; pl(20); parent.CreateItemList(gd, 0); " +
                                     dbScript("Ring\xA6K2\xA6"
                                              "3.00\xA6"
                                              "00\xA6\x86",
                                              1, 3),
                                 "db_0.js", several),
              "db_2.js");
    EXPECT_FALSE(PriceProblem(oneItem("K1", "2.00"), several).has_value());
    EXPECT_FALSE(PriceProblem(oneItem("K2", "3.00"), several).has_value());
}

TEST(ShopPrices, PricesAreKeptAndReadAgainWhenAnOrderDoesNotFit)
{
    FakeShop shop{gardenShop()};
    std::vector<std::string> log;
    ShopPriceRules rules;
    rules.RecheckAfter = std::chrono::seconds(0);
    ShopPrices prices(
        shop.fetch(), [&](const std::string& line) { log.push_back(line); }, rules);

    EXPECT_FALSE(prices.Check("gartenshop", "http://shop.example/", oneItem("GT-003", "9.90")));
    EXPECT_FALSE(prices.Check("gartenshop", "http://shop.example/", oneItem("GT-002", "5.75")));
    EXPECT_EQ(shop.Fetches, 3) << "the shop is kept (two database scripts, var_init.js missing)";

    // The merchant publishes a new price: the first order at it reads the shop again.
    shop.Files = gardenShop("11.00");
    EXPECT_FALSE(prices.Check("gartenshop", "http://shop.example/", oneItem("GT-003", "11.00")));
    EXPECT_EQ(shop.Fetches, 6);
    const auto old = prices.Check("gartenshop", "http://shop.example/", oneItem("GT-003", "9.90"));
    ASSERT_TRUE(old);
    EXPECT_NE(old->find("11.00"), std::string::npos) << *old;
    // Its prices are checked, the rest of a shop published before is not.
    ASSERT_EQ(log.size(), 3u);
    for (const std::string& line : log) {
        EXPECT_NE(line.find("order for gartenshop taken with its prices checked but not its other figures"),
                  std::string::npos)
            << line;
    }
}

TEST(ShopPrices, AShopThatCannotBeReadRefusesNothing)
{
    FakeShop shop;
    std::vector<std::string> log;
    ShopPrices prices(shop.fetch(), [&](const std::string& line) { log.push_back(line); });

    EXPECT_FALSE(prices.Check("gartenshop", "http://shop.example/", oneItem("GT-999", "1.00")));
    EXPECT_FALSE(prices.Check("gartenshop", "http://shop.example/", oneItem("GT-999", "1.00")));
    EXPECT_EQ(shop.Fetches, 1) << "a failed shop is not asked again at once";
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("gartenshop"), std::string::npos) << log[0];
    EXPECT_NE(log[0].find("db_0.js\": HTTP status 404"), std::string::npos) << log[0];
}

// A fetch from the fixture shop's published files.
ShopFetch filesFetch(const std::map<std::string, std::string>& files, int* fetches = nullptr)
{
    return [files, fetches](const std::string& url, std::size_t, std::stop_token) {
        if (fetches) {
            ++*fetches;
        }
        const auto it = files.find(url.substr(url.find('/', url.find("//") + 2) + 1));
        if (it == files.end()) {
            throw ServiceError("Cannot load \"" + url + "\": HTTP status 404");
        }
        return it->second;
    };
}

TEST(ShopPrices, AShopPublishedBeforeHasItsPricesCheckedOnly)
{
    const std::map<std::string, std::string> current = publishedFiles(fixture()["shops"]["home"]);
    struct Case {
        const char* what;
        std::string path;
        std::string remove; // from that file
        std::string problem;
    };
    const std::vector<Case> cases{
        {"var_init.js before VAT by destination", "var_init.js",
         "Shop.VatByDestination =", "var_init.js holds no \"Shop.VatByDestination = parseInt(\""},
        {"a country script before its name", "countries/settings/fr.js",
         "s.Destination.Name =", "countries/settings/fr.js holds no \"s.Destination.Name =\""},
        {"no var_init.js", "var_init.js", "", "var_init.js\": HTTP status 404"},
        {"no country script", "countries/settings/gb.js", "", "gb.js\": HTTP status 404"},
    };
    for (const Case& c : cases) {
        std::map<std::string, std::string> files = current;
        if (c.remove.empty()) {
            files.erase(c.path);
        } else {
            files[c.path] = ReplaceAll(files[c.path], c.remove, "Shop.Other =", true);
        }
        const PublishedShop read = ReadPublishedShop("http://shop.example/", filesFetch(files));
        EXPECT_FALSE(read.Settings) << c.what;
        EXPECT_NE(read.SettingsProblem.find(c.problem), std::string::npos) << c.what << ": " << read.SettingsProblem;

        std::vector<std::string> log;
        ShopPrices shops(filesFetch(files), [&](const std::string& line) { log.push_back(line); });
        const std::vector<FormField> noShipping =
            changed(orderOf(cartAbout("net at home")), {{"shipping", "0.00"}, {"subamount", "89.61"}});
        EXPECT_FALSE(shops.Check("gartenshop", "http://shop.example/", noShipping)) << c.what;
        ASSERT_EQ(log.size(), 1u) << c.what;
        EXPECT_NE(log[0].find("prices checked but not its other figures: "), std::string::npos) << log[0];
        EXPECT_NE(log[0].find(c.problem), std::string::npos) << log[0];
        const auto price = shops.Check("gartenshop", "http://shop.example/",
                                       changed(noShipping, {{"item1", "Ding|Z300|1|14.00|14.00"}}));
        EXPECT_TRUE(price && price->find("is not the shop's price 24.00") != std::string::npos) << c.what;
    }
    // The same files whole: the figures are worked out.
    const PublishedShop whole = ReadPublishedShop("http://shop.example/", filesFetch(current));
    ASSERT_TRUE(whole.Settings) << whole.SettingsProblem;
    EXPECT_EQ(whole.Countries.size(), 3u);
}

TEST(ShopPrices, TheShopsKeptHoldABoundedNumberOfItems)
{
    const std::map<std::string, std::string> files = publishedFiles(fixture()["shops"]["home"]);
    int fetches = 0;
    ShopPriceRules rules;
    rules.MaxKeptItems = 15; // the fixture shop has 10
    ShopPrices shops(
        filesFetch(files, &fetches), [](const std::string&) {}, rules);
    const std::vector<FormField> order = orderOf(cartAbout("net at home"));
    // Two shops of the same files: the second pushes the first out.
    const auto read = [&](const std::string& host) {
        const int before = fetches;
        EXPECT_FALSE(shops.Check("gartenshop", "http://" + host + "/", order));
        return fetches - before;
    };
    EXPECT_GT(read("a.example"), 0);
    EXPECT_EQ(read("a.example"), 0) << "kept";
    EXPECT_GT(read("b.example"), 0);
    EXPECT_GT(read("a.example"), 0) << "pushed out by the second shop";
}

// ---------------------------------------------------- the running service --

// A web host serving a shop's files under /shop/ on 127.0.0.1 (database
// scripts also by their file name alone). Two more for the limits:
// endless.js never ends, nothing under silent/ ever answers.
class ShopServer {
public:
    explicit ShopServer(std::map<std::string, std::string> files) : files_(std::move(files))
    {
        server_.Get(R"(/shop/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            ++requests_;
            const std::string path = req.matches[1];
            if (path == "endless.js") {
                res.set_chunked_content_provider("application/javascript",
                                                 [this](std::size_t, httplib::DataSink& sink) {
                                                     const std::string block(64 * 1024, ' ');
                                                     // Bounded all the same: 1 GiB, or until the reader hangs up.
                                                     for (int i = 0; i < 16 * 1024 && !stopping_; ++i) {
                                                         if (!sink.write(block.data(), block.size())) {
                                                             return false;
                                                         }
                                                     }
                                                     sink.done();
                                                     return true;
                                                 });
                return;
            }
            if (path.starts_with("silent/")) {
                for (int i = 0; i < 200 && !stopping_; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
                return;
            }
            auto it = files_.find(path);
            if (it == files_.end() && path.starts_with("database/")) {
                it = files_.find(path.substr(9));
            }
            if (it == files_.end()) {
                res.status = 404;
                return;
            }
            res.set_content(it->second, "application/javascript");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~ShopServer()
    {
        stopping_ = true;
        server_.stop();
        thread_.join();
    }
    std::string shopAddress(const std::string& host = "127.0.0.1") const
    {
        return "http://" + host + ":" + std::to_string(port_) + "/shop/";
    }
    int requests() const { return requests_; }

private:
    std::map<std::string, std::string> files_;
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<int> requests_{0};
    std::atomic<bool> stopping_{false};
};

// The shops of these tests are on 127.0.0.1.
const std::vector<std::string> kLocalShops{"--allow-private-shops"};

// An order of the shop whose figures add up.
Fields shopOrder(const std::vector<std::pair<std::string, std::string>>& items)
{
    Fields order{{"UserID", "gartenshop"}, {"firstname", "Eva"}, {"lastname", "Muster"}, {"notes", ""}};
    order.emplace_back("itemcount", std::to_string(items.size()));
    long cents = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& [number, price] = items[i];
        order.emplace_back("item" + std::to_string(i), "Ding|" + number + "|1|" + price + "|" + price);
        cents += std::lround(std::stod(price) * 100);
    }
    char sum[32];
    std::snprintf(sum, sizeof sum, "%ld.%02ld", cents / 100, cents % 100);
    for (const char* name : {"subtotal", "total", "subamount"}) {
        order.emplace_back(name, sum);
    }
    for (const char* name : {"qdiscount", "pdiscount", "vat", "shipping", "paymentfee"}) {
        order.emplace_back(name, "0.00");
    }
    order.emplace_back("payment", "vk");
    return order;
}

std::size_t storedOrders(const Service& service)
{
    const std::string reply = service.getOrders("gartenshop", "Rosen-2026!").Body;
    std::size_t n = 0;
    for (std::size_t at = reply.find("\r\nitemcount="); at != std::string::npos;
         at = reply.find("\r\nitemcount=", at + 1)) {
        ++n;
    }
    return n;
}

TEST(OrderdShopPrices, OrdersMustHaveThePricesOfTheAccountsShop)
{
    const ShopServer shop(gardenShop());
    const Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", "Rosen-2026!", shop.shopAddress());
    const Service service(storage, kLocalShops);

    struct Case {
        const char* what;
        Fields order;
        long status;
        std::string answer;
    };
    const std::vector<Case> cases{
        {"the shop's prices, from both scripts", shopOrder({{"GT-003", "9.90"}, {"GT-002", "5.75"}}), 200, "orderid="},
        {"a changed price", shopOrder({{"GT-002", "5.75"}, {"GT-001", "2.50"}}), 400,
         "item1: the unit price 2.50 of \"GT-001\" is not the shop's price 3.50"},
        {"an order number the shop does not have", shopOrder({{"GT-404", "9.90"}}), 400,
         "item0: the shop has no item with the order number \"GT-404\""},
    };
    for (const Case& c : cases) {
        const Reply put = service.putOrder(orderBody(c.order));
        EXPECT_EQ(put.Status, c.status) << c.what << ": " << put.Body;
        EXPECT_NE(put.Body.find(c.answer), std::string::npos) << c.what << ": " << put.Body;
    }
    EXPECT_EQ(storedOrders(service), 1u) << "nothing refused is stored";
}

TEST(OrderdShopPrices, AnUnreachableShopLosesNoOrder)
{
    std::string address;
    {
        const ShopServer gone({});
        address = gone.shopAddress();
    }
    const Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", "Rosen-2026!", address);
    Service service(storage, kLocalShops);

    const Reply put = service.putOrder(orderBody(shopOrder({{"GT-404", "1.00"}})));
    EXPECT_EQ(put.Status, 200) << put.Body;
    EXPECT_EQ(storedOrders(service), 1u);

    service.process().signal(SIGTERM);
    ASSERT_TRUE(service.process().endsWithin(std::chrono::seconds(20)));
    const std::string log = service.process().errorOutput();
    EXPECT_NE(log.find("order for gartenshop taken without checking its prices"), std::string::npos) << log;
    EXPECT_NE(log.find(address + "database/db_0.js"), std::string::npos) << log;
}

// An order of a fixture cart as the shop sends it, some values changed.
Fields cartOrder(const std::string& cart, const std::vector<FormField>& changes = {})
{
    Fields order{{"UserID", "gartenshop"}, {"firstname", "Eva"}, {"lastname", "Muster"}};
    for (const FormField& f : changed(orderOf(cartAbout(cart)), changes)) {
        order.emplace_back(f.Name, f.Value);
    }
    return order;
}

TEST(OrderdShopPrices, EveryOrderIsWorkedOutFromThePublishedShop)
{
    const ShopServer shop(publishedFiles(fixture()["shops"]["home"]));
    const Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", "Rosen-2026!", shop.shopAddress());
    const Service service(storage, kLocalShops);

    struct Case {
        const char* what;
        Fields order;
        long status;
        std::string answer;
    };
    const std::vector<Case> cases{
        {"net at home, as the shop sent it", cartOrder("net at home"), 200, "orderid="},
        {"gross with a discount, as the shop sent it", cartOrder("gross with 5 %"), 200, "orderid="},
        {"no shipping", cartOrder("net at home", {{"shipping", "0.00"}, {"subamount", "89.61"}}), 400,
         "The shipping 0.00 is not the shop's 10.40"},
        {"a discount of the whole subtotal",
         cartOrder("net at home", {{"qdiscount", "78.00"}, {"total", "0.00"}, {"vat", "0.00"}, {"subamount", "10.40"}}),
         400, "The qdiscount 78.00 is not the shop's 2.70"},
        {"no VAT", cartOrder("net at home", {{"vatrate", "0.00"}, {"vat", "0.00"}, {"subamount", "85.70"}}), 400,
         "The vatrate 0.00 is not the shop's 19.00"},
    };
    for (const Case& c : cases) {
        const Reply put = service.putOrder(orderBody(c.order));
        EXPECT_EQ(put.Status, c.status) << c.what << ": " << put.Body;
        EXPECT_NE(put.Body.find(c.answer), std::string::npos) << c.what << ": " << put.Body;
    }
    EXPECT_EQ(storedOrders(service), 2u) << "nothing refused is stored";
}

TEST(OrderdShopPrices, AShopOnAPrivateAddressIsReadOnlyWhenAllowed)
{
    const ShopServer shop(publishedFiles(fixture()["shops"]["home"]));
    const Fields noShipping = cartOrder("net at home", {{"shipping", "0.00"}, {"subamount", "89.61"}});
    // The address as typed and a name that resolves to it.
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        const Storage storage(Backend::Sqlite);
        addAccount(storage, "gartenshop", "Rosen-2026!", shop.shopAddress(host));
        Service service(storage);
        EXPECT_EQ(service.putOrder(orderBody(noShipping)).Status, 200) << host << ": taken unchecked";
        service.process().signal(SIGTERM);
        ASSERT_TRUE(service.process().endsWithin(std::chrono::seconds(20)));
        const std::string log = service.process().errorOutput();
        EXPECT_NE(log.find("order for gartenshop taken without checking its prices"), std::string::npos) << log;
        EXPECT_NE(log.find("is not public"), std::string::npos) << log;
        EXPECT_NE(log.find("--allow-private-shops"), std::string::npos) << log;
    }
    EXPECT_EQ(shop.requests(), 0) << "no request reached the shop";

    const Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", "Rosen-2026!", shop.shopAddress("localhost"));
    const Service allowed(storage, kLocalShops);
    EXPECT_EQ(allowed.putOrder(orderBody(noShipping)).Status, 400);
}

TEST(ShopFetch, PrivateAddressesAreTold)
{
    struct Case {
        const char* address;
        bool isPublic;
    };
    const std::vector<Case> cases{
        {"127.0.0.1", false},
        {"127.8.9.10", false},
        {"10.1.2.3", false},
        {"172.16.0.1", false},
        {"172.31.255.255", false},
        {"192.168.1.1", false},
        {"169.254.169.254", false},
        {"100.64.0.1", false},
        {"0.0.0.0", false},
        {"224.0.0.1", false},
        {"255.255.255.255", false},
        {"8.8.8.8", true},
        {"172.32.0.1", true},
        {"100.128.0.1", true},
        {"193.99.144.80", true},
        {"::1", false},
        {"::", false},
        {"fe80::1", false},
        {"fc00::1", false},
        {"fd12:3456::1", false},
        {"ff02::1", false},
        {"::ffff:127.0.0.1", false},
        {"::ffff:10.0.0.1", false},
        {"64:ff9b::a9fe:a9fe", false},
        {"2002:7f00:1::", false},
        {"2001:db8::1", false},
        {"2a00:1450:4001::200e", true},
        {"::ffff:8.8.8.8", true},
    };
    for (const Case& c : cases) {
        sockaddr_storage storage{};
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        if (::inet_pton(AF_INET, c.address, &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
        } else {
            ASSERT_EQ(::inet_pton(AF_INET6, c.address, &v6->sin6_addr), 1) << c.address;
            v6->sin6_family = AF_INET6;
        }
        EXPECT_EQ(IsPublicAddress(reinterpret_cast<const sockaddr*>(&storage)), c.isPublic) << c.address;
    }
}

TEST(ShopFetch, LimitsHoldWhileTheScriptsArrive)
{
    const ShopServer shop({});
    const ShopFetch fetch = HttpShopFetch(true);
    // A script that never ends is cut at the bytes left, not read first.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(fetch(shop.shopAddress() + "endless.js", 1024 * 1024, {}), ShopTooLarge);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // A shop that does not answer ends with the time of the whole read.
    ShopReadLimits limits;
    limits.Time = std::chrono::milliseconds(300);
    const auto again = std::chrono::steady_clock::now();
    try {
        ReadPublishedShop(shop.shopAddress() + "silent/", fetch, limits);
        ADD_FAILURE() << "read";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("took longer than 300 ms"), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(5));
}

} // namespace
