#include "core/generator/TemplateSubstitution.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Resources.h"
#include "core/generator/CountryScripts.h"
#include "core/generator/Generation.h"
#include "core/imaging/Picture.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// The pages and scripts that the substitution rewrites, each holding its
// placeholders; a test writes them where the layout and templates would.
const std::vector<std::pair<std::string, std::string>> kShopPages = {
    {"preloader.html", "<title>[FIRMA]</title>"},
    {"header_site.js", "document.write('[LOGO]');\ndocument.write('[FIRMA]');\n"},
    {"var_init.js", "mr = [MRABATT];\npr = [PRABATT];\n"
                    "vat = [HOME_VAT]; eu = [HOME_EUCOUNTRY]; home = '[HOME_INDEX]'; cur = '[HOME_CURRENCY]';\n"
                    "rate = [HOME_EURORATE];\nLand = new Array();[LAENDER]"
                    "c = '[COMPANY]|[NAME]|[STREET]|[ZIP]|[CITY]|[COUNTRY]|[EMAIL]|[PHONE]|[FAX]|[MOBIL]';\n"
                    "f = [FAKTOR]; v = '[STD]|[PRO]|[DTL]'; xxl = [XXL]; view = [ANSICHT]; tax = [STEUER];\n"
                    "free = [FREIHAUS]; pack = [VERPACKUNG];\n"
                    "bank = '[BANK]|[BLZ]|[KTO]|[STNR]|[USTID]'; orders = '[ORDERSERVICE]';\n"},
    {"header_shop.js", "s = '[STAND]';"},
    {"contact.html", "<input name=\"UserID\" value=\"[USERID]\">\n[LOGO][ANFAHRT]\n"},
    {"categories.html", "<p>[QUEUEHINT]</p>"},
    {"queue.html", "<input value=\"[USERID]\">"},
    {"order_verification.html", "<input value=\"[USERID]\">"},
    {"quillane.css", "body { font-family: [FONT]; color: #[D-FC]; background: #[D-BC]; }\na { color: #[V-FC]; }\n"
                     ".k { color: #[K-FC]; background: #[K-BC]; } .u { color: #[U-FC]; background: #[U-BC]; }\n"
                     ".t { color: #[T-FC]; background: #[T-BC]; }\n"},
    {"menucnfg.js", "m = ['[D-BC]', '[K-BC]', '[U-BC]', '[T-BC]'];"},
    {"order_address.html", "[K-BC] [K-FC] [T-BC] [T-FC]"},
    {"faxtemplate.html", "<div>[LOGO]</div>"},
    {"translations.js", "words = '[WORDS]';\nmenu = '[MENU]';\n"},
};

const std::string kCountryTable = "[Germany]\nActive=1\nCountryCode=DE\nLanguageDefault=deutsch\nEU=1\nEuroRate=1\n"
                                  "CurrencyCode=EUR\nCurrencySymbol=\x80\nVAT=19\nCountryNative=Deutschland\n"
                                  "[Switzerland]\nActive=1\nCountryCode=CH\nLanguageDefault=deutsch,francais\n"
                                  "LanguageSelected=Francais\nEU=0\nEuroRate=1.55\nCurrencyCode=CHF\n"
                                  "CountryNative=Schweiz,Suisse,Svizzera\n"
                                  "[Ivory Coast]\nActive=1\nCountryCode=CI\nCountryNative=C\xF4te d'Ivoire\n";

// A program folder, working copy, data folder and shop folder in a temporary
// folder, with the home country Germany.
struct ShopFixture {
    TempDir dir;
    GenerationRun run;

    ShopFixture()
    {
        GenerationInput& in = run.In;
        in.ProgramDir = dir.file("program/");
        in.LanguageDir = dir.file("program/sprache/");
        in.WorkDir = dir.file("work/");
        in.DataDir = dir.file("data/");
        in.ShopDir = dir.file("shop/");
        in.Choices.Layout = "test";
        run.LayoutDir = dir.file("program/layouts/test/");
        in.Home.Name = "Germany";
        in.Home.Language = "deutsch";
        in.Home.VAT = 19;
        in.Home.EU = true;
        run.Languages = {"deutsch"};
        for (const std::string& folder : {in.LanguageDir, in.WorkDir, in.DataDir, in.ShopDir, run.LayoutDir}) {
            CreateFolder(folder);
        }
        dir.write("program/sprache/deutsch.lng", "[Kontakt]\nname=Name\n[Rechnung]\nnet=netto\n"
                                                 "quote=Er sagt \"Hallo\" und's\n[Shop]\nstd=Standard\n[Other]\nx=y\n");
        dir.write("program/sprache/english.lng", "[kontakt]\nname=Name\n[shop]\nstd=Standard view\n");
        dir.write("program/countries.dat", kCountryTable);
        dir.write("work/groups.ini", "[deutsch]\n3=B\xFC"
                                     "cher|Krimis\n7=B\xFC"
                                     "cher|Romane\n9=Musik\n");
        run.ShopGroups = {"3", "7", "9"};
    }

    void writePages()
    {
        for (const auto& [name, text] : kShopPages) {
            shopWrite(name, text);
        }
    }
    void shopWrite(const std::string& name, const std::string& text) { dir.write("shop/" + name, text); }
    std::string shop(const std::string& name) const { return dir.read("shop/" + name); }
    bool inShop(const std::string& name) const { return FileExists(dir.file("shop/" + name)); }
};

std::string errorOf(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

std::string writePpm(const TempDir& dir, const std::string& name, int w, int h)
{
    std::string data = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    data.append(static_cast<std::size_t>(w) * h * 3, '\x80');
    return dir.write(name, data);
}

} // namespace

TEST(CountryScripts, WordsMenuAndDiscountsPerRunLanguage)
{
    ShopFixture f;
    f.writePages();
    f.run.Languages = {"deutsch", "francais"}; // francais has neither a language file nor group names
    f.dir.write("data/shopprofil.ini", "[Mengenrabatt]\nKlein=10/5\nGro\xDF=100/7.5\nOdd=1/\"2\\\n[Preisrabatt]\n");
    CreateCountryScripts(f.run);

    EXPECT_EQ(f.shop("countries/languages/deutsch/translations.js"),
              "words = 'name=Name|net=netto|quote=Er sagt Hallo und\\'s|std=Standard';\r\n"
              "menu = 'B\xFC"
              "cher=Krimis:0|Romane:1\xA6Musik:2';\r\n");
    EXPECT_EQ(f.shop("countries/languages/francais/translations.js"), "words = 'name=Name|std=Standard view';\r\n"
                                                                      "menu = 'B\xFC"
                                                                      "cher=Krimis:0|Romane:1\xA6Musik:2';\r\n");
    const std::string varInit = f.shop("var_init.js");
    EXPECT_EQ(varInit.substr(0, varInit.find("vat")), "mr = \"10/5|100/7.5|1/\\\"2\\\\\";\r\npr = \"\";\r\n");
    EXPECT_NE(varInit.find("Land = new Array();\r\nc = "), std::string::npos) << varInit;
}

TEST(CountryScripts, MenuString)
{
    struct Case {
        std::string groups; // the deutsch section of groups.ini
        std::vector<std::string> shopGroups;
        std::string menu;
    };
    const Case cases[] = {
        {"3=B\xFC"
         "cher|Krimis\n7=B\xFC"
         "cher|Romane\n9=Musik\n",
         {"3", "7", "9"},
         "B\xFC"
         "cher=Krimis:0|Romane:1\xA6Musik:2"},
        // Sorted without regard to case, accented letters beside their base letter.
        {"1=zubeh\xF6r\n2=\xC4pfel\n3=B\xFC"
         "cher|Comics\n4=apfelsaft\n",
         {"1", "2", "3", "4"},
         "\xC4pfel:1\xA6"
         "apfelsaft:3\xA6"
         "B\xFC"
         "cher=Comics:2\xA6zubeh\xF6r:0"},
        {"1=Noem\n2=No\xEBl\n3=\xCEle\n4=Ingwer\n",
         {"1", "2", "3", "4"},
         "\xCEle:2\xA6Ingwer:3\xA6No\xEBl:1\xA6Noem:0"},
        // Signs above 0x7F after the letters.
        {"1=\x80-Sparen\n2=Zubeh\xF6r\n", {"1", "2"}, "Zubeh\xF6r:1\xA6\x80-Sparen:0"},
        // A main group of its own replaces the sub groups listed before it.
        {"1=Musik|Jazz\n2=Musik\n", {"1", "2"}, "Musik:1"},
        // Main groups differing in letter case only are one.
        {"1=B\xFC"
         "cher|Krimis\n2=b\xFC"
         "cher|Romane\n",
         {"1", "2"},
         "B\xFC"
         "cher=Krimis:0|Romane:1"},
        // Inside names a backslash marks "=", 0xA6 and itself as part of the
        // name; the literal then escapes every backslash once more.
        {"1=Kid's \"Toys\"|A\\B\n", {"1"}, "Kid\\'s Toys=A\\\\\\\\B:0"},
        {"1=A=B|x=y:z\n2=Kinder: Spiele\n3=C|D\xA6"
         "E\n",
         {"1", "2", "3"},
         "A\\\\=B=x\\\\=y:z:0\xA6"
         "C=D\\\\\xA6"
         "E:2\xA6Kinder: Spiele:1"},
        // Absent and empty names are empty; the menu splits each at its last ":".
        {"2=|x\n3=A|\n",
         {"2", "3"},
         "=x:0\xA6"
         "A=:1"},
        {"2=Other\n", {"1"}, ":0"},
        {"1=Musik\n", {}, ""},
    };
    for (const Case& c : cases) {
        ShopFixture f;
        f.shopWrite("translations.js", "[MENU]");
        f.shopWrite("var_init.js", "");
        f.dir.write("work/groups.ini", "[deutsch]\n" + c.groups);
        f.run.ShopGroups = c.shopGroups;
        CreateCountryScripts(f.run);
        EXPECT_EQ(f.shop("countries/languages/deutsch/translations.js"), c.menu + "\r\n") << c.groups;
    }
}

TEST(CountryScripts, GroupPathsOfMoreThanTwoNamesAreRefused)
{
    struct Case {
        std::string entry;
        std::string named; // what the message must name
    };
    const Case cases[] = {
        {"1=A|B|C", "\"A|B|C\""},
        {"1=A||C", "\"A||C\""},
    };
    for (const Case& c : cases) {
        ShopFixture f;
        f.shopWrite("translations.js", "[MENU]");
        f.shopWrite("var_init.js", "");
        f.dir.write("work/groups.ini", "[deutsch]\n" + c.entry + "\n");
        f.run.ShopGroups = {"1"};
        EXPECT_NE(errorOf([&] { CreateCountryScripts(f.run); }).find(c.named), std::string::npos) << c.entry;
    }
}

TEST(CountryScripts, MissingWordsAndBrokenLevelsAreNamed)
{
    struct Case {
        std::function<void(ShopFixture&)> spoil;
        std::string named;
    };
    const Case cases[] = {
        {[](ShopFixture& f) { std::filesystem::remove(f.dir.file("program/sprache/english.lng")); },
         "neither francais.lng nor english.lng"},
        {[](ShopFixture& f) { f.dir.write("data/shopprofil.ini", "[Preisrabatt]\nGross=100|5\n"); },
         "level \"Gross\" of section Preisrabatt"},
    };
    for (const Case& c : cases) {
        ShopFixture f;
        f.writePages();
        f.run.Languages = {"francais"};
        c.spoil(f);
        EXPECT_NE(errorOf([&] { CreateCountryScripts(f.run); }).find(c.named), std::string::npos) << c.named;
    }
}

TEST(CountryScripts, SettingsScriptPlaceholders)
{
    struct Case {
        bool prepayment;
        bool cashOnDelivery;
        std::string script;
    };
    const Case cases[] = {
        {true, true,
         "Porto = Verpackung + 5.000;\r\nZahlung = new Object();\r\n"
         "parent.Shop.Versand.Zahlung.vk = 0;\r\nparent.Shop.Versand.Zahlung.nn = 3.500;\r\n"
         "if (0 < 1) { Kurs = 1.55; W = 'Fr\\'s'; }\r\n"},
        {false, true,
         "Porto = Verpackung + 5.000;\r\nZahlung = new Object();\r\n"
         "parent.Shop.Versand.Zahlung.nn = 3.500;\r\nif (0 < 1) { Kurs = 1.55; W = 'Fr\\'s'; }\r\n"},
        {false, false,
         "Porto = Verpackung + 5.000;\r\nZahlung = new Object();\r\nif (0 < 1) { Kurs = 1.55; W = 'Fr\\'s'; }\r\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string file =
            dir.write("ch.js", "Porto = Verpackung + [SHIPPINGFEE];\nZahlung = new Object();\n"
                               "[SHIPPING]if ([EUCOUNTRY] < 1) { Kurs = [EURORATE]; W = '[CURRENCY]'; }");
        CountrySettings country;
        country.EuroRate = "1.55";
        country.Currency = "Fr's";
        country.EU = "0";
        country.Prepayment = c.prepayment;
        country.CashOnDelivery = c.cashOnDelivery;
        country.Shipping = "5.000";
        country.CodFee = "3.500";
        FillCountryScript(file, country);
        EXPECT_EQ(dir.read("ch.js"), c.script);
    }
}

TEST(CountryScripts, CountrySettingsAsStoredAndBadValuesRefused)
{
    TempDir dir;
    const IniFile table(dir.write("countries.dat", kCountryTable + "[Bad Code]\nCountryCode=../x\n"
                                                                   "[Bad Language]\nLanguageSelected=../x\n"
                                                                   "[Bad Native]\nCountryNative=A|B\n"
                                                                   "[Bad Rate]\nEuroRate=1,55\n"
                                                                   "[Bad EU]\nEU=yes\n"
                                                                   "[Zero Rate]\nEuroRate=0\n"
                                                                   "[Negative Rate]\nEuroRate=-1.2\n"
                                                                   "[Bad Shipping]\n[Bad Fee]\n"
                                                                   "[Negative Shipping]\n[Huge Fee]\n"));
    const IniFile profile(dir.write("shopprofil.ini", "[Switzerland]\nvk=1\nnn=1\nShipping=5.000\nCodFee=3.500\n"
                                                      "[Bad Shipping]\nShipping=abc\n[Bad Fee]\nCodFee=\n"
                                                      "[Negative Shipping]\nShipping=-5\n[Huge Fee]\nCodFee=1e308\n"));

    const CountrySettings ch = ReadCountrySettings(table, profile, "Switzerland");
    EXPECT_EQ(ch.Code, "ch");
    EXPECT_EQ(ch.Language, "francais");
    EXPECT_EQ(ch.NativeName, "Schweiz");
    EXPECT_EQ(ch.EuroRate, "1.55");
    EXPECT_EQ(ch.Currency, "CHF");
    EXPECT_EQ(ch.EU, "0");
    EXPECT_TRUE(ch.Prepayment && ch.CashOnDelivery);
    EXPECT_EQ(ch.Shipping, "5.000");
    EXPECT_EQ(ch.CodFee, "3.500");
    const CountrySettings ci = ReadCountrySettings(table, profile, "Ivory Coast");
    EXPECT_EQ(ci.Language, "english");
    EXPECT_EQ(ci.EuroRate, "1");
    EXPECT_EQ(ci.Currency, "\x80");
    EXPECT_FALSE(ci.Prepayment || ci.CashOnDelivery);
    EXPECT_EQ(ci.Shipping, "0");
    // Without a code the shop cannot offer the country, but nothing breaks.
    EXPECT_EQ(ReadCountrySettings(table, profile, "Nowhere").Code, "");

    const std::pair<std::string, std::string> bad[] = {
        {"Bad Code", "CountryCode \"../x\""},
        {"Bad Language", "\"../x\""},
        {"Bad Native", "\"A|B\""},
        {"Bad Rate", "EuroRate"},
        // The shop would read these rates as 1.
        {"Zero Rate", "EuroRate of the country Zero Rate"},
        {"Negative Rate", "EuroRate of the country Negative Rate"},
        {"Negative Shipping", "Shipping of the country Negative Shipping"},
        {"Huge Fee", "CodFee of the country Huge Fee"},
        {"Bad EU", "EU of the country Bad EU"},
        {"Bad Shipping", "Shipping of the country Bad Shipping"},
        {"Bad Fee", "CodFee of the country Bad Fee"},
    };
    for (const auto& [country, named] : bad) {
        EXPECT_NE(errorOf([&] { ReadCountrySettings(table, profile, country); }).find(named), std::string::npos)
            << country;
    }
}

TEST(CountryScripts, CountryListSettingsScriptsAndHomePlaceholders)
{
    ShopFixture f;
    f.writePages();
    f.run.In.Home.VAT = 7;
    f.run.In.Choices.Countries = {"Germany", "Switzerland", "Ivory Coast"};
    f.run.Languages = {"deutsch", "english", "francais"};
    f.dir.write("data/shopprofil.ini", "[Germany]\nvk=1\nShipping=4.100\n"
                                       "[Switzerland]\nvk=1\nnn=1\nShipping=5.000\nCodFee=3.500\n");
    CreateCountryScripts(f.run);

    const std::string varInit = f.shop("var_init.js");
    const std::string expected = "vat = 1.07; eu = 1; home = 'de'; cur = '\x80';\r\nrate = 1;\r\n"
                                 "Land = new Array();\r\n"
                                 "Land['de'] = 'Deutschland|deutsch';\r\n"
                                 "Land['ch'] = 'Schweiz|francais';\r\n"
                                 "Land['ci'] = 'C\xF4te d\\'Ivoire|english';\r\nc = '";
    EXPECT_EQ(varInit.substr(varInit.find("vat"), expected.size()), expected);

    // The embedded template holds every placeholder the step fills.
    const std::string ch = f.shop("countries/settings/ch.js");
    EXPECT_NE(ch.find("parent.Shop.Versand.Zahlung.vk = 0;\r\nparent.Shop.Versand.Zahlung.nn = 3.500;\r\n"),
              std::string::npos);
    const std::string de = f.shop("countries/settings/de.js");
    EXPECT_NE(de.find("parent.Shop.Versand.Zahlung.vk = 0;\r\n"), std::string::npos);
    EXPECT_EQ(de.find("Zahlung.nn ="), std::string::npos);
    EXPECT_EQ(f.shop("countries/settings/ci.js").find("Zahlung.vk ="), std::string::npos);
    for (const std::string& script : {ch, de}) {
        for (const char* placeholder :
             {"[EURORATE]", "[CURRENCY]", "[EUCOUNTRY]", "[SHIPPING]", "[SHIPPINGFEE]", "[CODFEE]"}) {
            EXPECT_EQ(script.find(placeholder), std::string::npos) << placeholder;
        }
    }
}

TEST(TemplateSubstitution, VatRates)
{
    struct Case {
        double vat;
        std::string homeVat;
        std::string steuer;
    };
    for (const Case& c : {Case{7, "1.07", "1.0700"}, Case{16.5, "1.165", "1.1650"}, Case{16, "1.16", "1.1600"},
                          Case{0, "1", "1.0000"}}) {
        ShopFixture f;
        f.writePages();
        f.run.In.Home.VAT = c.vat;
        f.run.In.Choices.Countries = {"Germany"};
        CreateCountryScripts(f.run);
        ReplaceWords(f.run);
        const std::string varInit = f.shop("var_init.js");
        EXPECT_NE(varInit.find("vat = " + c.homeVat + ";"), std::string::npos) << c.vat;
        EXPECT_NE(varInit.find("tax = " + c.steuer + ";"), std::string::npos) << c.vat;
    }
}

TEST(TemplateSubstitution, EveryPlaceholderInItsFileEscapedForItsPlace)
{
    ShopFixture f;
    f.writePages();
    f.shopWrite("logo.jpg", "a logo");
    f.dir.write("program/userprofil.ini",
                "[Contact]\nFirma=M\xFCller & 'S\xF6hne' <GmbH>\nName=Jo \\ Doe\nStrasse=Hauptstr. 1\nPLZ=12345\n"
                "Ort=K\xF6ln\nLand=Deutschland\nEMail=info@example.com\nHomepage=http://example.com/?a=1&b=\"2\"\n"
                "Telefon=0221 123\nMobil=\n");
    f.dir.write("data/shopprofil.ini", "[Invoice]\nFreihaus=100.000\nbank=Spar'kasse\nblz=123\n"
                                       "[Layout]\nD-FC=$0000FF\n");
    f.dir.write("program/quillane.ini", "[Services]\nOrderService=https://o.example/it's/\n");
    GenerationChoices& choices = f.run.In.Choices;
    choices.ItemsStd = "12";
    choices.ItemsPro = "6";
    choices.ItemsDtl = "2";
    choices.PriceDisplay = 1;
    choices.Xxl = true;
    choices.DefaultView = 2;
    f.run.In.UserId = "a\"b<c>&d'";
    f.run.In.RunDate.tm_mday = 29;
    f.run.In.RunDate.tm_mon = 1;
    f.run.In.RunDate.tm_year = 104;
    ReplaceWords(f.run);

    const std::string firma = "M\xFCller &amp; &#39;S\xF6hne&#39; &lt;GmbH&gt;";
    const std::string href = "http://example.com/?a=1&amp;b=&quot;2&quot;";
    const std::string user = "a&quot;b&lt;c&gt;&amp;d&#39;";
    const std::pair<std::string, std::string> files[] = {
        {"preloader.html", "<title>" + firma + "</title>\r\n"},
        {"header_site.js", "document.write('<a href=\"" + href +
                               "\" target=\"_parent\"><img src=\"logo.jpg\" border=\"0\"></a>');\r\n"
                               "document.write('<a href=\"" +
                               href + "\" target=\"_parent\" class=\"head\">" + firma + "</a>');\r\n"},
        {"contact.html", "<input name=\"UserID\" value=\"" + user + "\">\r\n<img src=\"logo.jpg\" border=\"0\">\r\n"},
        {"categories.html", "<p></p>\r\n"},
        {"queue.html", "<input value=\"" + user + "\">\r\n"},
        {"order_verification.html", "<input value=\"" + user + "\">\r\n"},
        {"quillane.css", "body { font-family: arial; color: #FF0000; background: #F0F0F0; }\r\n"
                         "a { color: #FF0000; }\r\n"
                         ".k { color: #E6E6E6; background: #B4B4B4; } .u { color: #FFFFFF; background: #D2D2D2; }\r\n"
                         ".t { color: #000000; background: #FFFFFF; }\r\n"},
        {"menucnfg.js", "m = ['F0F0F0', 'B4B4B4', 'D2D2D2', 'FFFFFF'];\r\n"},
        {"order_address.html", "B4B4B4 E6E6E6 FFFFFF 000000\r\n"},
        {"faxtemplate.html", "<div><img src=\"logo.jpg\" border=\"0\"></div>\r\n"},
    };
    for (const auto& [name, content] : files) {
        EXPECT_EQ(f.shop(name), content) << name;
    }
    const std::string varInit = f.shop("var_init.js");
    const std::string expected =
        "c = 'M\xFCller & \\'S\xF6hne\\' <GmbH>|Jo \\\\ Doe|Hauptstr. 1|12345|K\xF6ln|Deutschland|"
        "info@example.com|0221 123|-|';\r\n"
        "f = Shop.Home.VAT; v = 'std:12|pro:6|dtl:2'; xxl = -1; view = 2; tax = 1.1900;\r\n"
        "free = 100.000; pack = 0;\r\n"
        "bank = 'Spar\\'kasse|123|||'; orders = 'https://o.example/it\\'s/';\r\n";
    EXPECT_EQ(varInit.substr(varInit.find("c = ")), expected);

    // The day the caller dates the run, not the clock's.
    EXPECT_EQ(f.shop("header_shop.js"), "s = '29.02.2004';\r\n");
}

TEST(TemplateSubstitution, TheFontNameCannotEndItsCssStringOrDeclaration)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Times New Roman", "Times New Roman"},
        {"Caf\xE9-Serif_2", "Caf\xE9-Serif_2"},
        {"x'\"</style>", "x\\27 \\22 \\3c \\2f style\\3e "},
        {"a\\b;}{", "a\\5c b\\3b \\7d \\7b "},
    };
    for (const auto& [font, written] : cases) {
        ShopFixture f;
        f.writePages();
        f.shopWrite("quillane.css", "a { font-family: \"[FONT]\"; } b { font-family: [FONT], serif; }");
        f.dir.write("data/shopprofil.ini", "[Layout]\nFont=" + font + "\n");
        ReplaceWords(f.run);
        EXPECT_EQ(f.shop("quillane.css"),
                  "a { font-family: \"" + written + "\"; } b { font-family: " + written + ", serif; }\r\n")
            << font;
    }
}

TEST(TemplateSubstitution, DefaultsWithoutProfiles)
{
    ShopFixture f;
    f.writePages();
    ReplaceWords(f.run);
    const std::string varInit = f.shop("var_init.js");
    EXPECT_EQ(varInit.substr(varInit.find("c = ")),
              "c = '|||||||-|-|-';\r\n"
              "f = 1; v = 'std:10|pro:5|dtl:3'; xxl = 0; view = 1; tax = 1.1900;\r\n"
              "free = 0; pack = 0;\r\n"
              "bank = '||||'; orders = 'https://orders.quillane.example/';\r\n");
    // Without logo.jpg no page asks for it: a missing file costs the
    // customer a request and the server log a 404.
    EXPECT_EQ(f.shop("faxtemplate.html"), "<div></div>\r\n");
    EXPECT_EQ(f.shop("contact.html"), "<input name=\"UserID\" value=\"\">\r\n\r\n");
    EXPECT_EQ(f.shop("header_site.js").find("logo.jpg"), std::string::npos);
}

TEST(TemplateSubstitution, BadChoicesAndProfileValuesAreNamed)
{
    struct Case {
        std::function<void(ShopFixture&)> spoil;
        std::string named;
    };
    const Case cases[] = {
        {[](ShopFixture& f) { f.run.In.Choices.ItemsPro = "abc"; }, "preview view, \"abc\""},
        {[](ShopFixture& f) { f.run.In.Choices.ItemsStd = "0"; }, "standard view, \"0\""},
        {[](ShopFixture& f) { f.run.In.Choices.ItemsDtl = ""; }, "detail view, \"\""},
        {[](ShopFixture& f) { f.dir.write("data/shopprofil.ini", "[Invoice]\nVerpackung=5 EUR\n"); },
         "Verpackung of section Invoice"},
        {[](ShopFixture& f) { f.dir.write("data/shopprofil.ini", "[Invoice]\nFreihaus=-100\n"); },
         "Freihaus of section Invoice"},
        {[](ShopFixture& f) { f.run.Languages = {"../x"}; }, "\"../x\""},
    };
    for (const Case& c : cases) {
        ShopFixture f;
        f.writePages();
        c.spoil(f);
        EXPECT_NE(errorOf([&] { ReplaceWords(f.run); }).find(c.named), std::string::npos) << c.named;
    }
}

TEST(TemplateSubstitution, AMissingLayoutPageStopsTheRunNamingIt)
{
    for (const char* page : {"header_site.js", "header_shop.js", "contact.html", "categories.html", "queue.html",
                             "order_verification.html", "quillane.css", "order_address.html", "faxtemplate.html"}) {
        ShopFixture f;
        f.writePages();
        std::filesystem::remove(f.dir.file("shop/") + page);
        EXPECT_NE(errorOf([&] { ReplaceWords(f.run); }).find(std::string("\"") + page + "\" is missing"),
                  std::string::npos)
            << page;
    }
}

TEST(TemplateSubstitution, ShopTextsAndDirectionsPerLanguage)
{
    ShopFixture f;
    f.writePages();
    f.run.Languages = {"deutsch", "english", "francais"};
    f.dir.write("program/userprofil.ini", "[Anfahrt]\ndeutsch=Erste|Zweite 'Z' \\ x\nfrancais=\n");
    f.dir.write("data/deutsch/intro.txt", "Willkommen\r\nbei 'uns'\r\n");
    f.dir.write("data/english/about.txt", "About us");
    f.dir.write("data/english/faq.txt", "");
    ReplaceWords(f.run);

    // english has no directions of its own and takes the home language's.
    EXPECT_EQ(f.dir.read("data/deutsch/contact.txt"), "Erste\r\nZweite 'Z' \\ x\r\n");
    EXPECT_EQ(f.dir.read("data/english/contact.txt"), "Erste\r\nZweite 'Z' \\ x\r\n");
    EXPECT_EQ(f.dir.read("data/francais/contact.txt"), "\r\n");
    const std::string texts = "countries/languages/";
    const std::pair<std::string, std::string> scripts[] = {
        {"deutsch/texts/contact.js", "document.writeln('Erste<br>Zweite \\'Z\\' \\\\ x<br>');"},
        {"english/texts/contact.js", "document.writeln('Erste<br>Zweite \\'Z\\' \\\\ x<br>');"},
        {"francais/texts/contact.js", "document.writeln('<br>');"},
        {"deutsch/texts/intro.js", "document.writeln('Willkommen<br>bei \\'uns\\'<br>');"},
        {"english/texts/intro.js", "document.writeln('Willkommen<br>bei \\'uns\\'<br>');"},
        {"english/texts/about.js", "document.writeln('About us<br>');"},
        {"english/texts/faq.js", "document.writeln('');"},
    };
    for (const auto& [name, content] : scripts) {
        EXPECT_EQ(f.shop(texts + name), content) << name;
    }
    for (const char* absent : {"deutsch/texts/about.js", "francais/texts/about.js", "deutsch/texts/gtclong.js",
                               "deutsch/texts/faq.js", "english/texts/service.js"}) {
        EXPECT_FALSE(f.inShop(texts + absent)) << absent;
    }
}

TEST(TemplateSubstitution, RunDate)
{
    std::tm date{};
    date.tm_mday = 5;
    date.tm_mon = 2;
    date.tm_year = 124;
    EXPECT_EQ(RunDateText(date), "05.03.2024");
}

TEST(CreateFiles, TemplatesLayoutAndCompanyPictures)
{
    ShopFixture f;
    const std::string layout = "program/layouts/test/";
    f.dir.write(layout + "index.html", "<head><!-- HEADERS --></head>\n<body><!-- FOOTERS --></body>");
    f.dir.write(layout + "plain.html", "a\nb");
    f.dir.write(layout + "old.htm", "<!-- HEADERS -->\n");
    f.dir.write(layout + "shout.HTML", "<!-- FOOTERS -->\n");
    f.dir.write(layout + "var_init.js", "the layout's own [COMPANY]\n");
    f.dir.write(layout + "sub/inner.html", "inside");
    f.dir.write("program/userprofil.ini", "[Pictures]\nlogo=" + writePpm(f.dir, "pics/logo.ppm", 700, 200) +
                                              "\nanfahrt=" + f.dir.file("pics/none.png") + "\n");
    f.run.Pictures.Quality = 80;
    CreateFiles(f.run);

    EXPECT_EQ(f.shop("index.html"), "<head><script src=\"translator.js\"></script><script src=\"header_site.js\">"
                                    "</script><script src=\"header_shop.js\"></script></head>\r\n"
                                    "<body><script src=\"footer_shop.js\"></script><script src=\"footer_site.js\">"
                                    "</script></body>\r\n");
    EXPECT_EQ(f.shop("plain.html"), "a\r\nb\r\n");
    EXPECT_EQ(f.shop("old.htm"), "<!-- HEADERS -->\n");
    EXPECT_EQ(f.shop("shout.HTML"), "<!-- FOOTERS -->\n");
    EXPECT_EQ(f.shop("var_init.js"), "the layout's own [COMPANY]\n");
    EXPECT_FALSE(f.inShop("inner.html"));
    EXPECT_FALSE(DirectoryExists(f.dir.file("shop/sub")));
    const std::pair<const char*, const char*> templates[] = {
        {"QUILLANE", "quillane.js"},
        {"PAGES", "pages.js"},
        {"TRANSLATIONS", "translations.js"},
        {"DESCRIPTIONS", "descriptions.js"},
        {"MENUCNFG", "menucnfg.js"},
        {"TRNSLATOR", "translator.js"},
        {"LOADER", "preloader.html"},
        {"LOADBAR", "loadbar.gif"},
        {"MIE", "mie.gif"},
        {"QLB", "qlb.gif"},
    };
    for (const auto& [resource, name] : templates) {
        const ResourceEntry* entry = FindResource(resource);
        ASSERT_NE(entry, nullptr) << resource;
        EXPECT_EQ(f.shop(name), std::string(reinterpret_cast<const char*>(entry->data), entry->size)) << name;
    }
    Picture logo;
    LoadPicture(f.dir.file("shop/logo.jpg"), logo);
    EXPECT_EQ(logo.Width(), 140);
    EXPECT_EQ(logo.Height(), 40);
    EXPECT_FALSE(f.inShop("anfahrt.jpg"));
}

TEST(CreateFiles, AMissingOrUnreadableSourceStopsTheRun)
{
    {
        ShopFixture f;
        f.run.LayoutDir = f.dir.file("program/layouts/gone/");
        EXPECT_NE(errorOf([&] { CreateFiles(f.run); }).find("layouts/gone/"), std::string::npos);
    }
    {
        ShopFixture f;
        f.run.LayoutDir = f.dir.file("program/layouts/");
        EXPECT_NE(errorOf([&] { CreateFiles(f.run); }).find("No layout"), std::string::npos);
    }
    {
        ShopFixture f;
        const std::string logo = f.dir.write("pics/logo", "no extension");
        f.dir.write("program/userprofil.ini", "[Pictures]\nlogo=" + logo + "\n");
        EXPECT_NE(errorOf([&] { CreateFiles(f.run); }).find(logo), std::string::npos);
    }
}
