#include "core/catalog/ItemOps.h"
#include "TestSupport.h"
#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/import/ImportRules.h"

#include <functional>
#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;
using Result = quillane::ItemOps::Result;

namespace {

using Lines = std::vector<IniLine>;

// The shown group Food|Bread (0) beside Drinks (1), in a euro country.
class ItemOpsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write("groups.ini", "[english]\r\n0=Food|Bread\r\n1=Drinks\r\n");
        dir.write("shop.tmp", "[0]\r\nVersand=1.000\r\n[1]\r\nVersand=0.000\r\nD1=Water|1.00||||\r\n");
        store.SetLanguages("english", "english");
        store.SetChangeListener([this] { ++changes; });
        store.LoadGroups();
        store.LoadGroupItems(0);
    }
    Lines Items(int group) const { return IniFile(store.ItemsFile()).ReadSectionValues(std::to_string(group)); }
    std::vector<std::string> ShownKeys() const
    {
        std::vector<std::string> keys;
        for (const auto& [key, value] : store.CurrentItems) {
            keys.push_back(key);
        }
        return keys;
    }
    void AddThree()
    {
        ASSERT_EQ(items.Add("Rye", "B1", "2", PriceEntry::Net), Result::Done);
        ASSERT_EQ(items.Add("Oat", "B2", "3", PriceEntry::Net), Result::Done);
        ASSERT_EQ(items.Add("Spelt", "B3", "4", PriceEntry::Net), Result::Done);
    }

    TempDir dir;
    CatalogStore store{dir.path()};
    TCountry home;
    ItemOps items{store, home};
    int changes = 0;
};

using Keys = std::vector<std::string>;

} // namespace

TEST_F(ItemOpsTest, NewItemsAreStoredAtOnceWithEmptyFields)
{
    EXPECT_EQ(items.Add("Rye", "B1", "2.5", PriceEntry::Net), Result::Done);
    EXPECT_EQ(items.Add("Oat", "B2", "3", PriceEntry::Net), Result::Done);
    EXPECT_EQ(items.Insert(2, "Spelt", "B3", "4,1", PriceEntry::Net), Result::Done);
    EXPECT_EQ(dir.read("shop.tmp"),
              "[1]\r\nVersand=0.000\r\nD1=Water|1.00||||\r\n"
              "[0]\r\nVersand=1.000\r\nB1=Rye|2.50||||\r\nB3=Spelt|4.10||||\r\nB2=Oat|3.00||||\r\n");
    EXPECT_EQ(store.ItemCount, 4);
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(items.Published(1)); // an empty flag is published
}

TEST_F(ItemOpsTest, PriceEntryInTheHomeCurrencyNetOrGross)
{
    struct Case {
        double rate;
        double vat;
        PriceEntry mode;
        const char* typed;
        const char* stored;
        const char* shown;
    } cases[] = {
        {1.95583, 16, PriceEntry::Net, "19.56", "10.00", "19.56 DM"},
        {1, 16, PriceEntry::Gross, "11.60", "10.0000", "10.00 DM"},
        {1.95583, 16, PriceEntry::Gross, "22,69", "10.0010", "19.56 DM"},
        {1, 0, PriceEntry::Net, " 0 ", "0.00", "0.00 DM"},
    };
    for (const auto& k : cases) {
        home.Rate[0] = k.rate;
        home.VAT = k.vat;
        home.Currency[0] = "DM";
        store.LoadGroupItems(0);
        ASSERT_EQ(items.Add("Rye", "B1", k.typed, k.mode), Result::Done) << k.typed;
        EXPECT_EQ(Items(0).back(), IniLine("B1", std::string("Rye|") + k.stored + "||||")) << k.typed;
        EXPECT_EQ(items.LastPrice(), k.stored);
        EXPECT_EQ(items.DisplayPrice(1), k.shown);
        ASSERT_EQ(items.Remove(1), Result::Done);
    }
}

// Amounts as a merchant reads and types them in his language.
TEST(LocalAmount, ReadAndWrittenWithTheDecimalMarkOfTheLanguage)
{
    EXPECT_EQ(DecimalMarkOf("deutsch"), ',');
    EXPECT_EQ(DecimalMarkOf("English"), '.');
    const struct {
        char mark;
        const char* typed;
        double value; // -1: refused
    } reads[] = {
        {',', "1.234,50", 1234.5},
        {',', "1234,5", 1234.5},
        {',', "9.80", 9.8},
        {',', "2.500", 2500},
        {',', "1.234.567", 1234567},
        {',', " 7 ", 7},
        {',', "1,234.50", -1},
        {',', "12.34.5", -1},
        {',', "1.23,4", -1},
        {',', "1,2,3", -1},
        {',', "-5", -1},
        {',', "", -1},
        {'.', "1,234.50", 1234.5},
        {'.', "9,80", 9.8},
        {'.', "1,500", 1500},
        {'.', "1.234,50", -1},
        {'.', "abc", -1},
        {'.', "1000000000", -1},
    };
    for (const auto& r : reads) {
        double value = -1;
        const bool read = TryParseLocalAmount(r.typed, r.mark, value);
        EXPECT_EQ(read, r.value >= 0) << r.mark << " " << r.typed;
        EXPECT_DOUBLE_EQ(value, r.value) << r.mark << " " << r.typed;
    }
    const struct {
        char mark;
        double value;
        const char* shown;
    } writes[] = {
        {',', 1234.5, "1.234,50"}, {'.', 1234.5, "1,234.50"}, {',', 999999999, "999.999.999,00"},
        {',', 0.005, "0,01"},      {'.', 100, "100.00"},      {',', 123456.789, "123.456,79"},
    };
    for (const auto& w : writes) {
        EXPECT_EQ(LocalAmount(w.value, w.mark), w.shown) << w.value;
    }
}

TEST_F(ItemOpsTest, PricesAreTypedAndShownWithTheDecimalMarkSet)
{
    items.SetDecimalMark(',');
    ASSERT_EQ(items.Add("Rye", "B1", "1.234,50", PriceEntry::Net), Result::Done);
    EXPECT_EQ(Items(0).back(), IniLine("B1", "Rye|1234.50||||"));
    EXPECT_EQ(items.DisplayPrice(1), "1.234,50 \x80");
    EXPECT_THROW(items.Add("Oat", "B2", "1,234.50", PriceEntry::Net), Error);
    items.SetDecimalMark('.');
    EXPECT_EQ(items.DisplayPrice(1), "1,234.50 \x80");
}

// A gross price shows as typed once the shop puts the VAT back on and
// rounds to the cent, for the item panel and the import alike.
TEST_F(ItemOpsTest, AGrossPriceShowsAsTyped)
{
    for (const double vat : {19.0, 7.0, 8.1}) {
        home.VAT = vat;
        for (const char* typed : {"9.99", "14.90", "0.99", "1234.56"}) {
            std::string imported;
            Message reason{msg::Plain, {}};
            ASSERT_TRUE(ImportPrice(typed, false, PriceColumnReading{}, home, PriceEntry::Gross, imported, reason))
                << EnglishText(reason);
            for (const std::string& stored : {items.EntryPrice(typed, PriceEntry::Gross), imported}) {
                EXPECT_EQ(stored.size() - stored.find('.'), 5u) << stored << ": four decimals";
                EXPECT_EQ(FormatDecimals(2, ParseNumber(stored) * (1 + vat / 100)), typed)
                    << typed << " at " << vat << " % stored as " << stored;
            }
        }
    }
}

TEST_F(ItemOpsTest, AnOrderNumberTakenInTheGroupIsRefusedAndNothingIsLost)
{
    AddThree();
    const std::string before = dir.read("shop.tmp");
    const Lines shown = store.CurrentItems;
    changes = 0;
    struct Case {
        const char* what;
        Result result;
    } cases[] = {
        {"add", items.Add("Other", "b2", "9", PriceEntry::Net)},
        {"insert", items.Insert(1, "Other", "B3", "9", PriceEntry::Net)},
        {"replace", items.Replace(1, "Other", "B2", "9", PriceEntry::Net, dir.path(), {"english"})},
        {"surcharge key", items.Add("Other", "versand", "9", PriceEntry::Net)},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(k.result, Result::DuplicateOrderNo) << k.what;
    }
    EXPECT_EQ(store.CurrentItems, shown);
    EXPECT_EQ(dir.read("shop.tmp"), before);
    EXPECT_EQ(store.ItemCount, 4);
    EXPECT_EQ(changes, 0);
}

// What the catalog file cannot hold back, or what no shop can price, never
// enters the group: the merchant is told what is wrong and nothing changes.
TEST_F(ItemOpsTest, OrderNumbersAndPricesTheFileCannotHoldAreRefused)
{
    AddThree();
    const std::string before = dir.read("shop.tmp");
    const Lines shown = store.CurrentItems;
    changes = 0;
    struct Case {
        const char* orderNo;
        const char* price;
        double rate;
        const char* named; // the text the message must name
    } cases[] = {
        {"A=1", "2", 1, "\"=\""},
        {"[X]", "2", 1, "\"[\""},
        {" [X", "2", 1, "\"[\""},
        {"A|1", "2", 1, "\"|\""},
        {"A\r\n1", "2", 1, "line break"},
        {"A\t1", "2", 1, "control character"},
        {"B9", "-5", 1, "\"-5\""},
        {"B9", "1e308", 1, "\"1e308\""},
        {"B9", "1,5';", 1, "\"1,5';\""},
        {"B9", "abc", 1, "\"abc\""},
        {"B9", "nan", 1, "\"nan\""},
        // Within the limit as typed, beyond it in euro.
        {"B9", "999999999", 0.5, "\"999999999\""},
    };
    for (const auto& k : cases) {
        home.Rate[0] = k.rate;
        const std::function<void()> roads[] = {
            [&] { items.Add("Other", k.orderNo, k.price, PriceEntry::Net); },
            [&] { items.Insert(1, "Other", k.orderNo, k.price, PriceEntry::Net); },
            [&] { items.Replace(1, "Other", k.orderNo, k.price, PriceEntry::Net, dir.path(), {"english"}); },
        };
        for (const auto& road : roads) {
            try {
                road();
                ADD_FAILURE() << "taken: " << k.orderNo << " / " << k.price;
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find(k.named), std::string::npos) << e.what();
            }
        }
    }
    home.Rate[0] = 1;
    EXPECT_EQ(store.CurrentItems, shown);
    EXPECT_EQ(dir.read("shop.tmp"), before);
    EXPECT_EQ(store.ItemCount, 4);
    EXPECT_EQ(changes, 0);

    // Brackets and the rest are fine where they cannot start a section.
    EXPECT_EQ(items.Add("Other", "X[1]", "0", PriceEntry::Net), Result::Done);
    EXPECT_EQ(IniFile(store.ItemsFile()).ReadString("0", "X[1]", ""), "Other|0.00||||");
}

TEST_F(ItemOpsTest, EmptyFieldsOrNoItemChangeNothing)
{
    const std::string before = dir.read("shop.tmp");
    EXPECT_EQ(items.Add("", "B1", "2", PriceEntry::Net), Result::MissingField);
    EXPECT_EQ(items.Add("Rye", "", "2", PriceEntry::Net), Result::MissingField);
    EXPECT_EQ(items.Add("Rye", "B1", "", PriceEntry::Net), Result::MissingField);
    EXPECT_EQ(items.Insert(1, "Rye", "B1", "2", PriceEntry::Net), Result::NoItem);
    EXPECT_EQ(items.Replace(1, "Rye", "B1", "2", PriceEntry::Net, dir.path(), {}), Result::NoItem);
    EXPECT_EQ(items.Remove(1), Result::NoItem);
    EXPECT_EQ(items.Move(1, 2), Result::Unchanged);
    EXPECT_EQ(items.SetPublished(1, false), Result::NoItem);
    EXPECT_EQ(dir.read("shop.tmp"), before);
    EXPECT_EQ(changes, 0);
}

TEST_F(ItemOpsTest, ReplaceKeepsTheOtherFieldsAndMovesPicturesAndDescriptions)
{
    struct Case {
        const char* newKey;
    } cases[] = {{"Z9"}, {"b1"}};
    const std::vector<std::string> languages = {"english", "deutsch"};
    for (const auto& k : cases) {
        TempDir data;
        store.CurrentItems = {{"Versand", "1.000"}, {"B1", "Rye|2.00|2|0:1|0|x"}, {"B2", "Oat|3.00||||"}};
        dir.write("pictures.ini", "[B2]\r\n1=/p/oat.jpg\r\n[B1]\r\n1=/p/rye.jpg\r\n2=/p/rye2.jpg\r\n");
        data.write("english/B1.txt", "Dark rye");
        data.write("deutsch/B1.txt", "Dunkles Roggenbrot");

        ASSERT_EQ(items.Replace(1, "Rye bread", k.newKey, "2.20", PriceEntry::Net, data.path(), languages),
                  Result::Done);

        EXPECT_EQ(Items(0),
                  (Lines{{"Versand", "1.000"}, {k.newKey, "Rye bread|2.20|2|0:1|0|x"}, {"B2", "Oat|3.00||||"}}));
        const IniFile pictures(dir.file("pictures.ini"));
        EXPECT_EQ(pictures.ReadSections(), (std::vector<std::string>{"B2", k.newKey})) << k.newKey;
        EXPECT_EQ(pictures.ReadSectionValues(k.newKey), (Lines{{"1", "/p/rye.jpg"}, {"2", "/p/rye2.jpg"}}));
        EXPECT_EQ(data.read(std::string("english/") + k.newKey + ".txt"), "Dark rye");
        EXPECT_EQ(data.read(std::string("deutsch/") + k.newKey + ".txt"), "Dunkles Roggenbrot");
        EXPECT_FALSE(FileExists(data.file("english/B1.txt")));
        EXPECT_FALSE(FileExists(data.file("deutsch/B1.txt")));
    }
}

TEST_F(ItemOpsTest, PublishedFlag)
{
    AddThree();
    changes = 0;
    EXPECT_EQ(items.SetPublished(2, true), Result::Unchanged); // empty already means published
    EXPECT_EQ(items.SetPublished(2, false), Result::Done);
    EXPECT_EQ(Items(0)[2], IniLine("B2", "Oat|3.00|||0|"));
    EXPECT_FALSE(items.Published(2));
    EXPECT_EQ(items.SetPublished(2, true), Result::Done);
    EXPECT_EQ(Items(0)[2], IniLine("B2", "Oat|3.00|||1|"));
    EXPECT_TRUE(items.Published(2));
    EXPECT_EQ(changes, 2);
}

TEST_F(ItemOpsTest, MoveAndRemove)
{
    AddThree();
    EXPECT_EQ(items.Move(3, 1), Result::Done);
    EXPECT_EQ(ShownKeys(), (Keys{"Versand", "B3", "B1", "B2"}));
    EXPECT_EQ(items.Move(3, 4), Result::Unchanged); // the last item has no row below
    EXPECT_EQ(items.Move(1, 0), Result::Unchanged); // the surcharge line stays first
    EXPECT_EQ(items.Remove(2), Result::Done);
    EXPECT_EQ(ShownKeys(), (Keys{"Versand", "B3", "B2"}));
    EXPECT_EQ(Items(0), store.CurrentItems);
    EXPECT_EQ(store.ItemCount, 3);
}

TEST_F(ItemOpsTest, MoveToGroup)
{
    AddThree();
    changes = 0;
    EXPECT_EQ(items.MoveToGroup(1, "Drinks"), Result::Done);
    EXPECT_EQ(ShownKeys(), (Keys{"Versand", "B2", "B3"}));
    EXPECT_EQ(Items(0), store.CurrentItems);
    EXPECT_EQ(Items(1), (Lines{{"Versand", "0.000"}, {"D1", "Water|1.00||||"}, {"B1", "Rye|2.00||||"}}));
    EXPECT_EQ(store.ItemCount, 4);
    EXPECT_EQ(changes, 1);

    // Into its own group or a group that does not exist: the item stays.
    EXPECT_EQ(items.MoveToGroup(1, "Food|Bread"), Result::Unchanged);
    EXPECT_EQ(items.MoveToGroup(1, "Food"), Result::Unchanged);
    EXPECT_EQ(ShownKeys(), (Keys{"Versand", "B2", "B3"}));

    // The target's item of the same order number is not overwritten.
    store.CurrentItems.emplace_back("d1", "Other water|2.00||||");
    store.SaveGroup();
    EXPECT_EQ(items.MoveToGroup(3, "Drinks"), Result::DuplicateOrderNo);
    EXPECT_EQ(Items(1)[1], IniLine("D1", "Water|1.00||||"));
    EXPECT_EQ(ShownKeys(), (Keys{"Versand", "B2", "B3", "d1"}));
}
