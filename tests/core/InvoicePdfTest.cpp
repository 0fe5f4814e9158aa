#include "core/orders/InvoicePdf.h"

#include <gtest/gtest.h>

using namespace quillane;

TEST(InvoicePdfTest, FileNamesStayInTheirFolder)
{
    const struct {
        const char* number;
        const char* orderId;
        const char* name;
    } cases[] = {
        {"RE-2026-0042", "A1", "RE-2026-0042.pdf"},
        {"", "A1", "A1.pdf"},
        {"  ", "A1", "A1.pdf"},
        {"2026/07", "A1", "2026_07.pdf"},
        {"../../etc/passwd", "A1", "_.._etc_passwd.pdf"},
        {"..", "A1", "A1.pdf"},
        {".hidden", "A1", "hidden.pdf"},
        {"a\\b:c*d?e\"f<g>h|i\tj", "A1", "a_b_c_d_e_f_g_h_i_j.pdf"},
        {"R\xE4"
         "ch 1",
         "A1",
         "R\xE4"
         "ch 1.pdf"},
        {"", "..", "invoice.pdf"},
        {"", "", "invoice.pdf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InvoicePdfFileName(c.number, c.orderId), c.name) << c.number << " / " << c.orderId;
    }
    EXPECT_EQ(InvoicePdfFileName(std::string(300, '7'), "A1"), std::string(120, '7') + ".pdf");
}
