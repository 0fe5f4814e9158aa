// Reading the shop's form into an order: which names an order may carry.
// The program reads the keys of orders.dat without regard to case, so a
// name the service let through in another spelling would stand for the
// field, or for the program's own key, in the program.

#include "orderd/OrderIntake.h"
#include "OrderdHarness.h"

#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::orderd;
using namespace quillane::test;

namespace {

Fields oneLine()
{
    return {{"UserID", "gartenshop"},
            {"firstname", "Eva"},
            {"lastname", "Muster"},
            {"itemcount", "1"},
            {"item0", "Ding|K1|1|88.20|88.20"},
            {"subtotal", "88.20"},
            {"qdiscount", "0.00"},
            {"pdiscount", "0.00"},
            {"total", "88.20"},
            {"vat", "0.00"},
            {"vatrate", "0.00"},
            {"shipping", "0.00"},
            {"subamount", "88.20"},
            {"paymentfee", "0.00"},
            {"payment", "vk"}};
}

TEST(OrderIntake, NamesAreMatchedWithoutRegardToCase)
{
    struct Case {
        const char* what;
        Fields extra;
        std::string refusal;
    };
    const std::vector<Case> cases{
        // The program would take the later of each pair.
        {"a second total", {{"Total", "0.24"}}, "The field Total is sent twice"},
        {"a second item line", {{"Item0", "Ding|K1|1|0.01|0.01"}}, "The field Item0 is sent twice"},
        {"a second subamount", {{"SUBAMOUNT", "0.01"}}, "The field SUBAMOUNT is sent twice"},
        // Keys the service or the program writes, in any case.
        {"the date", {{"Date", "01.01.2000 00:00"}}, "The field Date is the service's own"},
        {"printed", {{"Printed", "true"}}, "The field Printed is the service's own"},
        {"the invoice number", {{"invoiceno", "R-1"}}, "The field invoiceno is the service's own"},
        {"the invoice number in capitals", {{"InvoiceNo", "R-1"}}, "The field InvoiceNo is the service's own"},
        {"the queue", {{"QUEUE", "x"}}, "The field QUEUE is the service's own"},
        // Names the protocol does not have.
        {"an unknown name", {{"discount", "88.19"}}, "The field discount is no field of an order"},
        {"a delivery key that is none", {{"la_notes", "x"}}, "The field la_notes is no field of an order"},
        {"a password", {{"Password", "x"}}, "The field Password is no field of an order"},
        {"an item line with a leading zero", {{"item01", "x"}}, "The field item01 is no item line"},
    };
    for (const Case& c : cases) {
        Fields order = oneLine();
        order.insert(order.end(), c.extra.begin(), c.extra.end());
        try {
            ReadOrder(orderBody(order));
            ADD_FAILURE() << c.what << ": taken";
        } catch (const OrderRefused& e) {
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

TEST(OrderIntake, NamesAreStoredInTheProtocolsSpelling)
{
    Fields order = oneLine();
    for (auto& [name, value] : order) {
        if (name == "firstname") {
            name = "FirstName";
        } else if (name == "item0") {
            name = "ITEM0";
        } else if (name == "vatrate") {
            name = "VatRate";
        } else if (name == "UserID") {
            name = "userid";
        }
    }
    order.emplace_back("La_Country", "Danmark");
    const ReceivedOrder read = ReadOrder(orderBody(order));
    EXPECT_EQ(read.UserId, "gartenshop");
    ASSERT_NE(FindField(read.Fields, "firstname"), nullptr);
    EXPECT_EQ(*FindField(read.Fields, "firstname"), "Eva");
    ASSERT_NE(FindField(read.Fields, "item0"), nullptr);
    EXPECT_EQ(*FindField(read.Fields, "vatrate"), "0.00");
    EXPECT_EQ(*FindField(read.Fields, "la_country"), "Danmark");
    EXPECT_EQ(FieldLines(read.Fields).find("FirstName"), std::string::npos);
}

} // namespace
