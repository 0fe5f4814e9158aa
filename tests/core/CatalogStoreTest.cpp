#include "core/catalog/CatalogStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/catalog/GroupOps.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::ScriptedPrompter;
using quillane::test::TempDir;

namespace {

using Lines = std::vector<IniLine>;

struct Catalog {
    TempDir dir;
    CatalogStore store{dir.path()};

    Catalog() { store.SetLanguages("english", "english"); }
    // Working files written by hand, as an earlier run left them.
    Catalog(const std::string& groups, const std::string& items) : Catalog()
    {
        dir.write("groups.ini", groups);
        dir.write("shop.tmp", items);
    }
};

} // namespace

TEST(CatalogStore, MainAndSubGroupsAsFilesAndGroupMap)
{
    Catalog c;
    ScriptedPrompter prompter;
    GroupOps ops(c.store, prompter, "Merge?");
    ASSERT_TRUE(ops.AddGroup("Drinks", "", false));
    ASSERT_TRUE(ops.AddGroup("Food", "", false));
    ASSERT_TRUE(ops.AddGroup("Food", "Bread", true));
    ASSERT_TRUE(ops.AddGroup("Food", "Cheese", true));

    EXPECT_EQ(c.dir.read("groups.ini"), "[english]\r\n0=Drinks\r\n1=Food|Bread\r\n2=Food|Cheese\r\n");
    EXPECT_EQ(c.dir.read("shop.tmp"), "[0]\r\nVersand=0.000\r\n[1]\r\nVersand=0.000\r\n[2]\r\nVersand=0.000\r\n");
    EXPECT_EQ(c.store.GroupMap, (Lines{{"Drinks", "0"}, {"Food", "Bread|Cheese|"}}));
    EXPECT_EQ(c.store.ItemCount, 0);

    EXPECT_EQ(c.store.GetGroupNum("Food|Cheese"), 2);
    // Paths match exactly, and a main group with sub groups has no number.
    EXPECT_EQ(c.store.GetGroupNum("Food|cheese"), -1);
    EXPECT_EQ(c.store.GetGroupNum("Food"), -1);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST(CatalogStore, LoadGroupsCountsItemsAndIgnoresAMissingGroupFile)
{
    Catalog c(
        "[english]\r\n0=Drinks\r\n1=Food|Bread\r\n",
        "[0]\r\nVersand=0.000\r\nW1=Water|1.00||||\r\n[1]\r\nVersand=1.000\r\nB1=Rye|2.00||||\r\nB2=Oat|2.00||||\r\n");
    c.store.LoadGroups();
    EXPECT_EQ(c.store.ItemCount, 3);
    EXPECT_EQ(c.store.GroupMap, (Lines{{"Drinks", "0"}, {"Food", "Bread|"}}));

    std::filesystem::remove(c.dir.file("groups.ini"));
    c.store.ItemCount = 7;
    c.store.LoadGroups();
    EXPECT_EQ(c.store.ItemCount, 7);
    EXPECT_EQ(c.store.GroupMap.size(), 2u);
}

TEST(CatalogStore, DeletedNumbersAreReusedWithAFreshSection)
{
    Catalog c("[english]\r\n0=Drinks\r\n1=Food|Bread\r\n2=Food|Cheese\r\n[deutsch]\r\n0=Getraenke\r\n1=Essen|Brot\r\n"
              "2=Essen|Kaese\r\n",
              "[0]\r\nVersand=0.000\r\n[1]\r\nVersand=2.000\r\nB1=Rye|2.00||||\r\nB2=Oat|2.00||||\r\n[2]\r\nVersand=0."
              "000\r\n");
    c.store.LoadGroups();
    ASSERT_EQ(c.store.ItemCount, 2);
    c.store.CurrentItems = {{"Versand", "0.000"}};

    c.store.DeleteGroup(1);
    EXPECT_TRUE(c.store.CurrentItems.empty());
    EXPECT_EQ(c.store.ItemCount, 0);
    EXPECT_EQ(c.dir.read("groups.ini"),
              "[english]\r\n0=Drinks\r\n2=Food|Cheese\r\n[deutsch]\r\n0=Getraenke\r\n2=Essen|Kaese\r\n");
    EXPECT_FALSE(IniFile(c.store.ItemsFile()).SectionExists("1"));

    EXPECT_EQ(c.store.NewGroupNumber(), 1);
    EXPECT_EQ(IniFile(c.store.ItemsFile()).ReadSectionValues("1"), (Lines{{"Versand", "0.000"}}));
    c.store.WriteGroupPath(1, "Wine");
    EXPECT_EQ(c.store.NewGroupNumber(), 3);
}

TEST(CatalogStore, NewNumberNeverInheritsLeftoverItems)
{
    // A section without a group entry, as an interrupted run may leave it.
    Catalog c("[english]\r\n0=Drinks\r\n", "[0]\r\nVersand=0.000\r\n[1]\r\nVersand=5.000\r\nX=Old|1.00||||\r\n");
    EXPECT_EQ(c.store.NewGroupNumber(), 1);
    EXPECT_EQ(IniFile(c.store.ItemsFile()).ReadSectionValues("1"), (Lines{{"Versand", "0.000"}}));
}

TEST(CatalogStore, NewCatalogLanguageStartsAsCopyAndLaterGroupsFollow)
{
    Catalog c("[english]\r\n0=Drinks\r\n1=Food|Bread\r\n", "[0]\r\nVersand=0.000\r\n[1]\r\nVersand=0.000\r\n");
    c.store.SetLanguages("deutsch", "english");
    c.store.LoadGroups();
    EXPECT_EQ(c.dir.read("groups.ini"),
              "[english]\r\n0=Drinks\r\n1=Food|Bread\r\n[deutsch]\r\n0=Drinks\r\n1=Food|Bread\r\n");

    // Translated, then a group added in the country language.
    c.store.WriteGroupPath(0, "Getr\xE4nke");
    c.store.SetLanguages("english", "english");
    c.store.WriteGroupPath(c.store.NewGroupNumber(), "Wine");
    // A group that only the other language knows stays there.
    {
        IniFile groups(c.store.GroupsFile());
        groups.WriteString("deutsch", "9", "Nur hier");
        groups.UpdateFile();
    }

    c.store.SetLanguages("deutsch", "english");
    c.store.LoadGroups();
    EXPECT_EQ(IniFile(c.store.GroupsFile()).ReadSectionValues("deutsch"),
              (Lines{{"0", "Getr\xE4nke"}, {"1", "Food|Bread"}, {"9", "Nur hier"}, {"2", "Wine"}}));
    EXPECT_EQ(IniFile(c.store.GroupsFile()).ReadSectionValues("english"),
              (Lines{{"0", "Drinks"}, {"1", "Food|Bread"}, {"2", "Wine"}}));
    EXPECT_EQ(c.store.GroupMap, (Lines{{"Getr\xE4nke", "0"}, {"Food", "Bread|"}, {"Nur hier", "0"}, {"Wine", "0"}}));
}

TEST(CatalogStore, IsEmptyGroup)
{
    Catalog c("", "[0]\r\nVersand=0.000\r\n[1]\r\nVersand=0.000\r\nA=Apple|1.00||||\r\n");
    EXPECT_TRUE(c.store.IsEmptyGroup(0));
    EXPECT_FALSE(c.store.IsEmptyGroup(1));
    EXPECT_TRUE(c.store.IsEmptyGroup(2));
}

TEST(CatalogStore, LoadGroupItemsPutsVersandFirst)
{
    Catalog c("", "[4]\r\nA=Apple|1.00||||\r\nVersand=2.500\r\n[5]\r\nB=Pear|1.00||||\r\n");
    c.store.LoadGroupItems(4);
    EXPECT_EQ(c.store.CurrentGroup, "4");
    EXPECT_EQ(c.store.CurrentItems, (Lines{{"Versand", "2.500"}, {"A", "Apple|1.00||||"}}));
    c.store.LoadGroupItems(5);
    EXPECT_EQ(c.store.CurrentItems, (Lines{{"Versand", "0.000"}, {"B", "Pear|1.00||||"}}));
}

TEST(CatalogStore, SaveGroupWritesVersandFirstAndLaterDuplicatesAtTheFirstPlace)
{
    Catalog c("", "[0]\r\nVersand=1.500\r\nA1=Apple|1.00||||\r\n[1]\r\nVersand=0.000\r\n");
    c.store.LoadGroupItems(0);
    c.store.CurrentItems.emplace_back("B2", "Pear|2.00||||");
    c.store.CurrentItems.emplace_back("a1", "Green apple|1.10||||");
    c.store.SaveGroup();
    // The rewritten section goes to the end of the file.
    EXPECT_EQ(c.dir.read("shop.tmp"), "[1]\r\nVersand=0.000\r\n[0]\r\nVersand=1.500\r\nA1=Green apple|1.10||||\r\n"
                                      "B2=Pear|2.00||||\r\n");

    // A changed surcharge anywhere in the list still stands first.
    c.store.CurrentItems = {{"B2", "Pear|2.00||||"}, {"Versand", "3.000"}};
    c.store.SaveGroup();
    EXPECT_EQ(IniFile(c.store.ItemsFile()).ReadSectionValues("0"),
              (Lines{{"Versand", "3.000"}, {"B2", "Pear|2.00||||"}}));

    // No group shown: nothing is written.
    const std::string before = c.dir.read("shop.tmp");
    c.store.CurrentGroup = "-1";
    c.store.SaveGroup();
    EXPECT_EQ(c.dir.read("shop.tmp"), before);
}

TEST(CatalogStore, ItemFieldsAndChangeValueKeepWhatTheyDoNotKnow)
{
    struct Case {
        const char* value;
        std::string ItemFields::*field;
        const char* text;
        const char* stored;
    } cases[] = {
        {"Apple|1.00||||", &ItemFields::Shown, "0", "Apple|1.00|||0|"},
        {"Apple|1.00", &ItemFields::Picture, "3", "Apple|1.00|3|||"},
        {"Apple", &ItemFields::Price, "2.00", "Apple|2.00||||"},
        {"Apple|1.00|2|0:1|1|x|y", &ItemFields::Discounts, "2", "Apple|1.00|2|2|1|x|y"},
    };
    for (const auto& k : cases) {
        Catalog c("", "[0]\r\nVersand=0.000\r\n");
        int changes = 0;
        c.store.SetChangeListener([&] { ++changes; });
        c.store.LoadGroupItems(0);
        c.store.CurrentItems.emplace_back("A1", k.value);
        c.store.ChangeValue("a1", k.field, k.text);
        EXPECT_EQ(IniFile(c.store.ItemsFile()).ReadString("0", "A1", ""), k.stored) << k.value;
        EXPECT_EQ(changes, 1);
    }
    EXPECT_EQ(CatalogStore::SplitItem("a|b|c|d|e|f|g"), (ItemFields{"a", "b", "c", "d", "e", "f|g"}));
    EXPECT_EQ(CatalogStore::SplitItem("a|b"), (ItemFields{"a", "b", "", "", "", ""}));
}

TEST(CatalogStore, MergeGroupsKeepsTheTargetSurchargeAndCountsReplacedItemsOff)
{
    Catalog c("[english]\r\n0=Food|Bread\r\n1=Food|Rolls\r\n[deutsch]\r\n0=Essen|Brot\r\n1=Essen|Broetchen\r\n",
              "[0]\r\nVersand=1.000\r\nA=Rye|2.00||||\r\nB=Oat|2.00||||\r\n"
              "[1]\r\nVersand=4.000\r\nb=Oat roll|0.50||||\r\nC=Roll|0.40||||\r\n");
    c.store.LoadGroups();
    ASSERT_EQ(c.store.ItemCount, 4);

    c.store.MergeGroups(1, 0);
    EXPECT_EQ(c.store.ItemCount, 3);
    EXPECT_EQ(IniFile(c.store.ItemsFile()).ReadSectionValues("0"),
              (Lines{{"Versand", "1.000"}, {"A", "Rye|2.00||||"}, {"B", "Oat roll|0.50||||"}, {"C", "Roll|0.40||||"}}));
    EXPECT_FALSE(IniFile(c.store.ItemsFile()).SectionExists("1"));
    EXPECT_EQ(c.dir.read("groups.ini"), "[english]\r\n0=Food|Bread\r\n[deutsch]\r\n0=Essen|Brot\r\n");
    c.store.LoadGroups();
    EXPECT_EQ(c.store.ItemCount, 3);
}
