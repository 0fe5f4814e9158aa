#include "core/listing/AuctionListing.h"
#include "../ShopFixture.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/i18n/LanguageFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// The expected page; QUILLANE_UPDATE_GOLDEN=1 writes it anew from the
// program's output, to be read through before it is committed.
const std::string kGolden = std::string(QUILLANE_DATA_DIR) + "../tests/fixtures/listing/";

// A program folder with a working copy: quillane.ini, pictures.ini in temp/.
struct AuctionHome {
    TempDir dir;
    AuctionSetup setup;
    AuctionItem item;
    AuctionChoices choices;

    explicit AuctionHome(const std::string& settings = "")
    {
        dir.write("quillane.ini", settings);
        dir.write("temp/pictures.ini", "");
        setup.ProgramDir = dir.path();
        setup.TempDir = dir.file("temp/");
        setup.EbayTexts = {"Besuchen Sie unseren Shop", "Die eBay-Geb\xFChren #.", "Die Versandkosten #.",
                           "Erstellt mit Quillane"};
        item.OrderNo = "A1";
        item.Name = "Winterjacke";
        item.Price = "49.90";
        choices.ShopURL = "http://shop.example/";
        choices.eBayFee = "tr\xE4gt der Verk\xE4ufer";
        choices.Shipping = "tr\xE4gt der K\xE4ufer";
    }
    void pictures(const std::string& section) const { dir.write("temp/pictures.ini", section); }
    std::string describe() const { return CreateItemDescription(setup, item, choices); }
};

// The text between the first occurrence of before and the next occurrence of after.
std::string between(const std::string& text, const std::string& before, const std::string& after)
{
    const std::size_t start = text.find(before);
    if (start == std::string::npos) {
        return "<" + before + " missing>";
    }
    const std::size_t from = start + before.size();
    return text.substr(from, text.find(after, from) - from);
}

const std::string kPictureCell = "<td width=\"160\" align=\"center\" valign=\"top\">";
const std::string kTitleCell = "<span style=\"font-size: 14pt; font-weight: bold; color: #";

} // namespace

TEST(AuctionDescription, MatchesTheGoldenPage)
{
    AuctionHome home("[\xA7Layout]\r\nK-BC=8421504\r\nT-BC=16777215\r\nU-BC=255\r\nV-FC=-2147483635\r\n"
                     "Font=Verdana\r\n[Services]\r\nProductSite=http://127.0.0.1:8000/\r\n");
    home.pictures("[A1]\r\n1=/pics/a.jpg\r\n2=/pics/b.jpg\r\n");
    home.item.Name = "Winterjacke - Gr\xF6\xDF"
                     "e M";
    home.item.Description = {"Warm und <i>wasserdicht</i>.", "",
                             "Waschbar bei 30 \xB0"
                             "C."};
    home.choices.Additional = {"<b>Sonderangebot</b>", "Nur diese Woche"};
    const std::string html = home.describe();
    if (std::getenv("QUILLANE_UPDATE_GOLDEN") != nullptr) {
        WriteTextFile(kGolden + "description.html", html);
    }
    EXPECT_EQ(html, ReadFile(kGolden + "description.html"));
}

TEST(AuctionDescription, PicturesFollowTheCountOfKeysWhateverTheirValues)
{
    struct Case {
        const char* section;
        std::string cell;
    } cases[] = {
        {"", ""},
        {"[A2]\r\n1=x.jpg\r\n", ""},
        {"[A1]\r\n7=\r\nfoo=/nowhere.png\r\n1=x\r\n", "\r\n\t\t<img src=\"http://shop.example/pics/A1_1.jpg\" "
                                                      "width=\"150\" alt=\"Winterjacke\" border=\"0\"><br><br>"
                                                      "\r\n\t\t<img src=\"http://shop.example/pics/A1_2.jpg\" "
                                                      "width=\"150\" alt=\"Winterjacke\" border=\"0\"><br><br>"
                                                      "\r\n\t\t<img src=\"http://shop.example/pics/A1_3.jpg\" "
                                                      "width=\"150\" alt=\"Winterjacke\" border=\"0\"><br><br>"},
    };
    for (const Case& c : cases) {
        AuctionHome home;
        home.pictures(c.section);
        const std::string html = home.describe();
        EXPECT_EQ(between(html, kPictureCell, "</td>"), c.cell) << c.section;
    }
}

TEST(AuctionDescription, TitleInCapitalsBrokenAtDashesAndEscaped)
{
    struct Case {
        std::string name;
        std::string title;
    } cases[] = {
        {"Winterjacke - Gr\xF6\xDF"
         "e M",
         "WINTERJACKE<BR>GR\xF6\xDF"
         "E M"},
        {"a - b - c-d", "A<BR>B<BR>C-D"},
        {"Lamp & <b>Shade</b> > 2", "LAMP &amp; &lt;B&gt;SHADE&lt;/B&gt; &gt; 2"},
    };
    for (const Case& c : cases) {
        AuctionHome home;
        home.item.Name = c.name;
        EXPECT_EQ(between(home.describe(), kTitleCell + "000000;\">", "</span>"), c.title) << c.name;
    }
}

TEST(AuctionDescription, ItemNameAndShopAddressAreEscapedInAttributes)
{
    AuctionHome home;
    home.pictures("[A1]\r\n1=x\r\n");
    home.item.Name = "Say \"hi\" & <script>";
    home.choices.ShopURL = "https://shop.example/a\"onerror=\"alert(1)/";
    const std::string html = home.describe();
    EXPECT_NE(html.find("<img src=\"https://shop.example/a&quot;onerror=&quot;alert(1)/pics/A1_1.jpg\" width=\"150\" "
                        "alt=\"Say &quot;hi&quot; &amp; &lt;script&gt;\" border=\"0\">"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<a href=\"https://shop.example/a&quot;onerror=&quot;alert(1)/\" target=\"_blank\">"),
              std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("\"onerror"), std::string::npos);
}

TEST(AuctionDescription, AdditionalAndDescriptionLinesStayAsTyped)
{
    AuctionHome home;
    home.choices.Additional = {"<b>Neu</b> & gut"};
    home.item.Description = {"<i>a</i>", "b"};
    const std::string html = home.describe();
    EXPECT_EQ(between(html, "<td colspan=\"2\" align=\"center\"><b>", "</b></td>"), "\r\n\t\t<b>Neu</b> & gut<br>");
    EXPECT_EQ(between(html, "<td width=\"420\" align=\"justify\" valign=\"top\">", "</td>"),
              "\r\n\t\t<i>a</i><br>\r\n\t\tb<br>");
}

TEST(AuctionDescription, WithoutLayoutColoursAreBlackAndTheFontEmpty)
{
    AuctionHome home("[Layout]\r\nK-BC=255\r\n");
    const std::string html = home.describe();
    EXPECT_NE(html.find(".qlninlay { background-color: #000000; font-family: ; font-size: 10pt; }"), std::string::npos)
        << html;
    EXPECT_NE(html.find(".qlnborder { background-color: #000000; }"), std::string::npos);
    EXPECT_NE(html.find("color: #000000; }"), std::string::npos);
}

TEST(AuctionDescription, CreditLinksTheProductNameInAnyLetterCase)
{
    for (const char* credit : {"Erstellt mit Quillane", "Erstellt mit QUILLANE", "Erstellt mit quillane"}) {
        AuctionHome home("[Services]\r\nProductSite=http://127.0.0.1:9/\r\n");
        home.setup.EbayTexts[3] = credit;
        EXPECT_EQ(between(home.describe(), "<td nowrap>", "</td>"),
                  "Erstellt mit <a href=\"http://127.0.0.1:9/\" target=\"_blank\">Quillane</a>")
            << credit;
    }
}

TEST(AuctionDescription, FeesShopLinkAndVisitText)
{
    AuctionHome home;
    home.setup.EbayTexts[1] = "# zahlt: #";
    const std::string html = home.describe();
    EXPECT_EQ(
        between(html, "<td colspan=\"2\"><b>", "</b></td>"),
        "tr\xE4gt der Verk\xE4ufer zahlt: tr\xE4gt der Verk\xE4ufer<br>Die Versandkosten tr\xE4gt der K\xE4ufer.");
    EXPECT_NE(html.find("<a href=\"http://shop.example/\" target=\"_blank\"><span style=\"font-size: 12pt; "
                        "font-weight: bold;\">- BESUCHEN SIE UNSEREN SHOP -</span></a>"),
              std::string::npos);
    EXPECT_NE(html.find("<td colspan=\"2\">[CONTACT]</td>"), std::string::npos);
}

TEST(AuctionDescription, RefusesAnAddressThatIsNoWebAddress)
{
    for (const char* address : {"javascript:alert(1)//", "file:///etc/", "shop.example/", "ftp://shop.example/"}) {
        AuctionHome home;
        home.choices.ShopURL = address;
        try {
            home.describe();
            ADD_FAILURE() << address << " was taken";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(address), std::string::npos) << e.what();
        }
    }
}

TEST(AuctionChoices, SavedAndLoadedAgain)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    CreateFolder(data);
    dir.write("quillane.ini", "[Account]\r\nCountry=Germany\r\n");
    AuctionChoices fresh = LoadAuctionChoices(dir.path(), data, "A1", "seller");
    EXPECT_EQ(fresh.ShopURL, "http://");
    EXPECT_EQ(fresh.eBayFee, "seller");
    EXPECT_EQ(fresh.Shipping, "seller");
    EXPECT_TRUE(fresh.Contact);
    EXPECT_TRUE(fresh.Additional.empty());

    AuctionChoices c;
    c.ShopURL = "https://shop.example/sub";
    c.eBayFee = "buyer";
    c.Shipping = "seller";
    c.Contact = false;
    c.Additional = {"one", "two", "three", "four", "five"};
    ASSERT_TRUE(SaveAuctionChoices(dir.path(), data, "A1", c));
    EXPECT_EQ(c.ShopURL, "https://shop.example/sub/");
    c.Additional.resize(3);
    ASSERT_TRUE(SaveAuctionChoices(dir.path(), data, "A1", c));

    EXPECT_EQ(IniFile(data + "ebay.txt").ReadSection("A1").size(), 3u);
    const AuctionChoices loaded = LoadAuctionChoices(dir.path(), data, "A1", "seller");
    EXPECT_EQ(loaded.ShopURL, "https://shop.example/sub/");
    EXPECT_EQ(loaded.eBayFee, "buyer");
    EXPECT_EQ(loaded.Shipping, "seller");
    EXPECT_FALSE(loaded.Contact);
    EXPECT_EQ(loaded.Additional, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(IniFile(dir.file("quillane.ini")).ReadString("Account", "Country", ""), "Germany");
}

TEST(AuctionChoices, MissingOrRefusedAddressSavesNothing)
{
    struct Case {
        const char* address;
        bool refused;
    } cases[] = {{"", false}, {"http://", false}, {"https://", false}, {"javascript:alert(1)", true}};
    for (const Case& c : cases) {
        TempDir dir;
        AuctionChoices choices;
        choices.ShopURL = c.address;
        choices.Additional = {"x"};
        if (c.refused) {
            EXPECT_THROW(SaveAuctionChoices(dir.path(), dir.path(), "A1", choices), Error) << c.address;
        } else {
            EXPECT_FALSE(SaveAuctionChoices(dir.path(), dir.path(), "A1", choices)) << c.address;
        }
        EXPECT_FALSE(FileExists(dir.file("quillane.ini"))) << c.address;
        EXPECT_FALSE(FileExists(dir.file("ebay.txt"))) << c.address;
    }
    TextTables texts;
    texts.MsgBoxTexts[16] = "Bitte geben Sie die Adresse ein.|Sie wird gebraucht.|Mehr";
    EXPECT_EQ(MissingShopUrlNotice(texts), "Bitte geben Sie die Adresse ein.\nSie wird gebraucht.");
}

TEST(AuctionListingPage, ChosenByHomeCountryAndLanguage)
{
    TempDir dir;
    dir.write("quillane.ini", "[Services]\r\nAuctionSiteGermany=http://127.0.0.1:8123/\r\n");
    struct Case {
        const char* name;
        const char* language;
        const char* address;
    } cases[] = {
        {"Germany", "deutsch", "http://127.0.0.1:8123/aw-cgi/ebayISAPI.dll?SellYourItemSignIn"},
        {"Austria", "deutsch", "https://www.ebay.at/aw-cgi/eBayISAPI.dll?SellYourItem"},
        {"Belgium", "dutch", "https://www.benl.ebay.be/aw-cgi/eBayISAPI.dll?ListItemForSale"},
        {"Belgium", "french", "https://www.befr.ebay.be/aw-cgi/eBayISAPI.dll?ListItemForSale"},
        {"Belgium", "deutsch", "https://www.ebay.com/aw-cgi/eBayISAPI.dll?ListItemForSale"},
        {"Ireland", "english", "https://www.ebay.co.uk/aw-cgi/eBayISAPI.dll?SellYourItem"},
        {"Netherlands", "dutch", "https://www.ebay.nl/aw-cgi/eBayISAPI.dll?ListItemForSale"},
        {"Switzerland", "deutsch", "https://www.ebay.com/aw-cgi/eBayISAPI.dll?ListItemForSale"},
        {"germany", "deutsch", "https://www.ebay.com/aw-cgi/eBayISAPI.dll?ListItemForSale"},
    };
    for (const Case& c : cases) {
        TCountry home;
        home.Name = c.name;
        home.Language = c.language;
        EXPECT_EQ(ListingPageAddress(dir.path(), home), c.address) << c.name << " " << c.language;
    }
}

TEST(AuctionListingForms, ScriptCarriesEveryValueAsALiteral)
{
    ListingFormValues v;
    v.Title = "Say \"hi\"\\";
    v.Description = "<b>x</b>\r\n</script><!--";
    v.Price = "49.90";
    v.PictureUrl = "https://www.quillane.example/auktion/leer.gif";
    std::string script = ListingFormScript(v);
    EXPECT_NE(
        script.find("[[\"title\",\"Say \\\"hi\\\"\\\\\"],"
                    "[\"desc\",\"\\u003cb\\u003ex\\u003c/b\\u003e\\u000d\\u000a\\u003c/script\\u003e\\u003c!--\"],"
                    "[\"binprice\",\"49.90\"],"
                    "[\"picurl\",\"https://www.quillane.example/auktion/leer.gif\"]]"),
        std::string::npos)
        << script;

    v.WithContact = true;
    v.Contact = {"Berlin", "Anna", "Hauptstr. 1", "12345", "030 1"};
    script = ListingFormScript(v);
    EXPECT_NE(script.find("[\"picurl\",\"https://www.quillane.example/auktion/leer.gif\"],[\"location\",\"Berlin\"],"
                          "[\"sellername\",\"Anna\"],[\"selleraddr1\",\"Hauptstr. 1\"],[\"sellerzip\",\"12345\"],"
                          "[\"sellercity\",\"Berlin\"],[\"sellerphone\",\"030 1\"],[\"ipShippingFee\",\"\"]]"),
              std::string::npos)
        << script;
}

TEST(AuctionCli, WritesTheDescriptionOfAProjectItem)
{
    TempDir dir;
    const std::string home = dir.file("home/");
    test::makeShopHome(home);
    {
        IniFile settings(home + "quillane.ini");
        settings.WriteString("eBay", "ShopURL", "http://stored.example/");
        settings.WriteString("eBay", "eBayFee", "FEE1");
        settings.UpdateFile();
    }
    WriteTextFile(home + "Projekte/Alpha/daten/ebay.txt", "[A1]\r\n0=Nur heute\r\n");
    auto run = [](const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int code = cli::RunCli(args, out, err);
        return std::tuple{code, out.str(), err.str()};
    };

    const auto [code, out, err] =
        run({"--home", home, "listing", "Alpha", "A1", "--shop-url", "https://given.example"});
    ASSERT_EQ(code, 0) << err;
    EXPECT_NE(out.find("<img src=\"https://given.example/pics/A1_2.jpg\""), std::string::npos) << out;
    EXPECT_EQ(out.find("A1_3.jpg"), std::string::npos);
    EXPECT_NE(out.find("WINTERJACKE</span>"), std::string::npos);
    EXPECT_NE(out.find("\t\tWarm und wasserdicht.<br>"), std::string::npos);
    EXPECT_NE(out.find("\t\tNur heute<br>"), std::string::npos);
    EXPECT_NE(out.find("Die eBay-Geb\xC3\xBChren FEE1.<br>"), std::string::npos);

    const auto [storedCode, storedOut, storedErr] = run({"--home", home, "listing", "Alpha", "A1"});
    EXPECT_EQ(storedCode, 0) << storedErr;
    EXPECT_NE(storedOut.find("href=\"http://stored.example/\""), std::string::npos);

    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--home", home, "listing", "Alpha", "Z9"}, "Z9"},
        {{"--home", home, "listing", "Alpha", "A1", "--shop-url", "javascript:x"}, "javascript:x"},
        {{"--home", home, "listing", "Alpha"}, "listing needs"},
    };
    for (const Case& c : cases) {
        const auto [failCode, failOut, failErr] = run(c.args);
        EXPECT_EQ(failCode, 1) << c.message;
        EXPECT_TRUE(failOut.empty()) << c.message;
        EXPECT_NE(failErr.find(c.message), std::string::npos) << failErr;
        EXPECT_EQ(std::count(failErr.begin(), failErr.end(), '\n'), 1) << failErr;
    }
}
