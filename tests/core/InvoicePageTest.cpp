#include "core/orders/InvoicePage.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Resources.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// The expected pages; QUILLANE_UPDATE_GOLDEN=1 writes them anew from the
// program's output, to be read through before they are committed.
const std::string kGolden = std::string(QUILLANE_DATA_DIR) + "../tests/fixtures/invoice/";

// A language file of its own, so the pages do not change with the shipped
// texts. A text may hold [Zahldatum]; [DATUM] in a text stays as it is.
constexpr const char* kTexts = "[Rechnung]\r\n"
                               "invoice=Rechnung\r\ninvoiceno=Rechnungsnummer\r\nla=Lieferanschrift\r\n"
                               "position=Pos.\r\ndescription=Bezeichnung\r\norderno=Best.-Nr.\r\nquantity=Menge\r\n"
                               "price=Preis\r\nsubtotal=Summe\r\nqdiscount=Mengenrabatt\r\npdiscount=Preisrabatt\r\n"
                               "total=Nettobetrag\r\nexcl=zzgl.\r\nvat=MwSt.\r\nshipping=Versandkosten\r\n"
                               "subamount=Zwischensumme\r\namount=Rechnungsbetrag\r\nnn=Nachnahme\r\n"
                               "nn_fee=Nachnahmegeb\xFChr\r\nthanks=<b>Danke!</b> Stand [DATUM]\r\n"
                               "foot=Zahlbar bis zum [Zahldatum].\r\nbank=Kreditinstitut\r\nblz=Bankleitzahl\r\n"
                               "kto=Kontonummer\r\niban=IBAN\r\nbic=BIC\r\ntaxnum=Steuernummer\r\ntaxid=USt-ID\r\n"
                               "date=Datum\r\norderid=Bestellnummer\r\ncustvatid=Ihre USt-ID\r\n"
                               "deliverydate=Lieferdatum\r\ndeliverysame=Lieferdatum = Rechnungsdatum\r\n"
                               "taxexport=Ausfuhr\r\nreversecharge=Reverse Charge\r\nfoot_nn=Per Nachnahme.\r\n"
                               "reference=Bitte [Bestellnr] angeben.\r\n";

std::tm fixedToday()
{
    std::tm today{};
    today.tm_year = 2026 - 1900;
    today.tm_mon = 11;
    today.tm_mday = 28;
    return today;
}

// One item line per entry; descriptions of 80 and 81 characters.
const std::string k80(80, 'x');
const std::string k81 = std::string(43, 'y') + std::string(38, 'z');

struct PageCase {
    const char* golden;
    std::string order;   // key=value lines of the order's section
    std::string profile; // the shop profile's [Invoice] section
    bool logo;           // the company profile names an existing logo
    double vat;
    const char* currency;
    double rate;
};

class Home {
public:
    explicit Home(const PageCase& c)
    {
        dir_.write("sprache/deutsch.lng", kTexts);
        dir_.write("daten/shopprofil.ini", "[Invoice]\r\n" + c.profile);
        std::string company = "[Contact]\r\nFirma=M\xFCller & S\xF6hne\r\nName=Eva M\xFCller\r\nStrasse=Hauptstr. 1\r\n"
                              "PLZ=12345\r\nOrt=Neustadt\r\n[Pictures]\r\n";
        if (c.logo) {
            company += "logo=" + dir_.write("pictures/firma.JPG", "\xFF\xD8 a jpeg") + "\r\n";
        } else {
            company += "logo=" + dir_.file("pictures/none.jpg") + "\r\n";
        }
        dir_.write("userprofil.ini", company);
        CreateFolder(dir_.file("temp/"));
        setup_.ProgramDir = dir_.path();
        setup_.DataDir = dir_.file("daten/");
        setup_.LanguageDir = dir_.file("sprache/");
        setup_.Home.Language = "deutsch";
        setup_.Home.VAT = c.vat;
        setup_.Home.Currency[0] = c.currency;
        setup_.Home.Rate[0] = c.rate;
        setup_.Today = fixedToday();
    }

    const InvoiceSetup& setup() const { return setup_; }
    std::string page() const { return dir_.file("temp/rechnung.html"); }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    TempDir dir_;
    InvoiceSetup setup_;
};

Order orderFrom(const std::string& id, const std::string& lines)
{
    Order::Values values;
    for (const std::string& line : SplitLines(lines)) {
        const std::size_t eq = line.find('=');
        values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return Order(id, values);
}

std::string blankTemplate()
{
    const ResourceEntry* entry = FindResource("INVOICE");
    return entry == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(entry->data), entry->size);
}

} // namespace

TEST(InvoicePageTest, PagesAreBuiltByteForByte)
{
    const PageCase cases[] = {
        // No discounts, no fee, no header or footer, no delivery address, a
        // payment term of 0 days; customer values with HTML; an 80-character
        // description; prices with a comma and with no number at all.
        {"plain.html",
         "company=<img src=x onerror=alert(1)>\nfirstname=Eva\nlastname=<script>alert(1)</script>\n"
         "street=Weg \"7\" & Hof\nzip=50667\ncity=K\xF6ln\ncountry=deutschland\nnotes=<b>bitte</b>\nitemcount=3\n"
         "item0=" +
             k80 +
             "|GT-1|2|3.50|7.00\nitem1=Schere & <Stahl> [total]|GT-2|1|3,50|3,50\nitem2=Kanne|GT-3|1|abc|\n"
             "subtotal=10.50\nqdiscount=0.00\npdiscount=0\ntotal=10.50\nvat=2.00\nshipping=4.90\nsubamount=17.40\n"
             "paymentfee=0.00\npayment=vk\n",
         "Kopfzeile=0\r\nFusszeile=0\r\n", true, 19, "\x80", 1},
        // Both discounts, a fee, header with logo and footer, a delivery
        // address with keys missing, 14 days' term over the new year, VAT 7,
        // a home currency that is not the euro, an 81-character description.
        {"full.html",
         "company=\nfirstname=Jan\nlastname=Kunz\nstreet=Ring 2\nzip=1010\ncity=Wien\ncountry=\xF6sterreich\n"
         "la_company=Hof & Co\nla_lastname=Berger\nla_zip=1020\nla_country=\xF6sterreich-s\xFC"
         "d\nitemcount=1\nitem0=" +
             k81 +
             "|A-9|10|2.00|20.00\nsubtotal=20.00\nqdiscount=1.00\npdiscount=0.50\ntotal=18.50\nvat=1.30\n"
             "shipping=5.00\nsubamount=24.80\npaymentfee=2.10\npayment=nn\n",
         "Zahlfrist=14\r\nKopfzeile=1\r\nFusszeile=1\r\nbank=Spar & Leih\r\nblz=100 200 30\r\nkto=<4711>\r\n"
         "stnr=12/345\r\nustid=DE1\r\n",
         true, 7, "SFr", 1.5},
        // Only a quantity discount; a header whose logo file is missing.
        {"qdiscount.html",
         "firstname=Eva\nlastname=Meier\nitemcount=1\nitem0=Tasse|T-1|1|5.00|5.00\nsubtotal=5.00\nqdiscount=0.25\n"
         "total=4.75\nvat=0.90\nshipping=0\nsubamount=5.65\n",
         "Kopfzeile=1\r\nFusszeile=0\r\n", false, 19, "\x80", 1},
    };
    const bool update = std::getenv("QUILLANE_UPDATE_GOLDEN") != nullptr;
    for (const PageCase& c : cases) {
        const Home home(c);
        const Order order = orderFrom("20261228-0001", c.order);
        const std::vector<std::string> written = BuildInvoicePage(home.setup(), order, home.page());
        const std::string page = ReadFile(home.page());
        if (update) {
            WriteTextFile(kGolden + c.golden, page);
        }
        EXPECT_EQ(page, ReadFile(kGolden + c.golden)) << c.golden;
        std::vector<std::string> expected{home.page()};
        if (c.logo && c.profile.find("Kopfzeile=1") != std::string::npos) {
            expected.push_back(home.file("temp/logo.jpg"));
            EXPECT_EQ(ReadFile(home.file("temp/logo.jpg")), "\xFF\xD8 a jpeg");
        } else {
            EXPECT_FALSE(FileExists(home.file("temp/logo.jpg"))) << c.golden;
        }
        EXPECT_EQ(written, expected) << c.golden;
    }
}

TEST(InvoicePageTest, AnOrderWithoutAReadableItemCountLeavesTheBlankPage)
{
    const PageCase c{"", "", "Kopfzeile=1\r\n", true, 19, "\x80", 1};
    const Home home(c);
    // No order of the service has more than 1,000 lines; 99,999 would hold the order view for long.
    for (const char* count :
         {"", "itemcount=\n", "itemcount=2x\n", "itemcount=-1\n", "itemcount=1001\n", "itemcount=99999\n"}) {
        const Order order = orderFrom("B-7", std::string(count) + "lastname=Meier\n");
        try {
            BuildInvoicePage(home.setup(), order, home.page());
            ADD_FAILURE() << "no error for " << count;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("\"B-7\""), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadFile(home.page()), blankTemplate());
        EXPECT_FALSE(FileExists(home.file("temp/logo.jpg")));
    }
    ResetInvoicePage(home.page());
    EXPECT_NE(blankTemplate().find("<meta charset=\"windows-1252\">"), std::string::npos);
}

TEST(InvoicePageTest, PageAndNumberScriptAreForTheOwnerOnly)
{
    const PageCase c{"", "", "", false, 19, "\x80", 1};
    const Home home(c);
    const std::string script = home.file("temp/renr.js");
    // Left by an earlier run with a wider mode, or made new under a lax umask.
    WriteTextFile(home.page(), "old");
    ::chmod(home.page().c_str(), 0644);
    const mode_t umask = ::umask(0);
    BuildInvoicePage(home.setup(), orderFrom("A1", "lastname=Meier\nitemcount=1000\n"), home.page());
    WriteInvoiceNumberScript(home.file("temp/"), "RE-1");
    ::umask(umask);
    for (const std::string& file : {home.page(), script}) {
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }
    ResetInvoicePage(home.page());
    struct stat st {};
    ASSERT_EQ(::stat(home.page().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(InvoicePageTest, TheShippedLanguagesFillEveryPlaceholder)
{
    for (const char* language : {"deutsch", "english"}) {
        PageCase c{"", "", "Kopfzeile=1\r\nFusszeile=1\r\n", true, 19, "\x80", 1};
        const Home home(c);
        InvoiceSetup setup = home.setup();
        setup.LanguageDir = std::string(QUILLANE_DATA_DIR) + "sprache/";
        setup.Home.Language = language;
        for (const char* payment : {"vk", "nn"}) {
            const Order order = orderFrom("A1", std::string("itemcount=1\nitem0=a|b|1|1|1\nqdiscount=1\npdiscount=1\n"
                                                            "paymentfee=1\npayment=") +
                                                    payment + "\n");
            BuildInvoicePage(setup, order, home.page());
            const std::string page = ReadFile(home.page());
            std::smatch left;
            EXPECT_FALSE(std::regex_search(page, left, std::regex(R"(\[[A-Za-z_]+\])")))
                << language << " " << payment << " leaves " << left.str();
            EXPECT_FALSE(PaymentMethodText(setup, payment).empty()) << language << " " << payment;
        }
    }
}

TEST(InvoicePageTest, TheNumberScriptWritesTheNumberAsText)
{
    struct Case {
        const char* number;
        const char* script;
    } cases[] = {
        {"RE-2026-0001", "document.writeln(\"RE-2026-0001\");"},
        {"", "document.writeln(\"\");"},
        {"1\"); alert(\"x", "document.writeln(\"1&quot;); alert(&quot;x\");"},
        {"<b>7</b>\\", "document.writeln(\"&lt;b&gt;7&lt;/b&gt;\\\\\");"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        EXPECT_EQ(InvoiceNumberScript(c.number), c.script);
        EXPECT_EQ(WriteInvoiceNumberScript(dir.path(), c.number), dir.file("renr.js"));
        EXPECT_EQ(dir.read("renr.js"), c.script);
    }
}

TEST(InvoicePageTest, TheVatRowShowsTheRateTheOrderWasCharged)
{
    const std::string order = "firstname=Eva\nlastname=Meier\nitemcount=1\nitem0=Tasse|T-1|1|10.00|10.00\n"
                              "subtotal=10.00\nqdiscount=0.00\npdiscount=0.00\ntotal=10.00\nshipping=0.00\n";
    struct Case {
        const char* values; // vat, subamount and the rate sent, if any
        const char* row;    // the VAT row's label as the page shows it
    } cases[] = {
        {"vat=2.00\nvatrate=20.00\nsubamount=12.00\n", "zzgl. 20 % MwSt.:"}, // a French customer
        {"vat=0.00\nvatrate=0.00\nsubamount=10.00\n", "zzgl. 0 % MwSt.:"},   // an export
        {"vat=0.81\nvatrate=8.1\nsubamount=10.81\n", "zzgl. 8,1 % MwSt.:"},
        {"vat=1.90\nsubamount=11.90\n", "zzgl. 19 % MwSt.:"}, // a shop from before the rate was sent
        {"vat=1.90\nvatrate=\nsubamount=11.90\n", "zzgl. 19 % MwSt.:"},
    };
    for (const Case& c : cases) {
        const Home home(PageCase{"", "", "Kopfzeile=0\r\nFusszeile=0\r\n", false, 19, "\x80", 1});
        BuildInvoicePage(home.setup(), orderFrom("20261228-0002", order + c.values), home.page());
        const std::string page = ReadFile(home.page());
        EXPECT_NE(page.find("<td colspan=\"5\">" + std::string(c.row) + "</td>"), std::string::npos)
            << c.values << page;
    }
}

TEST(InvoicePageTest, TheBankFooterShowsIbanAndBicWhereTheProfileHasThem)
{
    const std::string order = "lastname=Meier\nitemcount=1\nitem0=Tasse|T-1|1|10.00|10.00\nsubtotal=10.00\n";
    const Home home(PageCase{"", "",
                             "Fusszeile=1\r\nbank=Teebank\r\niban=DE89370400440532013000\r\nbic=COBADEFFXXX\r\n", false,
                             19, "\x80", 1});
    BuildInvoicePage(home.setup(), orderFrom("20261228-0003", order), home.page());
    const std::string page = ReadFile(home.page());
    EXPECT_NE(page.find("<br>IBAN: DE89 3704 0044 0532 0130 00<br>BIC: COBADEFFXXX</td>"), std::string::npos) << page;
}

TEST(InvoicePageTest, AmountsRatesAndDatesAreWrittenInTheInvoicesLanguage)
{
    TCountry euro;
    TCountry franc;
    franc.Currency[0] = "CHF";
    franc.Rate[0] = 0.5;
    const struct {
        double euros;
        const TCountry& home;
        const char* german;
        const char* english;
    } amounts[] = {
        {12.5, euro, "12,50 \x80",
         "\x80"
         "12.50"},
        {1234567.891, euro, "1.234.567,89 \x80",
         "\x80"
         "1,234,567.89"},
        {-1, euro, "-1,00 \x80",
         "-\x80"
         "1.00"},
        {-0.004, euro, "0,00 \x80",
         "\x80"
         "0.00"},
        {999.995, euro, "1.000,00 \x80",
         "\x80"
         "1,000.00"},
        {24, franc, "12,00 CHF", "CHF 12.00"},
    };
    for (const auto& c : amounts) {
        EXPECT_EQ(InvoiceMoney(c.euros, c.home, InvoiceStyle::German), c.german) << c.euros;
        EXPECT_EQ(InvoiceMoney(c.euros, c.home, InvoiceStyle::English), c.english) << c.euros;
    }
    const struct {
        double rate;
        const char* german;
        const char* english;
    } rates[] = {{19, "19 %", "19%"},
                 {8.1, "8,1 %", "8.1%"},
                 {5.5, "5,5 %", "5.5%"},
                 {0, "0 %", "0%"},
                 {7.25, "7,25 %", "7.25%"}};
    for (const auto& c : rates) {
        EXPECT_EQ(InvoicePercent(c.rate, InvoiceStyle::German), c.german);
        EXPECT_EQ(InvoicePercent(c.rate, InvoiceStyle::English), c.english);
    }
    std::tm date = fixedToday();
    EXPECT_EQ(InvoiceDate(date, InvoiceStyle::German), "28.12.2026");
    EXPECT_EQ(InvoiceDate(date, InvoiceStyle::English), "28 December 2026");
    date.tm_mon = 0;
    date.tm_mday = 3;
    EXPECT_EQ(InvoiceDate(date, InvoiceStyle::German), "03.01.2026");
    EXPECT_EQ(InvoiceDate(date, InvoiceStyle::English), "3 January 2026");
    EXPECT_EQ(InvoiceStyleOf("Deutsch"), InvoiceStyle::German);
    EXPECT_EQ(InvoiceStyleOf("english"), InvoiceStyle::English);
}

namespace {

// A German merchant with the shipped texts and a country table: the home
// country, an EU neighbour with German, an EU country with English, a
// country outside the EU with English and one with a language that has
// no file.
class Merchant {
public:
    Merchant()
    {
        dir_.write("countries.dat",
                   "[Germany]\r\nCountryNative=Deutschland\r\nLanguageDefault=deutsch\r\nEU=1\r\n"
                   "VAT=19\r\n[Austria]\r\nCountryNative=\xD6sterreich\r\nLanguageDefault=deutsch\r\n"
                   "EU=1\r\nVAT=20\r\n[Ireland]\r\nCountryNative=Ireland,\xC9ire\r\n"
                   "LanguageDefault=english\r\nEU=1\r\nVAT=23\r\n[United Kingdom]\r\n"
                   "CountryNative=United Kingdom\r\nLanguageDefault=english\r\nEU=0\r\nVAT=20\r\n"
                   "[Switzerland]\r\nCountryNative=Schweiz,Suisse\r\nLanguageDefault=deutsch,francais\r\n"
                   "EU=0\r\n[France]\r\nCountryNative=France\r\nLanguageDefault=francais\r\nEU=1\r\n");
        dir_.write("daten/shopprofil.ini", "[Invoice]\r\nZahlfrist=14\r\n");
        CreateFolder(dir_.file("temp/"));
        setup_.ProgramDir = dir_.path();
        setup_.DataDir = dir_.file("daten/");
        setup_.LanguageDir = std::string(QUILLANE_DATA_DIR) + "sprache/";
        setup_.Home.Name = "Germany";
        setup_.Home.Language = "deutsch";
        setup_.Home.EU = true;
        setup_.Home.VAT = 19;
        setup_.Today = fixedToday();
    }

    InvoiceSetup& setup() { return setup_; }
    std::string page() const { return dir_.file("temp/rechnung.html"); }
    void write(const std::string& name, const std::string& content) { dir_.write(name, content); }

private:
    TempDir dir_;
    InvoiceSetup setup_;
};

} // namespace

TEST(InvoicePageTest, TheInvoiceIsInTheShopLanguageWithTheTaxNoteItNeeds)
{
    const std::string items = "firstname=Jo\nlastname=Roe\nitemcount=1\nitem0=Tasse|T-1|2|10.00|20.00\n"
                              "subtotal=20.00\nqdiscount=1.50\npdiscount=0.00\ntotal=18.50\nshipping=5.00\n";
    const struct {
        const char* values;
        const char* language;
        InvoiceTaxNote note;
        std::vector<const char*> shown; // texts the page must hold
        std::vector<const char*> notShown;
    } cases[] = {
        {"country=Deutschland\nvatrate=19.00\nvat=3.52\nsubamount=27.02\npayment=vk\n",
         "deutsch",
         InvoiceTaxNote::None,
         {"-1,50 \x80", "27,02 \x80", "zzgl. 19 % MwSt.", "Zahlbar ohne Abzug bis zum 11.01.2027",
          "die Bestellnummer 20261228-0009 an", "Lieferdatum entspricht Rechnungsdatum", "28.12.2026"},
         {"Ausfuhr", "Steuerschuldnerschaft"}},
        // The shop sends the country in letters of any case.
        {"country=UNITED KINGDOM\nvatrate=0.00\nvat=0.00\nsubamount=23.50\npayment=vk\n",
         "english",
         InvoiceTaxNote::Export,
         {"-\x80"
          "1.50",
          "\x80"
          "23.50",
          "plus 0% VAT", "Tax-free export delivery", "Delivery date equals invoice date", "28 December 2026",
          "by 11 January 2027", "Order ID"},
         {"Reverse charge", "MwSt"}},
        // Delivered elsewhere than billed: the delivery country counts.
        {"country=Deutschland\nla_lastname=Roe\nla_country=Schweiz\nvatrate=0.00\nvat=0.00\nsubamount=23.50\n"
         "payment=nn\npaymentfee=3.00\n",
         "deutsch",
         InvoiceTaxNote::Export,
         {"Steuerfreie Ausfuhrlieferung", "per Nachnahme erhoben", "26,50 \x80", "Lieferanschrift"},
         {"Zahlbar"}},
        {"country=\xC9ire\nvatrate=0.00\nvat=0.00\nsubamount=23.50\nvatid=IE6388047V\npayment=vk\n",
         "english",
         InvoiceTaxNote::ReverseCharge,
         {"Reverse charge", "IE6388047V", "Your VAT ID"},
         {"export"}},
        {"country=\xD6sterreich\nvatrate=0.00\nvat=0.00\nsubamount=23.50\nvatid=ATU12345678\npayment=vk\n",
         "deutsch",
         InvoiceTaxNote::ReverseCharge,
         {"Steuerschuldnerschaft des Leistungsempf\xE4ngers", "ATU12345678"},
         {"Ausfuhr"}},
        // A consumer in the EU is charged VAT: no note, no VAT ID.
        {"country=\xD6sterreich\nvatrate=20.00\nvat=3.70\nsubamount=27.20\nvatid=ATU12345678\npayment=vk\n",
         "deutsch",
         InvoiceTaxNote::None,
         {"zzgl. 20 % MwSt."},
         {"Steuerschuldnerschaft", "ATU12345678", "Ausfuhr"}},
        // French has no language file here; a country the table lacks gives no note.
        {"country=France\nvatrate=20.00\nvat=3.70\nsubamount=27.20\n", "deutsch", InvoiceTaxNote::None, {}, {}},
        {"country=Atlantis\nvatrate=0.00\nvat=0.00\nsubamount=23.50\n",
         "deutsch",
         InvoiceTaxNote::None,
         {},
         {"Ausfuhr"}},
    };
    Merchant merchant;
    for (const auto& c : cases) {
        const Order order = orderFrom("20261228-0009", items + c.values);
        EXPECT_EQ(InvoiceLanguage(merchant.setup(), order), c.language) << c.values;
        EXPECT_EQ(TaxNoteOf(merchant.setup(), order), c.note) << c.values;
        BuildInvoicePage(merchant.setup(), order, merchant.page());
        const std::string page = ReadFile(merchant.page());
        EXPECT_NE(page.find("20261228-0009"), std::string::npos) << c.values;
        for (const char* text : c.shown) {
            EXPECT_NE(page.find(text), std::string::npos) << c.values << " lacks " << text;
        }
        for (const char* text : c.notShown) {
            EXPECT_EQ(page.find(text), std::string::npos) << c.values << " shows " << text;
        }
    }
    // A known delivery date replaces the sentence.
    std::tm delivered = fixedToday();
    delivered.tm_mday = 22;
    merchant.setup().DeliveryDate = delivered;
    BuildInvoicePage(merchant.setup(), orderFrom("A1", items + "country=Ireland\n"), merchant.page());
    const std::string page = ReadFile(merchant.page());
    EXPECT_NE(page.find("Delivery date: 22 December 2026"), std::string::npos) << page;
    EXPECT_EQ(page.find("equals invoice date"), std::string::npos);
}

TEST(InvoicePageTest, MissingSellerDetailsAreNamed)
{
    const struct {
        const char* company; // [Contact] lines
        const char* invoice; // the shop profile's [Invoice] lines
        std::vector<const char*> missing;
    } cases[] = {
        {"Firma=Teeladen\r\nStrasse=Weg 1\r\nPLZ=12345\r\nOrt=Neustadt\r\n", "stnr=12/345\r\n", {}},
        {"Name=Eva Meier\r\nStrasse=Weg 1\r\nPLZ=12345\r\nOrt=Neustadt\r\n", "ustid=DE123\r\n", {}},
        {"Firma= \r\nStrasse=Weg 1\r\nPLZ=12345\r\nOrt=Neustadt\r\n", "stnr=1\r\n", {"InvoiceNoSellerName"}},
        {"Firma=Teeladen\r\nStrasse=Weg 1\r\nOrt=Neustadt\r\n", "stnr=1\r\n", {"InvoiceNoSellerAddress"}},
        {"Firma=Teeladen\r\nStrasse=Weg 1\r\nPLZ=12345\r\nOrt=Neustadt\r\n",
         "stnr=\r\nustid= \r\n",
         {"InvoiceNoTaxNumber"}},
        {"", "", {"InvoiceNoSellerName", "InvoiceNoSellerAddress", "InvoiceNoTaxNumber"}},
    };
    for (const auto& c : cases) {
        Merchant merchant;
        merchant.write("userprofil.ini", std::string("[Contact]\r\n") + c.company);
        merchant.write("daten/shopprofil.ini", std::string("[Invoice]\r\n") + c.invoice);
        std::vector<std::string> keys;
        for (const Message& message : MissingSellerDetails(merchant.setup())) {
            keys.emplace_back(message.Key.Name);
        }
        EXPECT_EQ(keys, std::vector<std::string>(c.missing.begin(), c.missing.end())) << c.company << c.invoice;
    }
}
