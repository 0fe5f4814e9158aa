#include "core/import/ProductImport.h"
#include "ImportFixtures.h"
#include "TestSupport.h"
#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::makeGrid;
using quillane::test::TempDir;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The catalog as text: each group of groups.ini in order, then its items.
std::string catalog(const CatalogStore& store)
{
    const IniFile items(store.ItemsFile());
    std::string text;
    for (const auto& [number, path] : store.GroupEntries()) {
        text += number + "=" + path + ":";
        // Every group's section starts with its shipping surcharge.
        const auto section = items.ReadSectionValues(number);
        if (section.empty() || section.front().first != "Versand") {
            text += " (no Versand line)";
        }
        for (const auto& [key, value] : section) {
            if (key != "Versand") {
                text += " " + key + "=" + value;
            }
        }
        text += "\n";
    }
    return text;
}

std::string skipped(const ImportResult& result)
{
    std::string text;
    for (const SkippedRow& s : result.Skipped) {
        text += std::to_string(s.Row) + ": " + EnglishText(s.Reason) + "\n";
    }
    return text;
}

// Columns A to D: product group, name, order number, price.
ImportChoices choices(const std::string& main = "", const std::string& sub = "")
{
    ImportChoices c;
    c.Columns = ImportColumns{0, 1, 2, 3};
    c.MainGroup = main;
    c.SubGroup = sub;
    return c;
}

class ProductImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.SetLanguages("english", "english");
        store.SetChangeListener([this] { ++changes; });
    }
    void Catalog(const std::string& groups, const std::string& items)
    {
        dir.write("groups.ini", "[english]\r\n" + groups);
        dir.write("shop.tmp", items);
        store.LoadGroups();
    }
    std::string Files() const
    {
        std::string text;
        for (const char* name : {"groups.ini", "shop.tmp"}) {
            text += FileExists(dir.file(name)) ? dir.read(name) : "(none)";
        }
        return text;
    }
    // The import, checked against its preview: same counts and skipped rows,
    // and the preview wrote nothing.
    ImportResult Import(const Rows& rows, const ImportChoices& c)
    {
        const ImportGrid grid = makeGrid(rows);
        const std::string before = Files();
        const ImportResult preview = PreviewImport(store, grid, c, home);
        EXPECT_EQ(Files(), before);
        EXPECT_FALSE(preview.Changed);
        const ImportResult result = ImportRows(store, grid, c, home);
        EXPECT_EQ(preview.Added, result.Added);
        EXPECT_EQ(preview.Replaced, result.Replaced);
        EXPECT_EQ(preview.Skipped, result.Skipped);
        return result;
    }

    TempDir dir;
    CatalogStore store{dir.path()};
    TCountry home;
    int changes = 0;
};

} // namespace

TEST_F(ProductImportTest, ReadsEachPriceAsItsColumnDecidesOrSkipsItNeverStoringZero)
{
    using Mark = PriceColumnReading::Mark;
    const auto net = PriceEntry::Net;
    const struct {
        const char* what;
        double rate;
        double vat;
        PriceEntry mode;
        const char* cell;
        bool number; // a worksheet number, not a text
        // The rest of the price column, which decides its separator; "=" leads a worksheet number.
        std::vector<std::string> others;
        Mark decided;
        const char* stored; // the price stored, or a part of the reason the row was skipped
    } cases[] = {
        {"net, home rate 2", 2, 0, net, "10", false, {}, Mark::Unknown, "5.000"},
        {"gross, VAT 19, four decimals", 1, 19, PriceEntry::Gross, "11,90", false, {}, Mark::Comma, "10.0000"},
        {"a decimal comma", 1, 0, net, "12,5", false, {}, Mark::Comma, "12.500"},
        {"German thousands", 1, 0, net, "1.234,56", false, {}, Mark::Comma, "1234.560"},
        {"English thousands", 1, 0, net, "1,234.56", false, {}, Mark::Point, "1234.560"},
        {"thousands alone", 1, 0, net, "1.234.567", false, {}, Mark::Comma, "1234567.000"},
        {"1.234 in a column of decimal commas", 1, 0, net, "1.234", false, {"2,50", "3,10"}, Mark::Comma, "1234.000"},
        {"1.234 in a column of decimal points", 1, 0, net, "1.234", false, {"2.50", "1,000.5"}, Mark::Point, "1.234"},
        {"1,234 in a column of decimal points", 1, 0, net, "1,234", false, {"2.5"}, Mark::Point, "1234.000"},
        {"the majority decides", 1, 0, net, "4,20", false, {"2,50", "3,10", "7.5"}, Mark::Comma, "4.200"},
        {"a worksheet number in a column of decimal commas", 1, 0, net, "1.234", true, {"2,50"}, Mark::Comma, "1.234"},
        {"worksheet numbers take no part in the vote",
         1,
         0,
         net,
         "1.234",
         false,
         {"=12.5", "=0.5"},
         Mark::Unknown,
         "may be 1234 or 1.234"},
        {"currency and blanks around", 1, 19, net, " 12 EUR ", false, {}, Mark::Unknown, "12.000"},
        {"the euro sign after", 1, 0, net, "12,50 \x80", false, {}, Mark::Comma, "12.500"},
        {"nothing says which separator", 1, 0, net, "1.234", false, {"5", "7"}, Mark::Unknown, "may be 1234 or 1.234"},
        {"a decimal point among decimal commas",
         1,
         0,
         net,
         "3.5",
         false,
         {"2,50", "3,10"},
         Mark::Comma,
         "does not fit its column, whose prices have a decimal comma"},
        {"separators in the wrong places", 1, 0, net, "1.23.4", false, {}, Mark::Unknown, "in the wrong places"},
        {"empty", 1, 0, net, "", false, {"3"}, Mark::Unknown, "There is no price."},
        {"words", 1, 0, net, "auf Anfrage", false, {}, Mark::Unknown, "\"auf Anfrage\" is not a number"},
        {"a number with words", 1, 0, net, "12 pro Stk", false, {}, Mark::Unknown, "is not a number"},
        {"negative", 1, 0, net, "-5", false, {}, Mark::Unknown, "is negative"},
        {"negative with a comma", 1, 0, net, "-3,5", false, {}, Mark::Comma, "is negative"},
        {"negative in brackets", 1, 0, net, "(3,50)", false, {}, Mark::Comma, "is negative"},
        {"a minus after", 1, 0, net, "3,50-", false, {}, Mark::Comma, "is negative"},
        {"whole euros with a dash", 1, 0, net, "12,-", false, {"3,50"}, Mark::Comma, "12.000"},
        {"a minus after the euro sign", 1, 0, net, "\x80 -3,50", false, {}, Mark::Comma, "is negative"},
        {"a negative worksheet number", 1, 0, net, "-2.5", true, {}, Mark::Unknown, "is negative"},
        {"beyond a double", 1, 0, net, "1e999", false, {}, Mark::Unknown, "not a finite number"},
        {"infinite", 1, 0, net, "inf", false, {}, Mark::Unknown, "not a finite number"},
        {"a spreadsheet's error value", 1, 0, net, "#DIV/0!", false, {}, Mark::Unknown, "shows the error #DIV/0!"},
        {"beyond the largest price", 0.5, 0, net, "999999999", false, {}, Mark::Unknown, "more than 999999999 euro"},
    };
    for (const auto& c : cases) {
        TempDir fresh;
        CatalogStore store(fresh.path());
        store.SetLanguages("english", "english");
        home.Rate[0] = c.rate;
        home.VAT = c.vat;
        ImportChoices chosen = choices();
        chosen.PriceEntryMode = c.mode;
        Rows rows = {{"Shirts", "Polo", "P1", c.cell}};
        for (std::size_t i = 0; i < c.others.size(); ++i) {
            const std::string& other = c.others[i];
            rows.push_back({"Shirts", "Other", "O" + std::to_string(i), other[0] == '=' ? other.substr(1) : other});
        }
        ImportGrid grid = makeGrid(rows);
        for (std::size_t i = 0; i < grid.Rows.size(); ++i) {
            if (i == 0 ? c.number : c.others[i - 1][0] == '=') {
                grid.Rows[i].Numbers = {false, false, false, true};
            }
        }
        const ImportResult preview = PreviewImport(store, grid, chosen, home);
        const ImportResult result = ImportRows(store, grid, chosen, home);
        EXPECT_EQ(result.Prices.Decimal, c.decided) << c.what;
        EXPECT_EQ(preview.Skipped, result.Skipped) << c.what;
        const bool refused = std::string(c.stored).find(' ') != std::string::npos;
        const std::string polo = IniFile(store.ItemsFile()).ReadString("0", "P1", "");
        if (refused) {
            ASSERT_FALSE(result.Skipped.empty()) << c.what;
            EXPECT_EQ(result.Skipped[0].Row, 1u) << c.what;
            EXPECT_NE(EnglishText(result.Skipped[0].Reason).find(c.stored), std::string::npos)
                << c.what << ": " << skipped(result);
            EXPECT_EQ(polo, "") << c.what;
        } else {
            EXPECT_EQ(polo, "Polo|" + std::string(c.stored) + "||||") << c.what;
            EXPECT_TRUE(result.Skipped.empty() || result.Skipped[0].Row != 1) << c.what << ": " << skipped(result);
        }
    }
}

TEST_F(ProductImportTest, FormsEachRowsGroupPathAndCreatesTheGroupsAsTheTreeDoes)
{
    const struct {
        const char* what;
        const char* groups;
        const char* items;
        const char* main;
        const char* sub;
        Rows rows;
        const char* catalog;
        const char* skipped;
    } cases[] = {
        {"only the first row names a group", "", "", "", "",
         Rows{{"Shirts", "Polo", "P1", "1"}, {"", "Tee", "T1", "2"}, {"", "Top", "T2", "3"}},
         "0=Shirts: P1=Polo|1.000|||| T1=Tee|2.000|||| T2=Top|3.000||||\n", ""},
        {"rows before the first group", "", "", "", "", Rows{{"", "Tee", "T1", "2"}, {"Hats", "Cap", "C1", "1"}},
         "0=Hats: C1=Cap|1.000||||\n", "1: No product group in this row or a row before it.\n"},
        {"main group Shirts chosen, cell Polo", "0=Shirts|Tees\r\n", "[0]\r\nVersand=0.000\r\nT1=Tee|2.00||||\r\n",
         "Shirts", "", Rows{{"Polo", "Polo blue", "P1", "1"}},
         "0=Shirts|Tees: T1=Tee|2.00||||\n1=Shirts|Polo: P1=Polo blue|1.000||||\n", ""},
        {"main and sub group chosen", "0=Shirts|Tees\r\n", "[0]\r\nVersand=0.000\r\n", "Shirts", "Tees",
         Rows{{"Polo", "Polo blue", "P1", "1"}, {"Caps", "Cap", "C1", "2"}},
         "0=Shirts|Tees: P1=Polo blue|1.000|||| C1=Cap|2.000||||\n", ""},
        {"a cell naming main and sub group, blanks around the names", "", "", "", "",
         Rows{{" Hats | Caps ", "Cap", "C1", "1"}}, "0=Hats|Caps: C1=Cap|1.000||||\n", ""},
        {"a main group holding items gets a sub group", "0=Shirts\r\n", "[0]\r\nVersand=0.000\r\nS1=Shirt|4.00||||\r\n",
         "", "", Rows{{"Shirts|Polo", "Polo", "P1", "1"}, {"Shirts", "Tee", "T1", "2"}},
         "0=Shirts|Shirts: S1=Shirt|4.00|||| T1=Tee|2.000||||\n1=Shirts|Polo: P1=Polo|1.000||||\n", ""},
        {"an empty main group gives its number to its first sub group", "0=Shirts\r\n1=Hats\r\n",
         "[0]\r\nVersand=0.000\r\n[1]\r\nVersand=0.000\r\n", "", "", Rows{{"Shirts|Polo", "Polo", "P1", "1"}},
         "0=Shirts|Polo: P1=Polo|1.000||||\n1=Hats:\n", ""},
        {"new groups between the items, one number taken by a section no group names", "0=Shoes\r\n",
         "[0]\r\nVersand=0.000\r\nS1=Boot|9.00||||\r\n[1]\r\nVersand=0.000\r\nX1=Orphan|1.00||||\r\n", "", "",
         Rows{{"Hats", "Cap", "C1", "1"},
              {"Shirts|Polo", "Polo", "P1", "2"},
              {"Hats", "Beret", "C2", "3"},
              {"Bags", "Tote", "B1", "4"},
              {"Shoes", "Sandal", "S2", "5"}},
         "0=Shoes: S1=Boot|9.00|||| S2=Sandal|5.000||||\n1=Hats: C1=Cap|1.000|||| C2=Beret|3.000||||\n"
         "2=Shirts|Polo: P1=Polo|2.000||||\n3=Bags: B1=Tote|4.000||||\n",
         ""},
        {"group paths the catalog cannot hold", "", "", "", "",
         Rows{{"a|b|c", "X", "X1", "1"}, {"", "Y", "Y1", "1"}, {"A=B", "Z", "Z1", "1"}, {"Hats", "Cap", "C1", "1"}},
         "0=Hats: C1=Cap|1.000||||\n",
         "1: The product group \"a|b|c\" has more than two levels. A group is a main group, or a main group, \"|\" "
         "and a sub group.\n"
         "2: It belongs to the product group of the rows before it, which cannot be used. The product group "
         "\"a|b|c\" has more than two levels. A group is a main group, or a main group, \"|\" and a sub group.\n"
         "3: The main group \"A=B\" contains \"=\". Main group names may not contain \"=\".\n"},
    };
    for (const auto& c : cases) {
        TempDir fresh;
        CatalogStore store(fresh.path());
        store.SetLanguages("english", "english");
        if (*c.groups != '\0') {
            fresh.write("groups.ini", std::string("[english]\r\n") + c.groups);
            fresh.write("shop.tmp", c.items);
            store.LoadGroups();
        }
        const ImportGrid grid = makeGrid(c.rows);
        const ImportResult preview = PreviewImport(store, grid, choices(c.main, c.sub), home);
        const ImportResult result = ImportRows(store, grid, choices(c.main, c.sub), home);
        EXPECT_EQ(catalog(store), c.catalog) << c.what;
        EXPECT_EQ(skipped(result), c.skipped) << c.what;
        EXPECT_EQ(preview.Added, result.Added) << c.what;
        EXPECT_EQ(preview.Skipped, result.Skipped) << c.what;
    }
}

TEST_F(ProductImportTest, ReplacesTheItemOfTheSameOrderNumberInItsGroupOnly)
{
    Catalog("0=Shirts\r\n1=Hats\r\n",
            "[0]\r\nVersand=1.000\r\nA1=Old|1.00|2|0:1|0|x\r\nA2=Keep|2.00||||\r\n[1]\r\nVersand=0.000\r\n");
    ASSERT_EQ(store.ItemCount, 2);
    const ImportResult result = Import({{"Shirts", "New", "A1", "3"}, {"Hats", "Cap", "A1", "2"}}, choices());
    // The discount levels ticked by hand stay; the rest comes from the file.
    EXPECT_EQ(catalog(store), "0=Shirts: A1=New|3.000||0:1|| A2=Keep|2.00||||\n1=Hats: A1=Cap|2.000||||\n");
    EXPECT_EQ(result.Added, 1u);
    EXPECT_EQ(result.Replaced, 1u);
    EXPECT_TRUE(result.Changed);
    EXPECT_EQ(store.ItemCount, 3);
    EXPECT_EQ(changes, 1);
    EXPECT_NE(dir.read("shop.tmp").find("Versand=1.000"), std::string::npos);
}

TEST_F(ProductImportTest, RefusesOrderNumbersAndNamesTheCatalogFileCannotHold)
{
    const Rows rows = {
        {"Shirts", "Polo", "A=1", "1"},
        {"Shirts", "Polo", "A|1", "1"},
        {"Shirts", "Polo", "[A1", "1"},
        {"Shirts", "Polo", "A\n1", "1"},
        {"Shirts", "Po|lo", "A2", "1"},
        {"Shirts", "Po\r\nlo", "A3", "1"},
        {"Shirts", "Polo", "Versand", "1"},
        {"Shirts", "", "A4", "1"},
        {"Shirts", "Polo", "", "1"},
        {"Shirts", "", "", "1"},
        {"Shirts", std::string(2100, 'x'), "A5", "1"},
        {"Shirts", "Fine", "A6", "1"},
    };
    const ImportResult result = Import(rows, choices());
    EXPECT_EQ(catalog(store), "0=Shirts: A6=Fine|1.000||||\n");
    const std::vector<std::string> reasons = {"contains \"=\"",
                                              "contains \"|\"",
                                              "begins with \"[\"",
                                              "holds a line break",
                                              "The name \"Po|lo\" contains \"|\"",
                                              "The name \"Po\\r\\nlo\" holds a line break",
                                              "shipping surcharge",
                                              "No name.",
                                              "No order number.",
                                              "No name and no order number.",
                                              "longer than the catalog file can hold"};
    ASSERT_EQ(result.Skipped.size(), reasons.size()) << skipped(result);
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        EXPECT_EQ(result.Skipped[i].Row, i + 1);
        const std::string reason = EnglishText(result.Skipped[i].Reason);
        EXPECT_NE(reason.find(reasons[i]), std::string::npos) << reason;
    }
}

TEST_F(ProductImportTest, TakesTheChosenRowsOnlyAndWantsEveryColumn)
{
    Catalog("0=Shirts\r\n", "[0]\r\nVersand=0.000\r\n");
    const ImportGrid grid = makeGrid({{"Group", "Name", "No", "Price"},
                                      {"Shirts", "Polo", "P1", "1"},
                                      {"Shirts", "Tee", "T1", "2"},
                                      {"Shirts", "Top", "T2", "3"}});
    ImportChoices missing = choices();
    missing.Columns.Price = ImportColumns::kUnset;
    const std::string before = Files();
    EXPECT_THROW(ImportRows(store, grid, missing, home), Error);
    EXPECT_THROW(PreviewImport(store, grid, missing, home), Error);
    EXPECT_EQ(Files(), before);

    ImportChoices range = choices();
    range.FirstRow = 1;
    range.LastRow = 2;
    ImportRows(store, grid, range, home);
    EXPECT_EQ(catalog(store), "0=Shirts: P1=Polo|1.000|||| T1=Tee|2.000||||\n");
}

TEST_F(ProductImportTest, TheShownGroupShowsWhatWasImportedIntoIt)
{
    Catalog("0=Shirts\r\n", "[0]\r\nVersand=0.000\r\nS1=Shirt|4.00||||\r\n");
    store.LoadGroupItems(0);
    Import({{"Shirts", "Polo", "P1", "1"}}, choices());
    ASSERT_EQ(store.CurrentItems.size(), 3u);
    EXPECT_EQ(store.CurrentItems[2], IniLine("P1", "Polo|1.000||||"));
    // The window stores the shown group after its next change; the import must survive it.
    store.SaveGroup();
    EXPECT_EQ(catalog(store), "0=Shirts: S1=Shirt|4.00|||| P1=Polo|1.000||||\n");
}
