#include "core/listing/AuctionListing.h"
#include "../ShopFixture.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/i18n/LanguageFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// The expected page; QUILLANE_UPDATE_GOLDEN=1 writes it anew from the
// program's output, to be read through before it is committed.
const std::string kGolden = std::string(QUILLANE_DATA_DIR) + "../tests/fixtures/listing/";

// A program folder with a working copy: quillane.ini, pictures.ini in temp/,
// the project's data in daten/ (a shop profile only where a test writes one).
struct AuctionHome {
    TempDir dir;
    AuctionSetup setup;
    AuctionItem item;
    AuctionChoices choices;

    explicit AuctionHome(const std::string& settings = "")
    {
        dir.write("quillane.ini", settings);
        dir.write("temp/pictures.ini", "");
        CreateFolder(dir.file("daten/"));
        setup.ProgramDir = dir.path();
        setup.TempDir = dir.file("temp/");
        setup.DataDir = dir.file("daten/");
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
    // A picture source that exists, for the generator's plan to count.
    std::string picture(const std::string& name) const { return dir.write("bilder/" + name, "P6\n1 1\n255\nabc"); }
    void profile(const std::string& content) const { dir.write("daten/shopprofil.ini", content); }
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
const std::string kTitleCell = "<span style=\"font-size: 14pt; font-weight: bold; background-color: #";

// WCAG relative luminance of "RRGGBB".
double luminance(const std::string& hex)
{
    double l[3];
    for (int i = 0; i < 3; ++i) {
        const double v = std::stoi(hex.substr(2 * i, 2), nullptr, 16) / 255.0;
        l[i] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }
    return 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2];
}

double contrast(const std::string& a, const std::string& b)
{
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Every style of the page that sets a text colour, as (text, background):
// each one must name its background too, as the auction site's own page
// around it may have any colours.
std::vector<std::pair<std::string, std::string>> textColours(const std::string& html)
{
    static const std::regex style("style=\"([^\"]*)\"");
    static const std::regex text("(^|[; ])color: #([0-9A-Fa-f]{6})");
    static const std::regex background("background-color: #([0-9A-Fa-f]{6})");
    std::vector<std::pair<std::string, std::string>> pairs;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), style); it != std::sregex_iterator(); ++it) {
        const std::string declarations = (*it)[1];
        std::smatch t;
        if (!std::regex_search(declarations, t, text)) {
            continue;
        }
        std::smatch b;
        pairs.emplace_back(t[2], std::regex_search(declarations, b, background) ? b[1].str() : "none");
    }
    return pairs;
}

} // namespace

TEST(AuctionDescription, MatchesTheGoldenPage)
{
    AuctionHome home("[Services]\r\nProductSite=http://127.0.0.1:8000/\r\n");
    home.profile("[Layout]\r\nK-BC=8421504\r\nT-BC=16777215\r\nU-BC=255\r\nV-FC=-2147483635\r\nFont=Verdana\r\n");
    home.pictures("[A1]\r\n1=" + home.picture("a.ppm") + "\r\n2=" + home.picture("b.ppm") + "\r\n");
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

TEST(AuctionDescription, PicturesAreTheLargeOnesTheGeneratorWrites)
{
    const std::string img = "\r\n\t\t<img src=\"http://shop.example/pictures/large/";
    const std::string tail = ".jpg\" width=\"150\" alt=\"Winterjacke\" border=\"0\"><br><br>";
    struct Case {
        const char* what;
        std::string section;              // the item's section in pictures.ini
        std::vector<std::string> entries; // "+": a picture that exists, "-": one whose file is gone
        std::string cell;
    } cases[] = {
        {"no pictures", "A1", {}, ""},
        {"only another item's", "A2", {"+"}, ""},
        {"a gone one is skipped and the numbers close up",
         "A1",
         {"+", "-", "+"},
         img + "A1_1" + tail + img + "A1_2" + tail},
        {"an order number that is no plain file name", "A 1/#\xE4", {"+"}, img + "A%201_%23%E4_1" + tail},
    };
    for (const Case& c : cases) {
        AuctionHome home;
        std::string section = "[" + c.section + "]\r\n";
        for (std::size_t k = 0; k < c.entries.size(); ++k) {
            const std::string source = c.entries[k] == "+" ? home.picture(std::to_string(k) + ".ppm") : "/gone.jpg";
            section += std::to_string(k + 1) + "=" + source + "\r\n";
        }
        home.pictures(section);
        home.item.OrderNo = c.section == "A2" ? "A1" : c.section;
        EXPECT_EQ(between(home.describe(), kPictureCell, "</td>"), c.cell) << c.what;
    }
}

TEST(AuctionDescription, TitleAsTypedBrokenAtDashesAndEscaped)
{
    struct Case {
        std::string name;
        std::string title;
    } cases[] = {
        {"Winterjacke - Gr\xF6\xDF"
         "e M",
         "Winterjacke<br>Gr\xF6\xDF"
         "e M"},
        {"Mehl 100 g - 1 kg - 0,5 ml", "Mehl 100 g<br>1 kg<br>0,5 ml"},
        {"a - b - c-d", "a<br>b<br>c-d"},
        {"Lamp & <b>Shade</b> > 2", "Lamp &amp; &lt;b&gt;Shade&lt;/b&gt; &gt; 2"},
    };
    for (const Case& c : cases) {
        AuctionHome home;
        home.item.Name = c.name;
        const std::string title = between(home.describe(), kTitleCell, "</span>");
        EXPECT_EQ(title.substr(title.find(";\">") + 3), c.title) << c.name;
    }
}

TEST(AuctionDescription, ItemNameAndShopAddressAreEscapedInAttributes)
{
    AuctionHome home;
    home.pictures("[A1]\r\n1=" + home.picture("x.ppm") + "\r\n");
    home.item.Name = "Say \"hi\" & <script>";
    home.choices.ShopURL = "https://shop.example/a\"onerror=\"alert(1)/";
    const std::string html = home.describe();
    EXPECT_NE(html.find("<img src=\"https://shop.example/a&quot;onerror=&quot;alert(1)/pictures/large/A1_1.jpg\" "
                        "width=\"150\" alt=\"Say &quot;hi&quot; &amp; &lt;script&gt;\" border=\"0\">"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<a href=\"https://shop.example/a&quot;onerror=&quot;alert(1)/\" target=\"_blank\""),
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

TEST(AuctionDescription, ColoursComeFromTheShopLayoutAndAlwaysRead)
{
    // Stored colours are 0x00BBGGRR; the inlay is the layout's table background.
    struct Case {
        const char* what;
        const char* profile; // nullptr: the project has no shop profile
        const char* inlay;
        const char* font;
    } cases[] = {
        {"no shop profile: the light default", nullptr, "FFFFFF", "font-family: Arial;"},
        {"a profile without layout: the generator's defaults", "[Invoice]\r\nbank=x\r\n", "FFFFFF",
         "font-family: arial;"},
        {"black on black everywhere",
         "[Layout]\r\nD-FC=0\r\nD-BC=0\r\nK-FC=0\r\nK-BC=0\r\nU-FC=0\r\nU-BC=0\r\nT-FC=0\r\nT-BC=0\r\nV-FC=0\r\n",
         "000000", nullptr},
        {"white on white, yellow links",
         "[Layout]\r\nK-FC=16777215\r\nK-BC=16777215\r\nT-FC=16777215\r\nT-BC=16777215\r\nV-FC=65535\r\n", "FFFFFF",
         nullptr},
        {"grey on grey, a font that would end the style",
         "[Layout]\r\nK-FC=8421504\r\nK-BC=8421504\r\nT-FC=8421504\r\nT-BC=8421504\r\nV-FC=8421504\r\n"
         "Font=x\"; color: #000\r\n",
         "808080", "font-family: x\\22 \\3b  color\\3a  \\23 000;"},
        {"the merchant's blue table", "[Layout]\r\nT-BC=16711680\r\nT-FC=16777215\r\n", "0000FF", nullptr},
    };
    for (const Case& c : cases) {
        AuctionHome home("[Services]\r\nProductSite=http://127.0.0.1:9/\r\n");
        home.pictures("[A1]\r\n1=" + home.picture("x.ppm") + "\r\n");
        home.dir.write("userprofil.ini",
                       "[Contact]\r\nFirma=Wolle\r\nEMail=a@example.com\r\nHomepage=http://w.example/\r\n");
        if (c.profile != nullptr) {
            home.profile(c.profile);
        }
        const std::string html = home.describe();
        const auto pairs = textColours(html);
        // The box, the title, the shop link, the mail and homepage links, the credit and its link.
        EXPECT_EQ(pairs.size(), 7u) << c.what;
        for (const auto& [text, background] : pairs) {
            ASSERT_NE(background, "none") << c.what << ": " << text;
            EXPECT_GE(contrast(text, background), 4.5) << c.what << ": #" << text << " on #" << background;
        }
        EXPECT_NE(html.find("<table width=\"600\" border=\"0\" cellpadding=\"8\" cellspacing=\"0\" "
                            "style=\"background-color: #" +
                            std::string(c.inlay) + "; color: #"),
                  std::string::npos)
            << c.what << "\n"
            << html;
        if (c.font != nullptr) {
            EXPECT_NE(html.find(std::string(c.font) + " font-size: 10pt;"), std::string::npos) << c.what;
        }
    }
}

TEST(AuctionDescription, ContactBlockOnlyWhenChosen)
{
    for (const bool chosen : {true, false}) {
        AuctionHome home;
        home.dir.write("userprofil.ini", "[Contact]\r\nFirma=Wolle & Co\r\nName=Anna Berg\r\nStrasse=Hauptstr. 1\r\n"
                                         "PLZ=12345\r\nOrt=K\xF6ln\r\nEMail=anna@example.com\r\nTelefon=0221 1\r\n"
                                         "Homepage=javascript:alert(1)\r\n");
        home.setup.Say = [](const Message& m) { return "<" + std::string(m.Key.Name) + ">"; };
        home.choices.Contact = chosen;
        // The merchant's own text may name the placeholder; it shows as typed.
        home.item.Description = {"Siehe [CONTACT]"};
        const std::string html = home.describe();
        const std::size_t own = html.find("Siehe [CONTACT]");
        ASSERT_NE(own, std::string::npos);
        EXPECT_EQ(html.find("[CONTACT]", own + 7), std::string::npos) << chosen;
        const std::string block = "<td colspan=\"2\">\r\n\t\t<b>Wolle &amp; Co</b><br>\r\n\t\tAnna Berg<br>\r\n"
                                  "\t\tHauptstr. 1<br>\r\n\t\t12345 K\xF6ln<br>\r\n"
                                  "\t\t&lt;ListingContactPhone&gt; 0221 1<br>\r\n"
                                  "\t\t&lt;ListingContactEmail&gt; <a href=\"mailto:anna@example.com\"";
        EXPECT_EQ(html.find(block) != std::string::npos, chosen) << html;
        EXPECT_EQ(html.find("Anna Berg") != std::string::npos, chosen);
        // A homepage that is no web address is shown, never linked.
        EXPECT_EQ(html.find("href=\"javascript"), std::string::npos);
    }
    // Without contact data there is no empty block either.
    AuctionHome bare;
    const std::string html = bare.describe();
    EXPECT_EQ(html.find("[CONTACT]"), std::string::npos);
    EXPECT_EQ(html.find("<td colspan=\"2\">\r\n"), std::string::npos) << html;
}

TEST(AuctionDescription, CreditLinksTheProductNameInAnyLetterCase)
{
    for (const char* credit : {"Erstellt mit Quillane", "Erstellt mit QUILLANE", "Erstellt mit quillane"}) {
        AuctionHome home("[Services]\r\nProductSite=http://127.0.0.1:9/\r\n");
        home.setup.EbayTexts[3] = credit;
        const std::string cell = between(home.describe(), "<td nowrap>", "</td>");
        EXPECT_TRUE(std::regex_match(
            cell,
            std::regex(
                "Erstellt mit <a href=\"http://127\\.0\\.0\\.1:9/\" target=\"_blank\" style=\"[^\"]*\">Quillane</a>")))
            << cell;
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
    EXPECT_NE(html.find("<a href=\"http://shop.example/\" target=\"_blank\" style=\""), std::string::npos);
    // The style sheet writes it in capitals, umlauts included.
    EXPECT_NE(html.find("text-transform: uppercase;\">- Besuchen Sie unseren Shop -</a>"), std::string::npos);
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
    // An item without extra text of its own starts from the one saved last.
    EXPECT_EQ(LoadAuctionChoices(dir.path(), data, "B7", "seller").Additional,
              (std::vector<std::string>{"one", "two", "three"}));
    c.Additional = {"last"};
    ASSERT_TRUE(SaveAuctionChoices(dir.path(), data, "C1", c));
    EXPECT_EQ(LoadAuctionChoices(dir.path(), data, "B7", "seller").Additional, (std::vector<std::string>{"last"}));
    EXPECT_EQ(LoadAuctionChoices(dir.path(), data, "A1", "seller").Additional,
              (std::vector<std::string>{"one", "two", "three"}));
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
    EXPECT_NE(out.find("<img src=\"https://given.example/pictures/large/A1_2.jpg\""), std::string::npos) << out;
    EXPECT_EQ(out.find("A1_3.jpg"), std::string::npos);
    EXPECT_NE(out.find(">Winterjacke</span>"), std::string::npos);
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

TEST(AuctionCli, EveryPictureOfTheListingIsAFileOfTheGeneratedShop)
{
    TempDir dir;
    const std::string home = dir.file("home/");
    test::makeShopHome(home);
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunCli({"--home", home, "generate", "Alpha"}, out, err), 0) << err.str();
    const std::string shop = home + "Projekte/Alpha/shop/";
    for (const char* orderNo : {"A1", "B1"}) {
        std::ostringstream listing, listingErr;
        ASSERT_EQ(cli::RunCli({"--home", home, "listing", "Alpha", orderNo, "--shop-url", "https://shop.example/s"},
                              listing, listingErr),
                  0)
            << listingErr.str();
        const std::string html = listing.str();
        static const std::regex img("<img src=\"([^\"]*)\"");
        int pictures = 0;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), img); it != std::sregex_iterator(); ++it) {
            const std::string src = (*it)[1];
            const std::string base = "https://shop.example/s/";
            ASSERT_EQ(src.substr(0, base.size()), base) << src;
            const std::string file = shop + UrlDecode(src.substr(base.size()));
            EXPECT_TRUE(FileExists(file)) << src << " is not in the shop: " << file;
            ++pictures;
        }
        // A1 has two pictures, B1 one.
        EXPECT_EQ(pictures, std::string(orderNo) == "A1" ? 2 : 1) << html;
    }
}
