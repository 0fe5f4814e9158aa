// The order service's copy of the shop's cart, on the hand-worked carts
// of tests/fixtures/carts/carts.json that the shop script's own test
// (tests/shopjs/carts.test.mjs) runs too; then orders of those carts
// against the published shop, as sent and with one figure changed.

#include "orderd/CartRules.h"
#include "CartFixture.h"
#include "orderd/OrderFigures.h"
#include "orderd/ShopFigures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace quillane;
using namespace quillane::orderd;
using namespace quillane::test;

namespace {

// The lines of a cart as the shop window holds its items.
std::vector<CartLine> cartLines(const Json& cart)
{
    const Json& shop = fixture()["shops"][cart["shop"].text];
    const std::vector<std::string> levels = texts(shop["quantityLevels"]);
    std::vector<CartLine> lines;
    for (const Json& line : cart["lines"].items) {
        const Json& group = shop["groups"][static_cast<std::size_t>(line[1].number)];
        for (const Json& item : group["items"].items) {
            if (item[0].text != line[0].text) {
                continue;
            }
            CartLine l;
            l.Price = ShopNumber(item[1].text);
            l.Surcharge = ShopNumber(group["surcharge"].text);
            if (!item[2].text.empty()) {
                for (const std::string& position : Split(':', item[2].text)) {
                    l.Levels.push_back(levels.at(std::stoul(position)));
                }
            }
            l.Quantity = static_cast<std::int64_t>(line[2].number);
            lines.push_back(l);
        }
    }
    return lines;
}

TEST(CartRules, TheHandWorkedCartsComeOutToTheCent)
{
    ASSERT_GE(fixture()["carts"].size(), 10u);
    for (const Json& cart : fixture()["carts"].items) {
        const std::string what = cart["what"].text;
        const Json& shop = fixture()["shops"][cart["shop"].text];
        const Json& country = fixture()["countries"][cart["country"].text];
        CartSettings s;
        s.HomeVat = shop["homeVat"].number;
        s.HomeIndex = shop["homeIndex"].text;
        s.HomeEu = shop["homeEu"].number;
        s.VatByDestination = shop["vatByDestination"].number > 0;
        s.PriceLevels = texts(shop["priceLevels"]);
        s.FreeDelivery = shop["freeDelivery"].number;
        s.Porto = shop["packing"].number + country["shippingFee"].number;
        s.Land = cart["country"].text;
        s.DestinationVat = country["vat"].number;
        s.DestinationEu = country["eu"].number;
        const CartResult r = ComputeCart(s, cartLines(cart), cart["gross"].boolean, country["rates"][0].number,
                                         country["rates"][1].number);

        const Json& e = cart["expected"];
        for (std::size_t i = 0; i < cart["lines"].size(); ++i) {
            EXPECT_EQ(EuroText(r.Euro.Units.at(i)), e["items"][i][0].text) << what << ": unit " << i;
            EXPECT_EQ(EuroText(r.Euro.Lines.at(i)), e["items"][i][1].text) << what << ": line " << i;
        }
        const auto sums = [](const CartSums& c) {
            return std::vector<std::string>{EuroText(c.Subtotal), EuroText(c.QDiscount), EuroText(c.PDiscount),
                                            EuroText(c.Total),    EuroText(c.Vat),       EuroText(c.Shipping),
                                            EuroText(c.Subamount)};
        };
        const auto expected = [](const Json& j) {
            std::vector<std::string> out;
            for (const char* name : {"subtotal", "qdiscount", "pdiscount", "total", "vat", "shipping", "subamount"}) {
                out.push_back(j[name].text);
            }
            return out;
        };
        EXPECT_EQ(sums(r.Euro), expected(e)) << what << ": euro";
        EXPECT_EQ(sums(r.Shown), expected(e["shown"])) << what << ": shown";
        EXPECT_EQ(r.VatRate, e["vatrate"].text) << what;
        EXPECT_EQ(EuroText(r.Second), e["second"].text) << what;
        EXPECT_EQ(EuroText(r.Missing), e["missing"].text) << what;
        EXPECT_EQ(EuroText(r.MissingShown), e["missingShown"].text) << what;
        std::string fee = "0";
        for (const Json& payment : country["payments"].items) {
            if (payment[0].text == cart["payment"].text) {
                fee = payment[1].text;
            }
        }
        EXPECT_EQ(EuroText(PaymentFeeCents(fee)), e["paymentfee"].text) << what;
    }
}

TEST(CartRules, NumbersAreReadAsTheShopScriptReadsThem)
{
    struct Case {
        const char* text;
        double value; // NaN: none
    };
    const double none = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : std::vector<Case>{{"4.50", 4.5},
                                           {"  4.5abc", 4.5},
                                           {"+3", 3},
                                           {"-0.5", -0.5},
                                           {".5", 0.5},
                                           {"5.", 5},
                                           {"1e2", 100},
                                           {"1e", 1},
                                           {"1e+", 1},
                                           {"2E-2x", 0.02},
                                           {"Infinity", inf},
                                           {"-Infinity", -inf},
                                           {"1e999", inf},
                                           {"1e-999", 0},
                                           {"\xA0"
                                            "7",
                                            7},
                                           {"", none},
                                           {".", none},
                                           {"-", none},
                                           {"abc", none},
                                           {"e5", none}}) {
        const double v = JsParseFloat(c.text);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(v)) << c.text << " gave " << v;
        } else {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    EXPECT_EQ(ShopNumber("3,5"), 3.5);
    EXPECT_EQ(ShopNumber("1,5,5"), 1.5);
    EXPECT_EQ(ShopNumber("x"), 0);
    EXPECT_EQ(JsParseInt(" 12.9"), 12);
    EXPECT_TRUE(std::isnan(JsParseInt("x1")));
    // The cart never counts what is no finite number.
    EXPECT_EQ(PriceCents(inf, 1, 1), 0);
    EXPECT_EQ(RoundCents(-2.5), -3);
    EXPECT_EQ(KonvDez(1.005), "1.01");
    EXPECT_THROW(WholeCents(PriceCents(1e300, 1, 1)), Error);
}

TEST(ShopFigures, TheFixtureCartsAsSentAreTaken)
{
    for (const Json& cart : fixture()["carts"].items) {
        const PublishedShop shop = publishedShop(fixture()["shops"][cart["shop"].text]);
        const std::vector<FormField> order = orderOf(cart);
        EXPECT_NO_THROW(CheckOrderFigures(order)) << cart["what"].text;
        std::string unchecked;
        const auto problem = ShopProblem(order, shop, unchecked);
        EXPECT_FALSE(problem) << cart["what"].text << ": " << *problem;
        EXPECT_EQ(unchecked, "") << cart["what"].text;
    }
}

TEST(ShopFigures, TamperedCartsThatAddUpAreRefused)
{
    // Each order adds up and names the shop's unit prices, so the figure
    // check and the price check took it; only the shop's own cart tells.
    const std::string home = "net at home";   // 12 x 4.50 less 5 %, 24.00 of a group with 3.00 surcharge; nn
    const std::string limit = "at the limit"; // 147.00: shipping 7.40
    const std::string france = "VAT by destination within the EU";
    const std::string gross = "gross with 5 %";
    struct Case {
        const char* what;
        std::string cart;
        std::vector<FormField> changes;
        std::string refusal;
    };
    const std::vector<Case> cases{
        {"a discount of the whole subtotal",
         home,
         {{"qdiscount", "78.00"}, {"total", "0.00"}, {"vat", "0.00"}, {"subamount", "10.40"}},
         "The qdiscount 78.00 is not the shop's 2.70"},
        {"an order-value discount below its level",
         home,
         {{"pdiscount", "1.51"}, {"total", "73.79"}, {"vat", "14.02"}, {"subamount", "98.21"}},
         "The pdiscount 1.51 is not the shop's 0.00"},
        {"no VAT for a German address",
         home,
         {{"vatrate", "0.00"}, {"vat", "0.00"}, {"subamount", "85.70"}},
         "The vatrate 0.00 is not the shop's 19.00 for delivery to Deutschland"},
        {"the home rate for France",
         france,
         {{"vatrate", "19.00"}, {"vat", "4.37"}, {"subamount", "38.87"}},
         "The vatrate 19.00 is not the shop's 20.00 for delivery to France"},
        {"VAT a few cents short of the rate",
         home,
         {{"vat", "14.20"}, {"subamount", "99.90"}},
         "The vat 14.20 is not the shop's 14.31"},
        {"the net VAT in a gross cart, 11 cents under",
         gross,
         {{"vat", "9.69"}, {"subamount", "68.39"}},
         "The vat 9.69 is not the shop's 9.75 (or 9.80 with gross prices)"},
        {"no shipping",
         home,
         {{"shipping", "0.00"}, {"subamount", "89.61"}},
         "The shipping 0.00 is not the shop's 10.40 for delivery to Deutschland"},
        {"free delivery at the limit",
         limit,
         {{"shipping", "0.00"}, {"subamount", "174.93"}},
         "The shipping 0.00 is not the shop's 7.40"},
        {"shipping without the group's surcharge",
         home,
         {{"shipping", "7.40"}, {"subamount", "97.01"}},
         "The shipping 7.40 is not the shop's 10.40"},
        {"shipping of another country",
         home,
         {{"country", "France"}},
         "The shipping 10.40 is not the shop's 14.50 for delivery to France"},
        {"no cash-on-delivery fee",
         home,
         {{"paymentfee", "0.00"}},
         "The paymentfee 0.00 is not the shop's 2.00 for nn for delivery to Deutschland"},
        {"a payment the country does not offer",
         home,
         {{"payment", "cc"}},
         "The payment \"cc\" is not one the shop offers for delivery to Deutschland (vk, nn)"},
        {"no payment where the country offers some",
         home,
         {{"payment", ""}, {"paymentfee", "0.00"}},
         "The payment \"\" is not one the shop offers"},
        {"a country the shop does not deliver to",
         home,
         {{"country", "Atlantis"}},
         "The delivery country \"Atlantis\" is not one the shop delivers to"},
        {"the delivery address counts, not the billing one",
         home,
         {{"la_country", "Atlantis"}},
         "The delivery country \"Atlantis\""},
        {"a unit price a cent off",
         home,
         {{"item1", "Ding|Z300|1|24.01|24.01"},
          {"subtotal", "78.01"},
          {"total", "75.31"},
          {"vat", "14.31"},
          {"subamount", "100.02"}},
         "item1: the unit price 24.01 of \"Z300\" is not the shop's price 24.00"},
    };
    for (const Case& c : cases) {
        const Json& cart = cartAbout(c.cart);
        const PublishedShop shop = publishedShop(fixture()["shops"][cart["shop"].text]);
        const std::vector<FormField> order = changed(orderOf(cart), c.changes);
        EXPECT_NO_THROW(CheckOrderFigures(order)) << c.what << ": the figures add up";
        std::string unchecked;
        const auto problem = ShopProblem(order, shop, unchecked);
        ASSERT_TRUE(problem) << c.what;
        EXPECT_NE(problem->find(c.refusal), std::string::npos) << c.what << ": " << *problem;
    }
}

TEST(ShopFigures, OrdersOfCartsBeforeTheCentsGetACentEitherWay)
{
    // Without vatrate the cart rounded each figure on its own and charged
    // the home rate: a cent off is its rounding, more is not.
    const Json& cart = cartAbout("VAT by destination within the EU");
    const PublishedShop shop = publishedShop(fixture()["shops"][cart["shop"].text]);
    std::string unchecked;
    std::vector<FormField> old = changed(orderOf(cart), {{"vat", "4.37"}, {"subamount", "38.87"}});
    std::erase_if(old, [](const FormField& f) { return f.Name == "vatrate"; });
    EXPECT_FALSE(ShopProblem(old, shop, unchecked)) << "19 % of 23.00, the home rate";
    EXPECT_FALSE(ShopProblem(changed(old, {{"shipping", "11.51"}}), shop, unchecked));
    const auto off = ShopProblem(changed(old, {{"shipping", "11.52"}}), shop, unchecked);
    ASSERT_TRUE(off);
    EXPECT_NE(off->find("The shipping 11.52 is not the shop's 11.50"), std::string::npos) << *off;
    const auto noVat = ShopProblem(changed(old, {{"vat", "0.00"}}), shop, unchecked);
    ASSERT_TRUE(noVat);
    EXPECT_NE(noVat->find("The vat 0.00 is not the shop's 4.37"), std::string::npos) << *noVat;
}

TEST(ShopFigures, AnItemInSeveralGroupsMayBeAnyOfThem)
{
    // K1 at 10.00 in a group without surcharge and in one with 5.00: the
    // order does not say which, so either shipping is the shop's.
    PublishedShop shop = publishedShop(fixture()["shops"]["home"]);
    shop.Items = {};
    ReadDatabaseScript("gd = 'Ding\xA6K1\xA6"
                       "10.00\xA6"
                       "00\xA6\x86"
                       "0'; gd = 'Ding\xA6K1\xA6"
                       "10.00\xA6"
                       "00\xA6\x86"
                       "5'; location.href = 'categories.html';",
                       "db_0.js", shop.Items);
    const std::vector<FormField> order{
        {"country", "Deutschland"}, {"itemcount", "1"},     {"item0", "Ding|K1|1|10.00|10.00"},
        {"subtotal", "10.00"},      {"qdiscount", "0.00"},  {"pdiscount", "0.00"},
        {"total", "10.00"},         {"vat", "1.90"},        {"vatrate", "19.00"},
        {"shipping", "7.40"},       {"subamount", "19.30"}, {"paymentfee", "0.00"},
        {"payment", "vk"}};
    std::string unchecked;
    EXPECT_FALSE(ShopProblem(order, shop, unchecked));
    EXPECT_FALSE(ShopProblem(changed(order, {{"shipping", "12.40"}, {"subamount", "24.30"}}), shop, unchecked));
    const auto neither = ShopProblem(changed(order, {{"shipping", "9.40"}, {"subamount", "21.30"}}), shop, unchecked);
    ASSERT_TRUE(neither);
    EXPECT_NE(neither->find("The shipping 9.40 is not the shop's 7.40"), std::string::npos) << *neither;
}

} // namespace
