// Merges a fetched reply of 10,000 and of 40,000 orders into orders.dat, as
// the order fetch does: the reply is read, merged into an order file that
// already holds the older half of the orders (marked printed, as the
// merchant's own keys), and the file is written. Prints the time per order
// for both sizes and their ratio: near 1 when the merge is linear, about 4
// when it is quadratic. The best of a few rounds counts, as other work on
// the machine slows some.
#include "BenchSupport.h"
#include "core/common/IniFile.h"
#include "core/orders/OrderFile.h"
#include "core/orders/OrderRetrieval.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace quillane;
using bench::Clock;

std::string orderId(std::size_t i)
{
    return "20261210-104512-" + std::to_string(i);
}

// One order as the service sends it: the fields of the shop's form, two item lines and the totals.
std::string orderText(std::size_t i)
{
    const std::string n = std::to_string(i);
    return "[" + orderId(i) + "]\r\ndate=10.12.2026 10:45\r\nfirstname=Eva\r\nlastname=Meier " + n +
           "\r\ncompany=\r\nstreet=Gartenweg " + n +
           "\r\nzip=12345\r\ncity=Bonn\r\ncountry=Deutschland\r\nphone=0228 " + n + "\r\nfax=\r\nemail=eva" + n +
           "@example.org\r\nnotes=Bitte klingeln | zweiter Stock\r\nitemcount=2\r\n"
           "item0=Rosenschere - geschmiedeter Stahl|GT-001|6|3.50|21.00\r\n"
           "item1=Giesskanne 10 l - verzinkt|GT-002|1|5.75|5.75\r\nsubtotal=26.75\r\nqdiscount=0.00\r\n"
           "pdiscount=0.00\r\ntotal=26.75\r\nvat=5.08\r\nvatrate=19.00\r\nshipping=4.90\r\nsubamount=36.73\r\n"
           "paymentfee=0.00\r\npayment=vk\r\nqueue=\r\nconfirmed=false\r\n";
}

// Seconds for one fetch's merge of count orders; the order file holds the first half already.
double mergeOnce(const std::string& dir, std::size_t count)
{
    std::string reply;
    std::string known;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string order = orderText(i);
        reply += order;
        if (i < count / 2) {
            known += order + "printed=true\r\ninvoiceno=RE-" + std::to_string(i) + "\r\n";
        }
    }
    bench::write(dir + std::string(kOrderFileName), known);

    const auto start = Clock::now();
    const OrderReply parsed = ParseOrderReply(reply);
    IniFile orders = OpenOrderFile(dir);
    const MergeResult merged = MergeOrderReply(orders, parsed);
    orders.UpdateFile();
    const double seconds = bench::since(start);
    if (merged.Received != count || merged.NewIds.size() != count - count / 2) {
        std::fprintf(stderr, "the merge of %zu orders received %zu, %zu new\n", count, merged.Received,
                     merged.NewIds.size());
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quillane-orders-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string folder = dir.string() + "/";

    constexpr int kRounds = 3;
    const std::size_t sizes[] = {10000, 40000};
    double perOrder[2] = {};
    for (std::size_t s = 0; s < 2; ++s) {
        double best = 1e30;
        for (int round = 0; round < kRounds; ++round) {
            best = std::min(best, mergeOnce(folder, sizes[s]));
        }
        perOrder[s] = best / static_cast<double>(sizes[s]);
        std::printf("%6zu orders: %8.3f s, %7.2f us per order\n", sizes[s], best, perOrder[s] * 1e6);
    }
    std::printf("time per order, 40,000 against 10,000: %.2f (1 is linear, 4 quadratic)\n", perOrder[1] / perOrder[0]);
    fs::remove_all(dir);
    return 0;
}
