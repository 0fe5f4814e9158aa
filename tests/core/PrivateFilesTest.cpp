#include "TestSupport.h"
#include "core/generator/GenerationSetup.h"
#include "core/settings/AppDirs.h"
#include "core/settings/SettingsForm.h"
#include "core/settings/ShopProfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

unsigned modeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 01000;
}

// Files as a usual umask leaves them: readable by everybody.
class UsualUmask {
public:
    UsualUmask() : saved_(::umask(022)) {}
    ~UsualUmask() { ::umask(saved_); }

private:
    mode_t saved_;
};

} // namespace

TEST(PrivateFiles, PersonalDataIsForItsOwnerOnly)
{
    const UsualUmask umask;
    TempDir dir;
    const std::string program = dir.file("program/");
    ASSERT_TRUE(SeedProgramDir(program, ""));
    EXPECT_EQ(modeOf(program), 0700u);
    // An earlier program folder, and files of an earlier version.
    const std::string earlier = dir.file("earlier/");
    CreateFolder(earlier);
    ::chmod(earlier.c_str(), 0755);
    ASSERT_TRUE(SeedProgramDir(earlier, ""));
    EXPECT_EQ(modeOf(earlier), 0700u);
    dir.write("program/quillane.ini", "[Account]\r\nUserID=shop7\r\n");
    dir.write("program/userprofil.ini", "[Contact]\r\nName=Anna Berg\r\n");
    dir.write("program/english_Contact.txt", "Bus 7\r\n");
    dir.write("program/countries.dat", "[Germany]\r\nEU=1\r\n");

    SettingsForm form;
    form.FtpPassword = "secret";
    form.Company.Contact[1] = "Anna Berg";
    form.Directions = "Bus 7\nto the market";
    SaveSettingsForm(program, form, "english", "Germany");
    ShopProfileEditor editor;
    editor.Account = "123456";
    editor.Save(program + "Alpha/", "english", "english", 1);
    // The generation dialog may be the first to write a project's profile.
    CreateFolder(program + "Beta/");
    CreateFolder(program + "Gamma/");
    SaveDestination(program + "countries.dat", program + "Beta/", "Germany", DestinationCountry{}, 1);
    WriteCreation(program + "Gamma/", GenerationChoices{});

    for (const char* name : {"quillane.ini", "userprofil.ini", "english_Contact.txt", "Alpha/shopprofil.ini",
                             "Beta/shopprofil.ini", "Gamma/shopprofil.ini"}) {
        EXPECT_EQ(modeOf(program + name), 0600u) << name;
    }
}
