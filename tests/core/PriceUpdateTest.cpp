#include "core/import/PriceUpdate.h"
#include "ImportFixtures.h"
#include "TestSupport.h"
#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/import/ImportLayouts.h"
#include "core/import/ImportUndo.h"
#include "core/import/ProductImport.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

using namespace quillane;
using quillane::test::makeGrid;
using quillane::test::TempDir;

namespace {

using Rows = std::vector<std::vector<std::string>>;

ImportChoices columns()
{
    ImportChoices c;
    c.Columns = ImportColumns{0, 1, 2, 3};
    return c;
}

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.SetLanguages("english", "english");
        store.SetChangeListener([this] { ++changes; });
        dir.write("groups.ini", "[english]\r\n0=Clothes|Shirts\r\n1=Hats\r\n");
        dir.write("shop.tmp", "[0]\r\nVersand=2.000\r\nA1=Shirt|10.00|2|0:1|0|x\r\nA2=Polo|12.00||||\r\n"
                              "A3=Tee|5.00||||\r\n[1]\r\nVersand=0.000\r\nH1=Cap|8.00||||\r\n");
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
    std::string Item(int group, const std::string& orderNo) const
    {
        return IniFile(store.ItemsFile()).ReadString(std::to_string(group), orderNo, "(none)");
    }

    TempDir dir;
    CatalogStore store{dir.path()};
    TCountry home;
    int changes = 0;
};

using PriceUpdateTest = CatalogTest;
using ImportUndoTest = CatalogTest;

} // namespace

TEST_F(PriceUpdateTest, UpdatesMatchedPricesListsDiscontinuedItemsAndKeepsTheNewRows)
{
    ImportGrid grid = makeGrid({{"", "", "A1", "20"},
                                {"Hats", "New cap", "N1", "7"},
                                {"", "", "H1", "9,5"},
                                {"", "", "A1", "99"},
                                {"", "", "A3", "-4"}});
    const std::string before = Files();
    const PriceUpdateResult preview = PreviewPriceUpdate(store, grid, columns(), home);
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(grid.Rows.size(), 5u);

    const PriceUpdateResult result = UpdatePrices(store, grid, columns(), home);
    // Only the price changes; the item's other fields stay.
    EXPECT_EQ(Item(0, "A1"), "Shirt|20.000|2|0:1|0|x");
    EXPECT_EQ(Item(1, "H1"), "Cap|9.500||||");
    EXPECT_EQ(Item(0, "A3"), "Tee|5.00||||");
    EXPECT_EQ(Item(0, "A2"), "Polo|12.00||||");
    EXPECT_EQ(result.Updated, 2u);
    EXPECT_EQ(result.Discontinued, (std::vector<DiscontinuedItem>{{0, "Clothes|Shirts", "Polo", "A2", "12.00"}}));
    ASSERT_EQ(result.Skipped.size(), 1u);
    EXPECT_EQ(result.Skipped[0].Row, 5u);
    const std::string reason = EnglishText(result.Skipped[0].Reason);
    EXPECT_NE(reason.find("negative"), std::string::npos) << reason;
    EXPECT_EQ(result.MatchedRows, (std::vector<std::size_t>{0, 2, 4}));
    EXPECT_TRUE(result.Changed);
    EXPECT_EQ(changes, 1);
    // The rows no item took stay: the new item and the second row of A1.
    EXPECT_EQ(test::gridLines(grid), (std::vector<std::string>{"2: Hats|New cap|N1|7", "4: ||A1|99"}));

    EXPECT_EQ(preview.Updated, result.Updated);
    EXPECT_EQ(preview.Discontinued, result.Discontinued);
    EXPECT_EQ(preview.Skipped, result.Skipped);
    EXPECT_EQ(preview.MatchedRows, result.MatchedRows);

    // Removing the discontinued item deletes it from its group, once.
    ASSERT_EQ(store.ItemCount, 4);
    EXPECT_EQ(RemoveDiscontinued(store, result.Discontinued), 1u);
    EXPECT_EQ(Item(0, "A2"), "(none)");
    EXPECT_EQ(store.ItemCount, 3);
    EXPECT_EQ(RemoveDiscontinued(store, result.Discontinued), 0u);

    // The rows left are the new items, ready for the import.
    const ImportResult imported = ImportRows(store, grid, columns(), home);
    EXPECT_EQ(imported.Added, 1u);
    EXPECT_EQ(Item(1, "N1"), "New cap|7.000||||");
}

TEST_F(PriceUpdateTest, AnUnreadablePriceOrAColumnBeyondTheFileLeavesThePricesAlone)
{
    ImportGrid grid = makeGrid({{"", "", "A1", "auf Anfrage"}, {"", "", "A2", ""}, {"", "", "H1", "1.234,50"}});
    const PriceUpdateResult result = UpdatePrices(store, grid, columns(), home);
    EXPECT_EQ(Item(0, "A1"), "Shirt|10.00|2|0:1|0|x");
    EXPECT_EQ(Item(0, "A2"), "Polo|12.00||||");
    EXPECT_EQ(Item(1, "H1"), "Cap|1234.500||||");
    ASSERT_EQ(result.Skipped.size(), 2u);
    EXPECT_EQ(EnglishText(result.Skipped[0].Reason),
              "The price \"auf Anfrage\" is not a number. The item keeps its price.");
    EXPECT_EQ(EnglishText(result.Skipped[1].Reason), "There is no price. The item keeps its price.");

    // A price column the file does not have is refused before anything is written.
    UndoImport(store);
    const std::string before = Files();
    ImportGrid narrow = makeGrid({{"A1", "20"}, {"H1", "7"}});
    ImportChoices beyond;
    beyond.Columns.OrderNo = 0;
    beyond.Columns.Price = 4;
    try {
        UpdatePrices(store, narrow, beyond, home);
        ADD_FAILURE() << "a price column beyond the file was taken";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "The file has no column E; its last column is B.");
    }
    EXPECT_THROW(PreviewPriceUpdate(store, narrow, beyond, home), Error);
    EXPECT_EQ(Files(), before);
}

// Each item takes the first row of its order number that no item before it
// took, searched from the first row of the range: the rule the index must keep.
TEST_F(PriceUpdateTest, MatchesAsTheRowByRowSearchDoes)
{
    std::string items;
    for (int g = 0; g < 3; ++g) {
        items += "[" + std::to_string(g) + "]\r\nVersand=0.000\r\n";
        for (int i = 0; i < 40; ++i) {
            // Order numbers repeat across groups, some in other letter case.
            const int n = (i * 7 + g * 3) % 50;
            items += (g == 1 && i % 4 == 0 ? "k" : "K") + std::to_string(n) + "=Item|1.00||||\r\n";
        }
    }
    dir.write("groups.ini", "[english]\r\n0=A\r\n1=B\r\n2=C\r\n");
    dir.write("shop.tmp", items);
    store.LoadGroups();
    Rows rows;
    for (int r = 0; r < 60; ++r) {
        rows.push_back({"", "", (r % 5 == 3 ? "k" : "K") + std::to_string((r * 13) % 31), std::to_string(r + 1)});
    }
    ImportGrid grid = makeGrid(rows);
    ImportChoices chosen = columns();
    chosen.FirstRow = 4;
    chosen.LastRow = 50;

    // The rule as written: walk the items in file order and search the range row by row.
    std::vector<std::size_t> taken;
    std::vector<std::string> discontinued;
    std::map<std::string, std::string> prices;
    std::vector<bool> gone(rows.size(), false);
    const IniFile file(store.ItemsFile());
    for (const std::string& section : file.ReadSections()) {
        for (const auto& [key, value] : file.ReadSectionValues(section)) {
            if (key == "Versand") {
                continue;
            }
            bool found = false;
            for (std::size_t r = chosen.FirstRow; r <= chosen.LastRow && !found; ++r) {
                if (!gone[r] && rows[r][2] == key) {
                    gone[r] = found = true;
                    taken.push_back(r);
                    prices[section + "/" + key] = "Item|" + rows[r][3] + ".000||||";
                }
            }
            if (!found) {
                discontinued.push_back(section + "/" + key);
            }
        }
    }
    std::sort(taken.begin(), taken.end());
    ASSERT_FALSE(taken.empty());
    ASSERT_FALSE(discontinued.empty());

    const PriceUpdateResult result = UpdatePrices(store, grid, chosen, home);
    EXPECT_EQ(result.MatchedRows, taken);
    std::vector<std::string> listed;
    for (const DiscontinuedItem& d : result.Discontinued) {
        listed.push_back(std::to_string(d.Group) + "/" + d.OrderNo);
    }
    EXPECT_EQ(listed, discontinued);
    for (const auto& [where, value] : prices) {
        const std::size_t slash = where.find('/');
        EXPECT_EQ(IniFile(store.ItemsFile()).ReadString(where.substr(0, slash), where.substr(slash + 1), ""), value)
            << where;
    }
    EXPECT_EQ(result.Updated, prices.size());
}

TEST_F(ImportUndoTest, TakesBackTheLastImportUpdateOrRemoval)
{
    const struct {
        const char* what;
        std::function<void(CatalogStore&)> run;
    } cases[] = {
        {"an import that creates groups and replaces an item",
         [this](CatalogStore& s) {
             ImportRows(s, makeGrid({{"Shirts|Polo", "Polo", "P1", "1"}, {"Hats", "Beret", "H1", "3"}}), columns(),
                        home);
         }},
        {"a price update",
         [this](CatalogStore& s) {
             ImportGrid grid = makeGrid({{"", "", "A1", "30"}});
             UpdatePrices(s, grid, columns(), home);
         }},
        {"a removal",
         [](CatalogStore& s) {
             RemoveDiscontinued(s, {{0, "Clothes|Shirts", "Polo", "A2", "12.00"}});
         }},
    };
    for (const auto& c : cases) {
        const std::string before = Files();
        const auto groupMap = store.GroupMap;
        const int count = store.ItemCount;
        c.run(store);
        ASSERT_NE(Files(), before) << c.what;
        ASSERT_TRUE(ImportUndoAvailable(store)) << c.what;
        UndoImport(store);
        EXPECT_EQ(Files(), before) << c.what;
        EXPECT_EQ(store.GroupMap, groupMap) << c.what;
        EXPECT_EQ(store.ItemCount, count) << c.what;
        EXPECT_FALSE(ImportUndoAvailable(store)) << c.what;
        EXPECT_THROW(UndoImport(store), Error) << c.what;
    }
}

TEST_F(ImportUndoTest, TheFirstImportOfAnEmptyCatalogIsTakenBackWhole)
{
    TempDir fresh;
    CatalogStore empty(fresh.path());
    empty.SetLanguages("english", "english");
    ImportRows(empty, makeGrid({{"Shirts", "Polo", "P1", "1"}}), columns(), home);
    ASSERT_EQ(empty.ItemCount, 1);
    UndoImport(empty);
    EXPECT_FALSE(FileExists(fresh.file("groups.ini")));
    EXPECT_FALSE(FileExists(fresh.file("shop.tmp")));
    EXPECT_TRUE(empty.GroupMap.empty());
    EXPECT_EQ(empty.ItemCount, 0);
}

TEST_F(ImportUndoTest, StoringTheShownGroupUnchangedKeepsTheUndo)
{
    ImportRows(store, makeGrid({{"Clothes|Shirts", "Polo", "P1", "3"}}), columns(), home);
    const std::string imported = Files();
    // Showing the catalog again stores the shown group, which moves its section to the file's end.
    store.LoadGroupItems(0);
    store.SaveGroup();
    ASSERT_NE(Files(), imported);
    EXPECT_TRUE(ImportUndoAvailable(store));
    UndoImport(store);
    EXPECT_EQ(Item(0, "P1"), "(none)");
}

TEST_F(ImportUndoTest, IsRefusedOnceTheCatalogChangedSince)
{
    ImportRows(store, makeGrid({{"Hats", "Beret", "H2", "3"}}), columns(), home);
    store.LoadGroupItems(1);
    store.CurrentItems.emplace_back("H3", "Typed after|1.00||||");
    store.SaveGroup();
    const std::string after = Files();
    EXPECT_FALSE(ImportUndoAvailable(store));
    EXPECT_THROW(UndoImport(store), Error);
    EXPECT_EQ(Files(), after);
    // Nothing is kept aside once the dialog is done with it.
    DiscardImportUndo(store);
    EXPECT_FALSE(DirectoryExists(dir.file("import-undo")));
}

TEST(ImportLayouts, RemembersTheColumnsOfAFileLayout)
{
    TempDir program;
    const ImportGrid sheet = makeGrid({{"Gruppe", "Name", "Nr", "Preis", "Lager"}, {"Shirts", "Polo", "P1", "1"}});
    const ImportGrid other = makeGrid({{"Group", "Name", "No", "Price"}});
    EXPECT_EQ(RecallColumns(program.path(), sheet), std::nullopt);

    RememberColumns(program.path(), sheet, ImportColumns{0, 1, 2, 4});
    EXPECT_TRUE(FileExists(ImportLayoutsPath(program.path())));
    EXPECT_EQ(RecallColumns(program.path(), makeGrid({{"Gruppe", "Name", "Nr", "Preis", "Lager"}, {"x"}})),
              (ImportColumns{0, 1, 2, 4}));
    EXPECT_EQ(RecallColumns(program.path(), other), std::nullopt);

    // Another layout is kept beside; a column the file lacks is not recalled.
    RememberColumns(program.path(), other, ImportColumns{3, 2, 1, 0});
    EXPECT_EQ(RecallColumns(program.path(), other), (ImportColumns{3, 2, 1, 0}));
    EXPECT_EQ(RecallColumns(program.path(), sheet), (ImportColumns{0, 1, 2, 4}));
    RememberColumns(program.path(), other, ImportColumns{3, 2, 1, 30});
    EXPECT_EQ(RecallColumns(program.path(), other), (ImportColumns{3, 2, 1, ImportColumns::kUnset}));
    EXPECT_EQ(RecallColumns(program.path(), ImportGrid{}), std::nullopt);
}
