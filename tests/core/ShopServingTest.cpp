#include "core/generator/ShopServing.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(ShopServing, RequestsMapToFilesBelowTheShopOnly)
{
    TempDir outside;
    outside.write("secret.txt", "x");
    const std::string root = outside.path() + "shop/";
    outside.write("shop/index.html", "<html>");
    outside.write("shop/database/db_0.js", "x");
    outside.write("shop/countries/index.html", "<html>");
    outside.write("shop/pictures/large/a b_1.jpg", "x");

    struct Case {
        const char* method;
        const char* target;
        int status;
        const char* file; // below root when status is 200
    };
    const Case cases[] = {
        {"GET", "/", 200, "index.html"},
        {"GET", "/index.html?database", 200, "index.html"},
        {"HEAD", "/database/db_0.js#top", 200, "database/db_0.js"},
        {"GET", "/countries", 200, "countries/index.html"},
        {"GET", "/pictures/large/a%20b_1.jpg", 200, "pictures/large/a b_1.jpg"},
        {"GET", "/missing.html", 404, ""},
        {"GET", "/../secret.txt", 403, ""},
        {"GET", "/database/../../secret.txt", 403, ""},
        {"GET", "/%2e%2e/secret.txt", 403, ""},
        {"GET", "/..%2fsecret.txt", 400, ""},
        {"GET", "/..%5csecret.txt", 400, ""},
        {"GET", "/index.html%00.js", 400, ""},
        {"GET", "/index%2", 400, ""},
        {"GET", "index.html", 400, ""},
        {"GET", "http://127.0.0.1/index.html", 400, ""},
        {"POST", "/index.html", 405, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.target);
        const ShopResponse r = ResolveShopRequest(root, c.method, c.target);
        EXPECT_EQ(r.Status, c.status);
        if (c.status == 200) {
            EXPECT_EQ(r.Path, root + c.file);
        } else {
            EXPECT_TRUE(r.Path.empty());
        }
    }
}

TEST(ShopServing, GeneratedTextIsDeclaredWindows1252)
{
    EXPECT_EQ(ShopContentType("a/index.HTML"), "text/html; charset=windows-1252");
    EXPECT_EQ(ShopContentType("db_0.js"), "text/javascript; charset=windows-1252");
    EXPECT_EQ(ShopContentType("quillane.css"), "text/css; charset=windows-1252");
    EXPECT_EQ(ShopContentType("x_1.jpg"), "image/jpeg");
    EXPECT_EQ(ShopContentType("loadbar.gif"), "image/gif");
    EXPECT_EQ(ShopContentType("README"), "application/octet-stream");
}
