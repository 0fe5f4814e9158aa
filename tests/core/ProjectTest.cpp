#include "core/catalog/Project.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/i18n/LanguageFile.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::ScriptedPrompter;
using quillane::test::TempDir;
using Answer = quillane::Prompter::Answer;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<IniLine>;

const std::string kItems = "[0]\r\nVersand=0.000\r\nA1=Apple|1.00||||\r\n";
const std::string kGroups = "[english]\r\n0=Fruit\r\n";
const std::string kPictures = "[A1]\r\n1=/p/apple.jpg\r\n";

// A program folder with its projects; the program has just started.
class ProjectTest : public ::testing::Test {
protected:
    ProjectTest()
    {
        texts.MsgBoxTexts[msgbox::kSaveChanges] = "Save the changes to #?";
        store.SetLanguages("english", "english");
        project.New(false);
    }

    std::string Projects(const std::string& name = "") const { return dirs.ProgramDir + "Projekte/" + name; }
    std::string Temp(const std::string& name) const { return dirs.TempDir + name; }

    // A saved project: its file at path, its data under Projekte/<name>/daten/.
    std::string MakeProject(const std::string& path, const std::string& name)
    {
        home.write(path, kItems);
        WriteTextFile(ForceData(name) + "groups.ini", kGroups);
        WriteTextFile(Projects(name) + "/daten/pictures.ini", kPictures);
        return home.file(path);
    }
    std::string ForceData(const std::string& name)
    {
        const std::string data = Projects(name) + "/daten/";
        fs::create_directories(data);
        return data;
    }
    // An item added to the working copy, as the item list does it.
    void ChangeCatalog(const std::string& key = "A2")
    {
        store.LoadGroupItems(0);
        store.CurrentItems.emplace_back(key, "Pear|2.00||||");
        store.SaveGroup();
        project.Changes(true);
    }

    TempDir home;
    TAppDirs dirs = MakeAppDirs(home.path());
    CatalogStore store{dirs.TempDir};
    ScriptedPrompter prompter;
    TextTables texts;
    Project project{dirs, store, prompter, texts};
};

std::vector<std::string> LeftoverTempFiles(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().string().find(".~new") != std::string::npos) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

} // namespace

TEST_F(ProjectTest, NewAtStartKeepsTheWorkingCopyNewFromTheMenuClearsIt)
{
    EXPECT_EQ(project.Name(), "untitled");
    EXPECT_EQ(project.File(), Temp("shop.tmp"));
    EXPECT_EQ(project.Title(), "[untitled] - Quillane");
    EXPECT_EQ(dirs.DataDir, Temp("daten/"));
    EXPECT_EQ(dirs.ShopDir, Temp("shop/"));
    EXPECT_TRUE(DirectoryExists(dirs.DataDir));
    EXPECT_TRUE(DirectoryExists(dirs.ShopDir));
    EXPECT_FALSE(project.Changed());
    EXPECT_FALSE(project.Active());

    for (const char* name : {"shop.tmp", "groups.ini", "pictures.ini"}) {
        WriteTextFile(Temp(name), "x");
    }
    WriteTextFile(Temp("recovery.dat"), "Alpha");
    ASSERT_TRUE(project.New(false));
    EXPECT_TRUE(FileExists(Temp("groups.ini")));
    EXPECT_TRUE(project.RecoveryPending());

    store.GroupMap = {{"Fruit", "0"}};
    ASSERT_TRUE(project.New(true));
    for (const char* name : {"shop.tmp", "groups.ini", "pictures.ini", "recovery.dat"}) {
        EXPECT_FALSE(FileExists(Temp(name))) << name;
    }
    EXPECT_TRUE(store.GroupMap.empty());
    EXPECT_TRUE(prompter.asked.empty());
}

// The title names the project in the interface language and marks what is not saved yet.
TEST_F(ProjectTest, TitleMarksUnsavedChangesInTheInterfaceLanguage)
{
    texts.Notices["Untitled"] = "[unbenannt]";
    EXPECT_EQ(project.Title(), "[unbenannt] - Quillane");
    ChangeCatalog();
    EXPECT_EQ(project.Title(), "*[unbenannt] - Quillane");
    project.SaveAs(Projects("Alpha.shp"));
    EXPECT_EQ(project.Title(), "[Alpha.shp] - Quillane");
    ChangeCatalog("A3");
    EXPECT_EQ(project.Title(), "*[Alpha.shp] - Quillane");
    project.Save();
    EXPECT_EQ(project.Title(), "[Alpha.shp] - Quillane");
}

TEST_F(ProjectTest, NewThatCannotMakeItsFoldersSaysWhichOne)
{
    fs::remove_all(Temp("shop"));
    WriteTextFile(Temp("shop"), "a file where the shop folder belongs");
    try {
        project.New(true);
        FAIL() << "no error for a shop folder that cannot be made";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("\"" + Temp("shop/") + "\""), std::string::npos) << e.what();
    }
}

TEST_F(ProjectTest, OpenFromAnotherFolderKeepsTheDataUnderProjekteAndSavesBackToTheFile)
{
    const std::string file = MakeProject("elsewhere/shop1.shp", "shop1");
    ASSERT_TRUE(project.Open(file));

    EXPECT_EQ(project.Name(), "shop1");
    EXPECT_EQ(project.File(), file);
    EXPECT_EQ(project.Title(), "[shop1.shp] - Quillane");
    EXPECT_EQ(dirs.DataDir, Projects("shop1/daten/"));
    EXPECT_EQ(dirs.ShopDir, Projects("shop1/shop/"));
    EXPECT_FALSE(project.Changed());
    EXPECT_TRUE(project.Active());
    EXPECT_EQ(ReadFile(Temp("shop.tmp")), kItems);
    EXPECT_EQ(ReadFile(Temp("groups.ini")), kGroups);
    EXPECT_EQ(ReadFile(Temp("pictures.ini")), kPictures);
    EXPECT_EQ(ReadFile(Temp("recovery.dat")), "shop1");
    EXPECT_EQ(store.GroupMap, (Lines{{"Fruit", "0"}}));
    EXPECT_EQ(store.ItemCount, 1);

    ChangeCatalog();
    store.WriteGroupPath(store.NewGroupNumber(), "Nuts");
    ASSERT_TRUE(project.Save());
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(ReadFile(file), ReadFile(Temp("shop.tmp")));
    EXPECT_NE(ReadFile(file), kItems);
    EXPECT_EQ(ReadFile(dirs.DataDir + "groups.ini"), ReadFile(Temp("groups.ini")));
    EXPECT_FALSE(FileExists(Projects("shop1.shp")));
}

TEST_F(ProjectTest, OpenConvertsAProjectOfTheOlderFormat)
{
    home.write("Projekte/old.shp",
               "[Fruit]\r\nVersand=0.000\r\nA1=Apple|1.00||||\r\n[Food|Bread]\r\nVersand=1.500\r\nB1=Rye|2.00||||\r\n");
    home.write("Projekte/old/daten/A1.bmp", "BM");
    home.write("Projekte/old/daten/A1.txt", "Red apple");
    home.write("agb.txt", "Terms");

    ASSERT_TRUE(project.Open(Projects("old.shp")));

    EXPECT_EQ(ReadFile(Temp("shop.tmp")),
              "[0]\r\nVersand=0.000\r\nA1=Apple|1.00||||\r\n[1]\r\nVersand=1.500\r\nB1=Rye|2.00||||\r\n");
    EXPECT_EQ(ReadFile(Temp("groups.ini")), "[english]\r\n0=Fruit\r\n1=Food|Bread\r\n");
    EXPECT_EQ(IniFile(Temp("pictures.ini")).ReadString("A1", "1", ""), dirs.DataDir + "A1.bmp");
    EXPECT_EQ(ReadFile(dirs.DataDir + "english/A1.txt"), "Red apple");
    EXPECT_FALSE(FileExists(dirs.DataDir + "A1.txt"));
    EXPECT_EQ(home.read("agb_english.txt"), "Terms");
    EXPECT_EQ(store.GroupMap, (Lines{{"Fruit", "0"}, {"Food", "Bread|"}}));
    EXPECT_EQ(store.ItemCount, 2);
    EXPECT_FALSE(project.Changed());
}

TEST_F(ProjectTest, SaveAsOfAnUntitledProjectCopiesItsDataAndRecoveryNamesIt)
{
    WriteTextFile(Temp("shop.tmp"), kItems);
    WriteTextFile(Temp("groups.ini"), kGroups);
    WriteTextFile(Temp("pictures.ini"), kPictures);
    home.write("temp/daten/english/A1.txt", "Red apple");
    project.Changes(true);
    int asked = 0;
    project.SetAskSavePath([&]() -> std::optional<std::string> {
        ++asked;
        return Projects("Alpha.shp");
    });

    ASSERT_TRUE(project.Save());

    EXPECT_EQ(asked, 1);
    EXPECT_EQ(project.Name(), "Alpha");
    EXPECT_EQ(project.File(), Projects("Alpha.shp"));
    EXPECT_EQ(project.Title(), "[Alpha.shp] - Quillane");
    EXPECT_EQ(dirs.DataDir, Projects("Alpha/daten/"));
    EXPECT_EQ(dirs.ShopDir, Projects("Alpha/shop/"));
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(ReadFile(Projects("Alpha.shp")), kItems);
    EXPECT_EQ(ReadFile(Projects("Alpha/daten/groups.ini")), kGroups);
    EXPECT_EQ(ReadFile(Projects("Alpha/daten/pictures.ini")), kPictures);
    EXPECT_EQ(ReadFile(Projects("Alpha/daten/english/A1.txt")), "Red apple");
    EXPECT_EQ(ReadFile(Temp("recovery.dat")), "Alpha");
    EXPECT_TRUE(LeftoverTempFiles(Projects()).empty());

    // The program is killed and started again.
    TAppDirs dirs2 = MakeAppDirs(home.path());
    CatalogStore store2(dirs2.TempDir);
    Project again(dirs2, store2, prompter, texts);
    again.New(false);
    ASSERT_TRUE(again.RecoveryPending());
    again.Recover();
    EXPECT_EQ(again.Name(), "Alpha");
    EXPECT_EQ(again.File(), Projects("Alpha.shp"));
    EXPECT_EQ(dirs2.DataDir, Projects("Alpha/daten/"));
    EXPECT_EQ(dirs2.ShopDir, Projects("Alpha/shop/"));
    EXPECT_EQ(store2.GroupMap, (Lines{{"Fruit", "0"}}));
    EXPECT_TRUE(again.Active());
    EXPECT_FALSE(again.Changed());
}

TEST_F(ProjectTest, SavingAsUntitledStillWritesTheProject)
{
    ChangeCatalog();
    int asked = 0;
    project.SetAskSavePath([&]() -> std::optional<std::string> {
        return ++asked == 1 ? std::optional<std::string>(Projects("untitled.shp")) : std::nullopt;
    });
    ASSERT_TRUE(project.Save());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadFile(Projects("untitled.shp")), ReadFile(Temp("shop.tmp")));
    EXPECT_FALSE(project.Changed());
}

TEST_F(ProjectTest, RecoveredProjectIsSavedUnderProjekteNotWhereItWasOpened)
{
    const std::string file = MakeProject("elsewhere/Alpha.shp", "Alpha");
    ASSERT_TRUE(project.Open(file));
    ChangeCatalog();

    TAppDirs dirs2 = MakeAppDirs(home.path());
    CatalogStore store2(dirs2.TempDir);
    Project again(dirs2, store2, prompter, texts);
    again.New(false);
    again.Recover();
    EXPECT_EQ(again.File(), Projects("Alpha.shp"));
    again.Changes(true);
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(ReadFile(Projects("Alpha.shp")), ReadFile(Temp("shop.tmp")));
    EXPECT_EQ(ReadFile(file), kItems);
}

TEST_F(ProjectTest, DecliningRecoveryClearsTheWorkingCopy)
{
    const std::string file = MakeProject("Projekte/Alpha.shp", "Alpha");
    ASSERT_TRUE(project.Open(file));
    store.CurrentItems = {{"Versand", "0.000"}};
    project.DeclineRecovery();
    EXPECT_FALSE(project.RecoveryPending());
    for (const char* name : {"shop.tmp", "groups.ini", "pictures.ini"}) {
        EXPECT_FALSE(FileExists(Temp(name))) << name;
    }
    EXPECT_TRUE(store.GroupMap.empty());
    EXPECT_TRUE(store.CurrentItems.empty());
    EXPECT_EQ(ReadFile(file), kItems);
}

TEST_F(ProjectTest, UnsavedCatalogOfAKilledRunIsOfferedAtStartNeverMergedSilently)
{
    const std::string items = "[0]\r\nVersand=0.000\r\nA1=Apple|1.00||||\r\nA2=Pear|2.00||||\r\n";
    texts.MsgBoxTexts[msgbox::kRecover] = "Not closed properly.|Recover the project?";
    for (const Answer answer : {Answer::Yes, Answer::No}) {
        // An untitled catalog with a description; the program is killed.
        fs::remove(Temp("recovery.dat"));
        WriteTextFile(Temp("shop.tmp"), items);
        WriteTextFile(Temp("groups.ini"), kGroups);
        WriteTextFile(Temp("pictures.ini"), kPictures);
        home.write("temp/daten/english/A1.txt", "Red apple");

        TAppDirs dirs2 = MakeAppDirs(home.path());
        CatalogStore store2(dirs2.TempDir);
        store2.SetLanguages("english", "english");
        ScriptedPrompter asks;
        asks.Queue(answer);
        Project again(dirs2, store2, asks, texts);
        again.New(false);
        const Project::Recovery outcome = again.OfferRecovery();

        ASSERT_EQ(asks.asked.size(), 1u);
        EXPECT_EQ(asks.asked[0].caption, "Recover?");
        EXPECT_EQ(asks.asked[0].text, "Not closed properly.\nRecover the project?");
        EXPECT_TRUE(again.Untitled());
        EXPECT_EQ(dirs2.DataDir, Temp("daten/"));
        if (answer == Answer::Yes) {
            EXPECT_EQ(outcome, Project::Recovery::Restored);
            EXPECT_EQ(store2.GroupMap, (Lines{{"Fruit", "0"}}));
            EXPECT_EQ(store2.ItemCount, 2);
            EXPECT_TRUE(again.Changed()); // saved nowhere yet
            EXPECT_TRUE(again.Active());
            again.SetAskSavePath([&]() -> std::optional<std::string> { return Projects("Beta.shp"); });
            ASSERT_TRUE(again.Save());
            EXPECT_EQ(ReadFile(Projects("Beta.shp")), items);
            EXPECT_EQ(ReadFile(Projects("Beta/daten/pictures.ini")), kPictures);
            EXPECT_EQ(ReadFile(Projects("Beta/daten/english/A1.txt")), "Red apple");
        } else {
            EXPECT_EQ(outcome, Project::Recovery::Cleared);
            for (const char* name : {"shop.tmp", "groups.ini", "pictures.ini", "daten/english/A1.txt"}) {
                EXPECT_FALSE(FileExists(Temp(name))) << name;
            }
            EXPECT_FALSE(again.Changed());
            // The next group starts a catalog of its own.
            store2.WriteGroupPath(store2.NewGroupNumber(), "Nuts");
            store2.LoadGroups();
            EXPECT_EQ(store2.GroupMap, (Lines{{"Nuts", "0"}}));
            EXPECT_EQ(store2.ItemCount, 0);
        }
    }

    // Stray files that hold no group are cleared without a question.
    fs::remove(Temp("recovery.dat"));
    fs::remove(Temp("groups.ini"));
    WriteTextFile(Temp("shop.tmp"), "[0]\r\nVersand=0.000\r\n");
    TAppDirs dirs3 = MakeAppDirs(home.path());
    CatalogStore store3(dirs3.TempDir);
    ScriptedPrompter silent;
    Project third(dirs3, store3, silent, texts);
    third.New(false);
    EXPECT_EQ(third.OfferRecovery(), Project::Recovery::Cleared);
    EXPECT_FALSE(FileExists(Temp("shop.tmp")));
    EXPECT_EQ(third.OfferRecovery(), Project::Recovery::Nothing);
    // So are the data of an untitled project closed without saving: its
    // discount levels and descriptions must not reach the next one.
    home.write("temp/daten/shopprofil.ini", "[Mengenrabatt]\r\nab 10=10/5\r\n");
    home.write("temp/daten/english/A1.txt", "Red apple");
    EXPECT_EQ(third.OfferRecovery(), Project::Recovery::Cleared);
    EXPECT_FALSE(FileExists(Temp("daten/shopprofil.ini")));
    EXPECT_FALSE(FileExists(Temp("daten/english/A1.txt")));
    EXPECT_TRUE(DirectoryExists(dirs3.DataDir));
    EXPECT_TRUE(silent.asked.empty());
}

TEST_F(ProjectTest, SaveQuestionYesNoCancel)
{
    struct Case {
        Answer answer;
        bool proceeds;
        bool saved;
    } cases[] = {{Answer::Yes, true, true}, {Answer::No, true, false}, {Answer::Cancel, false, false}};
    const std::string file = MakeProject("Projekte/Alpha.shp", "Alpha");
    for (const auto& k : cases) {
        ASSERT_TRUE(project.Open(file));
        ASSERT_TRUE(project.Pruefen()); // nothing to save, nothing asked
        ChangeCatalog();
        prompter.asked.clear();
        prompter.Queue(k.answer);

        EXPECT_EQ(project.Pruefen(), k.proceeds);

        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].caption, "Best\xE4tigung!");
        EXPECT_EQ(prompter.asked[0].text, "Save the changes to \"Alpha\"?");
        EXPECT_EQ(prompter.asked[0].buttons, Prompter::Buttons::YesNoCancel);
        EXPECT_EQ(ReadFile(file) != kItems, k.saved);
        EXPECT_EQ(project.Changed(), !k.saved);
        WriteTextFile(file, kItems);
        project.Changes(false);
    }
}

TEST_F(ProjectTest, CancelledSaveQuestionStopsNewAndOpen)
{
    const std::string file = MakeProject("Projekte/Alpha.shp", "Alpha");
    ASSERT_TRUE(project.Open(file));
    ChangeCatalog();
    const std::string working = ReadFile(Temp("shop.tmp"));
    MakeProject("Projekte/Beta.shp", "Beta");
    for (const auto& run : std::vector<std::function<bool()>>{[&] { return project.New(true); },
                                                              [&] { return project.Open(Projects("Beta.shp")); }}) {
        prompter.Queue(Answer::Cancel);
        EXPECT_FALSE(run());
        EXPECT_EQ(project.Name(), "Alpha");
        EXPECT_TRUE(project.Changed());
        EXPECT_EQ(ReadFile(Temp("shop.tmp")), working);
        EXPECT_EQ(dirs.DataDir, Projects("Alpha/daten/"));
    }

    // Yes with an untitled project whose Save As dialog is cancelled: nothing was saved.
    prompter.Queue(Answer::No);
    ASSERT_TRUE(project.New(true));
    ChangeCatalog();
    project.SetAskSavePath([] { return std::nullopt; });
    prompter.Queue(Answer::Yes);
    EXPECT_FALSE(project.New(true));
    EXPECT_TRUE(project.Changed());
    EXPECT_TRUE(FileExists(Temp("shop.tmp")));
    EXPECT_TRUE(prompter.Drained());
}

TEST_F(ProjectTest, SaveThatCannotWriteThrowsAndTheProjectStaysChanged)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& folder)> breakIt;
    } cases[] = {
        {"project folder gone", [](const std::string& folder) { fs::remove_all(folder); }},
        {"project folder is a file",
         [](const std::string& folder) {
             fs::remove_all(folder);
             WriteTextFile(folder, "x");
         }},
        {"data folder is a file",
         [this](const std::string&) {
             fs::remove_all(Projects("shop1"));
             WriteTextFile(Projects("shop1"), "x");
         }},
    };
    for (const auto& k : cases) {
        const std::string file = MakeProject("elsewhere/shop1.shp", "shop1");
        ASSERT_TRUE(project.Open(file));
        ChangeCatalog();
        k.breakIt(home.file("elsewhere"));
        EXPECT_THROW(project.Save(), Error) << k.what;
        EXPECT_TRUE(project.Changed()) << k.what;
        fs::remove_all(home.file("elsewhere"));
        fs::remove_all(Projects("shop1"));
        project.Changes(false);
    }
}

TEST_F(ProjectTest, SaveAsThatFailsKeepsTheOpenProject)
{
    struct Case {
        const char* what;
        std::string path;
        std::function<void()> breakIt;
    } cases[] = {
        {"folder missing", home.file("missing/Alpha.shp"), [] {}},
        {"description folder blocked", Projects("Alpha.shp"),
         [this] {
             fs::remove_all(Projects("Alpha"));
             WriteTextFile(ForceData("Alpha") + "english", "x");
         }},
    };
    home.write("temp/daten/english/A1.txt", "Red apple");
    for (const auto& k : cases) {
        k.breakIt();
        ChangeCatalog();
        EXPECT_THROW(project.SaveAs(k.path), Error) << k.what;
        EXPECT_TRUE(project.Untitled()) << k.what;
        EXPECT_EQ(project.Title(), "*[untitled] - Quillane"); // still unsaved
        EXPECT_EQ(dirs.DataDir, Temp("daten/"));
        EXPECT_TRUE(project.Changed());
        EXPECT_FALSE(FileExists(Temp("recovery.dat")));
    }
}

TEST_F(ProjectTest, OpenOfAFileThatCannotBeReadKeepsTheOpenProject)
{
    const std::string file = MakeProject("Projekte/Alpha.shp", "Alpha");
    ASSERT_TRUE(project.Open(file));
    ChangeCatalog();
    const std::string working = ReadFile(Temp("shop.tmp"));
    home.write("Projekte/Folder.shp/x", "");
    for (const std::string& bad : {Projects("Missing.shp"), Projects("Folder.shp")}) {
        EXPECT_THROW(project.Open(bad), Error) << bad;
        EXPECT_EQ(project.Name(), "Alpha");
        EXPECT_EQ(project.File(), file);
        EXPECT_TRUE(project.Changed());
        EXPECT_EQ(ReadFile(Temp("shop.tmp")), working);
        EXPECT_EQ(ReadFile(Temp("recovery.dat")), "Alpha");
        EXPECT_EQ(dirs.DataDir, Projects("Alpha/daten/"));
    }
    EXPECT_FALSE(FileExists(Projects("Missing.shp")));
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(ProjectTest, SaveReplacesTheProjectFilesWhole)
{
    const std::string file = MakeProject("Projekte/Alpha.shp", "Alpha");
    ASSERT_TRUE(project.Open(file));
    // Links see the old bytes only if the files are replaced by a rename
    // rather than rewritten where they stand.
    fs::create_hard_link(file, home.file("old.shp"));
    fs::create_hard_link(dirs.DataDir + "groups.ini", home.file("old-groups.ini"));
    ChangeCatalog();
    store.WriteGroupPath(store.NewGroupNumber(), "Nuts");
    ASSERT_TRUE(project.Save());
    EXPECT_EQ(home.read("old.shp"), kItems);
    EXPECT_EQ(home.read("old-groups.ini"), kGroups);
    EXPECT_EQ(ReadFile(file), ReadFile(Temp("shop.tmp")));
    EXPECT_EQ(ReadFile(dirs.DataDir + "groups.ini"), ReadFile(Temp("groups.ini")));
    EXPECT_TRUE(LeftoverTempFiles(Projects()).empty());
}
