#include "orderd/OrderFigures.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

using namespace quillane::orderd;

namespace {

// The shop's KonvDez: two decimals, rounded half up.
std::string konvDez(double value)
{
    const long long cents = static_cast<long long>(std::floor(value * 100 * (1 + 1e-12) + 0.5));
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", cents / 100, cents % 100);
    return text;
}

} // namespace

TEST(OrderFigures, EveryCartTheShopComputesIsTaken)
{
    // Carts computed as the shop's preis computes them, with prices of up to
    // three decimals, discounts, VAT and shipping of odd amounts.
    std::mt19937 random(20261210);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int cart = 0; cart < 20000; ++cart) {
        std::vector<FormField> fields;
        const int lines = pick(1, 6);
        double subtotal = 0;
        double qDiscount = 0;
        fields.push_back({"itemcount", std::to_string(lines)});
        for (int i = 0; i < lines; ++i) {
            const double price = pick(1, 2000000) / (pick(0, 1) ? 1000.0 : 100.0);
            const int quantity = pick(1, 250);
            const double amount = quantity * price;
            qDiscount += amount * pick(0, 15) / 100.0;
            subtotal += amount;
            fields.push_back({"item" + std::to_string(i), "Teil|T-" + std::to_string(i) + "|" +
                                                              std::to_string(quantity) + "|" + konvDez(price) + "|" +
                                                              konvDez(amount)});
        }
        double total = subtotal - qDiscount;
        const double pDiscount = total * pick(0, 10) / 100.0;
        total -= pDiscount;
        const double vatFactor = 1 + pick(0, 250) / 1000.0;
        const double shipping = pick(0, 1) ? 0 : pick(0, 99999) / 1000.0;
        for (const auto& [name, value] :
             std::vector<std::pair<std::string, double>>{{"subtotal", subtotal},
                                                         {"qdiscount", qDiscount},
                                                         {"pdiscount", pDiscount},
                                                         {"total", total},
                                                         {"vat", total * (vatFactor - 1)},
                                                         {"shipping", shipping},
                                                         {"subamount", total * vatFactor + shipping},
                                                         {"paymentfee", 2.5}}) {
            fields.push_back({name, konvDez(value)});
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
