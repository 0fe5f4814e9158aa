#include "core/settings/WindowMemory.h"
#include "TestSupport.h"
#include "core/common/IniFile.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(WindowMemory, RecentProjectsNewestFirstOnceAndCapped)
{
    TempDir dir;
    const std::string home = dir.file("");
    dir.write("quillane.ini", "[Account]\r\nCountry=Germany\r\n");
    EXPECT_TRUE(ReadWindowMemory(home).RecentProjects.empty());
    for (const char* p : {"/p/a.shp", "/p/b.shp", "/p/a.shp", "/p/c.shp", "/p/d.shp", "/p/e.shp", "/p/f.shp"}) {
        RememberProject(home, p);
    }
    EXPECT_EQ(ReadWindowMemory(home).RecentProjects,
              (std::vector<std::string>{"/p/f.shp", "/p/e.shp", "/p/d.shp", "/p/c.shp", "/p/a.shp"}));
    // The place is stored beside the list and leaves it and the rest of the file alone.
    WindowMemory m;
    m.Left = 10;
    m.Top = 20;
    m.Width = 900;
    m.Height = 700;
    m.Page = "Bestellungseingang";
    WriteWindowPlace(home, m);
    const WindowMemory read = ReadWindowMemory(home);
    EXPECT_TRUE(read.HasPlace);
    EXPECT_EQ(read.Left, 10);
    EXPECT_EQ(read.Height, 700);
    EXPECT_EQ(read.Page, "Bestellungseingang");
    EXPECT_EQ(read.RecentProjects.size(), kRecentProjects);
    EXPECT_EQ(IniFile(home + "quillane.ini").ReadString("Account", "Country", ""), "Germany");
}
