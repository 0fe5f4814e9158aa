#include "orderd/OrderFigures.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

using namespace quillane::orderd;

namespace {

std::string euros(long long cents)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", cents / 100, cents % 100);
    return text;
}

long long roundHalfUp(double cents)
{
    return static_cast<long long>(std::floor(cents * (1 + 1e-12) + 0.5));
}

} // namespace

TEST(OrderFigures, EveryCartTheShopComputesIsTaken)
{
    // Carts counted in whole cents as the shop counts them: lines of
    // quantity x unit price, discounts rounded once, VAT and shipping of odd
    // amounts, and every sum the sum of what it sums.
    std::mt19937 random(20261210);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int cart = 0; cart < 20000; ++cart) {
        std::vector<FormField> fields;
        const int lines = pick(1, 6);
        long long subtotal = 0;
        double exactDiscount = 0;
        fields.push_back({"itemcount", std::to_string(lines)});
        for (int i = 0; i < lines; ++i) {
            const long long price = pick(1, 2000000);
            const int quantity = pick(1, 250);
            const long long amount = quantity * price;
            exactDiscount += amount * pick(0, 15) / 100.0;
            subtotal += amount;
            fields.push_back({"item" + std::to_string(i), "Teil|T-" + std::to_string(i) + "|" +
                                                              std::to_string(quantity) + "|" + euros(price) + "|" +
                                                              euros(amount)});
        }
        const long long qDiscount = roundHalfUp(exactDiscount);
        const long long pDiscount = roundHalfUp((subtotal - qDiscount) * pick(0, 10) / 100.0);
        const long long total = subtotal - qDiscount - pDiscount;
        const long long vat = roundHalfUp(total * pick(0, 250) / 1000.0);
        const long long shipping = pick(0, 1) ? 0 : pick(0, 99999);
        for (const auto& [name, value] :
             std::vector<std::pair<std::string, long long>>{{"subtotal", subtotal},
                                                            {"qdiscount", qDiscount},
                                                            {"pdiscount", pDiscount},
                                                            {"total", total},
                                                            {"vat", vat},
                                                            {"shipping", shipping},
                                                            {"subamount", total + vat + shipping},
                                                            {"paymentfee", 250}}) {
            fields.push_back({name, euros(value)});
        }
        try {
            CheckOrderFigures(fields);
        } catch (const std::exception& e) {
            std::string shown;
            for (const auto& f : fields) {
                shown += f.Name + "=" + f.Value + " ";
            }
            FAIL() << e.what() << "\n" << shown;
        }
    }
}

TEST(OrderFigures, ACentOffIsRefused)
{
    // 3 x 3.33 less 0.50 and 0.19; 19 % VAT of 9.30; 4.90 shipping.
    const std::vector<FormField> good{{"itemcount", "1"},     {"item0", "Becher|B-1|3|3.33|9.99"},
                                      {"subtotal", "9.99"},   {"qdiscount", "0.50"},
                                      {"pdiscount", "0.19"},  {"total", "9.30"},
                                      {"vat", "1.77"},        {"shipping", "4.90"},
                                      {"subamount", "15.97"}, {"paymentfee", "0.00"},
                                      {"vatrate", "19.00"}};
    EXPECT_NO_THROW(CheckOrderFigures(good));
    const std::vector<std::pair<std::string, std::string>> cases{
        // One figure a cent off in turn.
        {"item0", "Becher|B-1|3|3.33|10.00"},
        {"subtotal", "10.00"},
        {"total", "9.31"},
        {"subamount", "15.96"},
    };
    for (const auto& [name, value] : cases) {
        std::vector<FormField> fields = good;
        for (FormField& f : fields) {
            if (f.Name == name) {
                f.Value = value;
            }
        }
        try {
            CheckOrderFigures(fields);
            ADD_FAILURE() << name << "=" << value << " was taken";
        } catch (const OrderRefused& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
}

// A shop made before counting in cents sends no rate and rounded each sum on
// its own: a sum a cent off the sum of its parts is its rounding, and its
// orders must not be lost; two cents off is still refused.
TEST(OrderFigures, AShopWithoutRateIsHeldToItsSumsUpToItsRounding)
{
    const std::vector<FormField> good{{"itemcount", "1"},     {"item0", "Becher|B-1|3|3.33|9.99"},
                                      {"subtotal", "9.99"},   {"qdiscount", "0.50"},
                                      {"pdiscount", "0.19"},  {"total", "9.31"},
                                      {"vat", "1.77"},        {"shipping", "4.90"},
                                      {"subamount", "15.98"}, {"paymentfee", "0.00"}};
    EXPECT_NO_THROW(CheckOrderFigures(good));
    std::vector<FormField> withRate = good;
    withRate.push_back({"vatrate", "19.00"});
    EXPECT_THROW(CheckOrderFigures(withRate), OrderRefused);

    const std::vector<FormField> fields{{"itemcount", "1"},     {"item0", "Becher|B-1|3|3.33|9.99"},
                                        {"subtotal", "9.99"},   {"qdiscount", "0.50"},
                                        {"pdiscount", "0.19"},  {"total", "9.30"},
                                        {"vat", "1.77"},        {"shipping", "4.90"},
                                        {"subamount", "15.99"}, {"paymentfee", "0.00"}};
    EXPECT_THROW(CheckOrderFigures(fields), OrderRefused);
}

TEST(OrderFigures, TheVatMustBeTheRateSentOfTheTotal)
{
    // 5 x 2.00 = 10.00 net; each case changes the rate sent and the VAT.
    const auto order = [](const char* vatrate, const char* vat, const char* subamount) {
        std::vector<FormField> fields{{"itemcount", "1"},
                                      {"item0", "Tasse|T-1|5|2.00|10.00"},
                                      {"subtotal", "10.00"},
                                      {"qdiscount", "0.00"},
                                      {"pdiscount", "0.00"},
                                      {"total", "10.00"},
                                      {"vat", vat},
                                      {"shipping", "0.00"},
                                      {"subamount", subamount},
                                      {"paymentfee", "0.00"}};
        if (vatrate) {
            fields.push_back({"vatrate", vatrate});
        }
        return fields;
    };
    struct Case {
        const char* vatrate;
        const char* vat;
        const char* subamount;
        const char* refusal; // empty when taken; else what the answer names
    } cases[] = {
        {"20.00", "2.00", "12.00", ""}, // France
        {"19.00", "1.90", "11.90", ""}, // Germany
        {"0.00", "0.00", "10.00", ""},  // an export
        {"8.10", "0.81", "10.81", ""},
        // Gross prices: 2.00 net shows 2.38 at 19 %, five of them 11.90; at
        // 7 %, 2.14 and 10.70. Per unit the rounding may differ by a cent.
        {"19.00", "1.92", "11.92", ""},
        {nullptr, "5.00", "15.00", ""},    // a shop from before the rate was sent: not checked
        {"20.00", "1.90", "11.90", "vat"}, // the German VAT for a French rate
        {"0.00", "1.90", "11.90", "vat"},  // VAT on an export
        {"19.00", "0.00", "10.00", "vat"}, // the VAT left out
        {"19.00", "1.98", "11.98", "vat"}, // eight cents off on five units
        {"19", "1.90", "11.90", "vatrate"},
        {"100.01", "10.00", "20.00", "vatrate"},
        {"-1.00", "0.00", "10.00", "vatrate"},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.vatrate ? c.vatrate : "(none)") + " % and vat " + c.vat;
        try {
            CheckOrderFigures(order(c.vatrate, c.vat, c.subamount));
            EXPECT_STREQ(c.refusal, "") << what << " was taken";
        } catch (const OrderRefused& e) {
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << what << ": " << e.what();
            EXPECT_STRNE(c.refusal, "") << what << ": " << e.what();
        }
    }
}
