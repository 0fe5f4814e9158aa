#include "core/catalog/GroupOps.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::ScriptedPrompter;
using quillane::test::TempDir;
using Answer = quillane::Prompter::Answer;

namespace {

using Lines = std::vector<IniLine>;

// Drinks 0 and Food|Bread 1, Food|Cheese 2, and the group Wear 3 given by
// the test; group 1 holds items. deutsch is a second catalog language.
class GroupOpsTest : public ::testing::Test {
protected:
    void SetUp() override { store.SetLanguages("english", "english"); }

    void Start(const std::string& wear, const std::string& wearItems = "")
    {
        dir.write("groups.ini", "[english]\r\n0=Drinks\r\n1=Food|Bread\r\n2=Food|Cheese\r\n" + wear +
                                    "[deutsch]\r\n0=Getraenke\r\n1=Essen|Brot\r\n2=Essen|Kaese\r\n");
        dir.write("shop.tmp", "[0]\r\nVersand=0.000\r\n[1]\r\nVersand=1.000\r\nB1=Rye|2.00||||\r\n"
                              "[2]\r\nVersand=0.000\r\n" +
                                  wearItems);
        store.LoadGroups();
    }
    Lines Entries(const char* language = "english") const
    {
        return IniFile(store.GroupsFile()).ReadSectionValues(language);
    }
    void AddItem(int group, const std::string& key, const std::string& value)
    {
        IniFile items(store.ItemsFile());
        items.WriteString(std::to_string(group), key, value);
        items.UpdateFile();
    }
    Lines Items(int group) const { return IniFile(store.ItemsFile()).ReadSectionValues(std::to_string(group)); }

    TempDir dir;
    CatalogStore store{dir.path()};
    ScriptedPrompter prompter;
    GroupOps ops{store, prompter, "Merge the groups?|Items of the same order number are replaced."};
};

const std::string kWear = "3=Wear\r\n";
const std::string kWearItems = "[3]\r\nVersand=0.000\r\nW1=Jacket|50.00||||\r\n";
const std::string kWearSubs = "3=Wear|Caps\r\n4=Wear|Shirts\r\n";
const std::string kWearSubItems =
    "[3]\r\nVersand=0.000\r\nC1=Cap|9.00||||\r\n[4]\r\nVersand=2.000\r\nS1=Shirt|19.00||||\r\n";

} // namespace

TEST_F(GroupOpsTest, SubGroupOfAnEmptyMainGroupTakesItsNumber)
{
    Start(kWear, "[3]\r\nVersand=0.000\r\n");
    EXPECT_TRUE(ops.AddGroup("Wear", "Caps", true));
    EXPECT_EQ(Entries(), (Lines{{"0", "Drinks"}, {"1", "Food|Bread"}, {"2", "Food|Cheese"}, {"3", "Wear|Caps"}}));
    EXPECT_FALSE(IniFile(store.ItemsFile()).SectionExists("4"));
    EXPECT_EQ(store.GroupMap.back(), IniLine("Wear", "Caps|"));
}

TEST_F(GroupOpsTest, SubGroupOfAMainGroupWithItemsMovesTheItemsIntoASubGroupOfTheSameName)
{
    Start(kWear, kWearItems);
    EXPECT_TRUE(ops.AddGroup("Wear", "Caps", true));
    EXPECT_EQ(store.GetGroupNum("Wear|Wear"), 3);
    EXPECT_EQ(store.GetGroupNum("Wear|Caps"), 4);
    EXPECT_EQ(Items(3), (Lines{{"Versand", "0.000"}, {"W1", "Jacket|50.00||||"}}));
    EXPECT_EQ(Items(4), (Lines{{"Versand", "0.000"}}));
    EXPECT_EQ(ops.SubGroups("Wear"), (std::vector<std::string>{"Wear", "Caps"}));
    EXPECT_EQ(store.ItemCount, 2);
}

TEST_F(GroupOpsTest, RenamingAMainGroupKeepsTheNumbersOfItsSubGroups)
{
    Start(kWearSubs, kWearSubItems);
    ops.RenameGroup("Wear", "", "Clothing");
    EXPECT_EQ(store.GetGroupNum("Clothing|Caps"), 3);
    EXPECT_EQ(store.GetGroupNum("Clothing|Shirts"), 4);
    EXPECT_EQ(store.GroupMap.back(), IniLine("Clothing", "Caps|Shirts|"));
    EXPECT_EQ(store.GroupMap.size(), 3u);
    // Only the shown language is renamed; the others learn the numbers, not the names.
    EXPECT_EQ(Entries("deutsch").back(), IniLine("4", "Wear|Shirts"));
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(GroupOpsTest, RenamingOntoAGroupWithItemsAsksBeforeMerging)
{
    struct Case {
        Answer answer;
        bool merged;
    } cases[] = {{Answer::Yes, true}, {Answer::No, false}};
    for (const auto& k : cases) {
        Start(kWearSubs, kWearSubItems);
        prompter.asked.clear();
        prompter.Queue(k.answer);

        ops.RenameGroup("Wear", "Caps", "Shirts");

        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].caption, "Merge Groups?");
        EXPECT_EQ(prompter.asked[0].text, "Merge the groups?\nItems of the same order number are replaced.");
        EXPECT_EQ(prompter.asked[0].buttons, Prompter::Buttons::YesNo);
        const IniFile groups(store.GroupsFile());
        const IniFile items(store.ItemsFile());
        if (k.merged) {
            EXPECT_FALSE(groups.ValueExists("english", "3"));
            EXPECT_FALSE(groups.ValueExists("deutsch", "3"));
            EXPECT_FALSE(items.SectionExists("3"));
            EXPECT_EQ(items.ReadSectionValues("4"),
                      (Lines{{"Versand", "2.000"}, {"S1", "Shirt|19.00||||"}, {"C1", "Cap|9.00||||"}}));
            EXPECT_EQ(store.GroupMap.back(), IniLine("Wear", "Shirts|"));
        } else {
            EXPECT_EQ(groups.ReadString("english", "3", ""), "Wear|Caps");
            EXPECT_EQ(items.ReadSection("3").size(), 2u);
            EXPECT_EQ(items.ReadSection("4").size(), 2u);
        }
        EXPECT_EQ(store.ItemCount, 3);
    }
}

TEST_F(GroupOpsTest, OntoAnEmptyGroupMergesWithoutAsking)
{
    Start(kWearSubs, "[3]\r\nVersand=0.000\r\nC1=Cap|9.00||||\r\n[4]\r\nVersand=2.000\r\n");
    EXPECT_EQ(ops.ChangeGroup("Wear|Caps", "Wear|Shirts"), GroupOps::Result::Merged);
    EXPECT_EQ(Items(4), (Lines{{"Versand", "2.000"}, {"C1", "Cap|9.00||||"}}));
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(GroupOpsTest, PathsThatAlreadyExistChangeNothing)
{
    Start(kWearSubs, kWearSubItems);
    const std::string groups = dir.read("groups.ini");
    const std::string items = dir.read("shop.tmp");
    EXPECT_EQ(ops.ChangeGroup("", "Drinks"), GroupOps::Result::Unchanged);
    EXPECT_EQ(ops.ChangeGroup("Wear|Caps", "Wear|Caps"), GroupOps::Result::Unchanged);
    EXPECT_FALSE(ops.AddGroup("Food", "Bread", true));
    EXPECT_FALSE(ops.AddGroup("Food", "", false)); // a main group with sub groups exists without an entry
    ops.DropGroup("Wear", "Caps", "Wear");
    EXPECT_EQ(dir.read("groups.ini"), groups);
    EXPECT_EQ(dir.read("shop.tmp"), items);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(GroupOpsTest, EmptyNamesAreIgnored)
{
    Start(kWear);
    const std::string groups = dir.read("groups.ini");
    EXPECT_FALSE(ops.AddGroup("", "", false));
    EXPECT_FALSE(ops.AddGroup("Wear", "", true));
    EXPECT_FALSE(ops.AddGroup("", "Caps", true));
    ops.RenameGroup("Food", "Bread", "");
    ops.RenameGroup("Wear", "", "");
    EXPECT_EQ(dir.read("groups.ini"), groups);
}

TEST_F(GroupOpsTest, DeletingTheOnlySubGroupLeavesAnEmptyLeafMainGroup)
{
    Start("3=Wear|Caps\r\n", "[3]\r\nVersand=1.000\r\nC1=Cap|9.00||||\r\n");
    ASSERT_EQ(store.ItemCount, 2);
    ops.DeleteGroupNode("Wear", "Caps");
    const int wear = store.GetGroupNum("Wear");
    ASSERT_GE(wear, 0);
    EXPECT_EQ(Items(wear), (Lines{{"Versand", "0.000"}}));
    EXPECT_EQ(store.GetGroupNum("Wear|Caps"), -1);
    EXPECT_NE(IniFile(store.GroupsFile()).ReadString("deutsch", "3", ""), "Wear|Caps");
    EXPECT_EQ(store.GroupMap.back(), IniLine("Wear", "0"));
    EXPECT_EQ(store.ItemCount, 1);
}

TEST_F(GroupOpsTest, DeletingAMainGroupDeletesAllItsSubGroups)
{
    Start(kWearSubs, kWearSubItems);
    ops.DeleteGroupNode("Wear", "");
    EXPECT_EQ(Entries(), (Lines{{"0", "Drinks"}, {"1", "Food|Bread"}, {"2", "Food|Cheese"}}));
    EXPECT_FALSE(IniFile(store.ItemsFile()).SectionExists("3"));
    EXPECT_FALSE(IniFile(store.ItemsFile()).SectionExists("4"));
    EXPECT_EQ(store.ItemCount, 1);

    ops.DeleteGroupNode("Drinks", "");
    EXPECT_EQ(store.GetGroupNum("Drinks"), -1);
    EXPECT_EQ(store.GroupMap, (Lines{{"Food", "Bread|Cheese|"}}));
}

// What a delete would take with it, the shown group's unsaved items included.
TEST_F(GroupOpsTest, ItemsInAGroupOrAMainGroupWithItsSubGroups)
{
    Start(kWearSubs, kWearSubItems + "S2=Scarf|12.00||||\r\n");
    EXPECT_EQ(ops.ItemsIn("Wear", "Caps"), 1);
    EXPECT_EQ(ops.ItemsIn("Wear", "Shirts"), 2);
    EXPECT_EQ(ops.ItemsIn("Wear", ""), 3);
    EXPECT_EQ(ops.ItemsIn("Drinks", ""), 0);
    EXPECT_EQ(ops.ItemsIn("Nowhere", ""), 0);
    store.LoadGroupItems(3);
    store.CurrentItems.emplace_back("C2", "Hat|5.00||||");
    EXPECT_EQ(ops.ItemsIn("Wear", "Caps"), 2);
    EXPECT_EQ(ops.ItemsIn("Wear", ""), 4);
}

TEST_F(GroupOpsTest, SubGroupBecomesMainGroupWithItsNumber)
{
    Start(kWear, kWearItems);
    ops.MakeMainGroup("Food", "Cheese");
    EXPECT_EQ(store.GetGroupNum("Cheese"), 2);
    EXPECT_EQ(store.GroupMap, (Lines{{"Drinks", "0"}, {"Food", "Bread|"}, {"Cheese", "0"}, {"Wear", "0"}}));
}

TEST_F(GroupOpsTest, DroppedGroupsBecomeSubGroupsOfTheTarget)
{
    Start(kWear, kWearItems);
    AddItem(0, "D1", "Water|1.00||||");
    // Dropped onto a main group with items: those items become a sub group of the same name.
    ops.DropGroup("Wear", "", "Drinks");
    EXPECT_EQ(store.GetGroupNum("Drinks|Drinks"), 0);
    EXPECT_EQ(store.GetGroupNum("Drinks|Wear"), 3);
    ops.DropGroup("Food", "", "Drinks");
    EXPECT_EQ(store.GetGroupNum("Drinks|Bread"), 1);
    EXPECT_EQ(store.GetGroupNum("Drinks|Cheese"), 2);
    ops.DropGroup("Drinks", "Cheese", "Drinks");
    EXPECT_EQ(store.GetGroupNum("Drinks|Cheese"), 2);
    EXPECT_EQ(store.GroupMap, (Lines{{"Drinks", "Drinks|Bread|Cheese|Wear|"}}));
    EXPECT_EQ(store.ItemCount, 3);
}

TEST_F(GroupOpsTest, GroupsMovedIntoANewEmptyMainGroupLeaveNoLeafEntryBehind)
{
    // A merchant creates the main group Clothing and drags groups into it.
    Start(kWear, kWearItems);
    ASSERT_TRUE(ops.AddGroup("Clothing", "", false));
    const int clothing = store.GetGroupNum("Clothing");
    ops.DropGroup("Wear", "", "Clothing");
    EXPECT_EQ(store.GetGroupNum("Clothing|Wear"), 3);
    EXPECT_EQ(store.GetGroupNum("Clothing"), -1);
    EXPECT_FALSE(IniFile(store.GroupsFile()).ValueExists("deutsch", std::to_string(clothing)));
    EXPECT_FALSE(IniFile(store.ItemsFile()).SectionExists(std::to_string(clothing)));
    EXPECT_EQ(store.GroupMap.back(), IniLine("Clothing", "Wear|"));

    // The same for a group renamed into an empty main group.
    ASSERT_TRUE(ops.AddGroup("Bakery", "", false));
    ops.RenameGroup("Food", "", "Bakery");
    EXPECT_EQ(store.GetGroupNum("Bakery|Bread"), 1);
    EXPECT_EQ(store.GetGroupNum("Bakery"), -1);
    EXPECT_EQ(ops.SubGroups("Bakery"), (std::vector<std::string>{"Bread", "Cheese"}));

    // A sub group created with no old path takes the empty main group's number.
    ASSERT_TRUE(ops.AddGroup("Shoes", "", false));
    const int shoes = store.GetGroupNum("Shoes");
    EXPECT_EQ(ops.ChangeGroup("", "Shoes|Boots"), GroupOps::Result::Created);
    EXPECT_EQ(store.GetGroupNum("Shoes|Boots"), shoes);
    EXPECT_EQ(store.GetGroupNum("Shoes"), -1);
}

TEST_F(GroupOpsTest, SurchargeIsStoredInEuroWithThreeDecimals)
{
    struct Case {
        const char* typed;
        double rate;
        const char* stored;
    } cases[] = {{"4,5", 1, "4.500"}, {"19.56", 1.95583, "10.001"}, {"", 1, "0.000"}};
    Start(kWear, kWearItems);
    for (const auto& k : cases) {
        store.LoadGroupItems(3);
        int changes = 0;
        store.SetChangeListener([&] { ++changes; });
        ops.SetSurcharge(k.typed, k.rate);
        EXPECT_EQ(Items(3), (Lines{{"Versand", k.stored}, {"W1", "Jacket|50.00||||"}})) << k.typed;
        EXPECT_EQ(changes, 1);
    }
}

TEST_F(GroupOpsTest, SurchargeThatIsNoAmountIsRefusedAndNothingIsStored)
{
    Start(kWear, kWearItems);
    store.LoadGroupItems(3);
    ops.SetSurcharge("2,5", 1);
    const std::string before = ReadFile(store.ItemsFile());
    int changes = 0;
    store.SetChangeListener([&] { ++changes; });
    struct Case {
        const char* typed;
        double rate;
    } cases[] = {{"-5", 1}, {"1e308", 1}, {"1,5';", 1}, {"abc", 1}, {"999999999", 0.5}};
    for (const auto& k : cases) {
        try {
            ops.SetSurcharge(k.typed, k.rate);
            ADD_FAILURE() << "stored: " << k.typed;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("\"") + k.typed + "\""), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("Wear"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ReadFile(store.ItemsFile()), before);
    EXPECT_EQ(store.CurrentItems[0], IniLine("Versand", "2.500"));
    EXPECT_EQ(changes, 0);
}
