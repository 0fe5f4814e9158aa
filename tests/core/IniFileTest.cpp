#include "core/common/IniFile.h"
#include "InChild.h"
#include "TestSupport.h"
#include "core/common/Error.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(IniFile, NamesMatchWithoutCaseAndOrderIsKept)
{
    TempDir dir;
    const std::string path =
        dir.write("a.ini", "[Connection]\r\nconnection=3\r\nProvider=T-Net\r\n[Account]\r\nUserID=ab\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("CONNECTION", "Connection", -1), 3);
    EXPECT_EQ(ini.ReadString("connection", "provider", ""), "T-Net");

    ini.WriteString("Connection", "PROVIDER", "Other");  // replaced where it stands
    ini.WriteString("Connection", "proxy_host", "gate"); // new key at the end of its section
    ini.WriteString("FTP", "host", "ftp.example.org");   // new section at the end
    ini.UpdateFile();
    EXPECT_EQ(dir.read("a.ini"), "[Connection]\r\nconnection=3\r\nProvider=Other\r\nproxy_host=gate\r\n"
                                 "[Account]\r\nUserID=ab\r\n[FTP]\r\nhost=ftp.example.org\r\n");

    const IniFile again(path);
    EXPECT_EQ(again.ReadSections(), (std::vector<std::string>{"Connection", "Account", "FTP"}));
    EXPECT_EQ(again.ReadSection("connection"), (std::vector<std::string>{"connection", "Provider", "proxy_host"}));
}

TEST(IniFile, ValuesAreTrimmedUnquotedAndCut)
{
    TempDir dir;
    const std::string longValue(3000, 'x');
    const std::string path =
        dir.write("v.ini", "[S]\nplain=  a b  \ndq=\" q \"\nsq='s'\nmixed=\"x'\nempty=\nlong=" + longValue + "\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "plain", "d"), "a b");
    EXPECT_EQ(ini.ReadString("S", "dq", "d"), " q ");
    EXPECT_EQ(ini.ReadString("S", "sq", "d"), "s");
    EXPECT_EQ(ini.ReadString("S", "mixed", "d"), "\"x'");
    EXPECT_EQ(ini.ReadString("S", "empty", "d"), ""); // present but empty is not the default
    EXPECT_EQ(ini.ReadString("S", "missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("S", "long", ""), longValue.substr(0, 2047));
}

TEST(IniFile, TypedReaders)
{
    TempDir dir;
    const std::string path =
        dir.write("t.ini", "[S]\nhex=0x1F\nHEX=0X10\nneg=-4\nbad=12a\nbool=2\nboolno=0\nboolbad=yes\n"
                           "num=1.95583\ncomma=7,45\nint=19\nbig=99999999999\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "neg", 0), -4);
    EXPECT_EQ(ini.ReadInteger("S", "bad", 5), 5);
    EXPECT_EQ(ini.ReadInteger("S", "big", 5), 5);
    EXPECT_TRUE(ini.ReadBool("S", "bool", false));
    EXPECT_FALSE(ini.ReadBool("S", "boolno", true));
    EXPECT_TRUE(ini.ReadBool("S", "boolbad", true));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "num", 1), 1.95583);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "comma", 1), 1);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "int", 0), 19);
}

TEST(IniFile, TypedWriters)
{
    TempDir dir;
    IniFile ini(dir.file("w.ini"));
    ini.WriteBool("S", "on", true);
    ini.WriteBool("S", "off", false);
    ini.WriteInteger("S", "n", -12);
    ini.WriteFloat("S", "rate", 1.95583);
    ini.WriteFloat("S", "third", 1.0 / 3);
    ini.WriteString("S", "multi", "a\r\nb=c"); // must stay one key
    ini.UpdateFile();
    EXPECT_EQ(dir.read("w.ini"),
              "[S]\r\non=1\r\noff=0\r\nn=-12\r\nrate=1.95583\r\nthird=0.333333333333333\r\nmulti=a  b=c\r\n");
}

TEST(IniFile, EraseSectionAndDeleteKey)
{
    TempDir dir;
    const std::string path = dir.write("e.ini", "[A]\nx=1\n[B]\ny=2\nz=3\n[C]\n");
    IniFile ini(path);
    ini.EraseSection("a");
    ini.DeleteKey("B", "Y");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("e.ini"), "[B]\r\nz=3\r\n[C]\r\n");
    EXPECT_FALSE(IniFile(path).SectionExists("A"));
    ini.WriteString("A", "x", "again"); // an erased section comes back at the end
    ini.UpdateFile();
    EXPECT_EQ(dir.read("e.ini"), "[B]\r\nz=3\r\n[C]\r\n[A]\r\nx=again\r\n");
}

TEST(IniFile, BrokenFilesReadWithDefaults)
{
    TempDir dir;
    const char raw[] = "[S]\nk=v\n\x00\xFF\xFE=\x01\n[broken\nq=1\n";
    std::string binary(raw, sizeof raw - 1);
    binary += "big=" + std::string(10 * 1024 * 1024, 'z') + "\n";
    const std::string path = dir.write("b.ini", binary);
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
    EXPECT_FALSE(ini.SectionExists("broken"));
    EXPECT_EQ(ini.ReadInteger("S", "q", 7), 1); // the line after a broken header stays in its section
    EXPECT_EQ(ini.ReadString("S", "big", "").size(), 2047u);
    EXPECT_EQ(IniFile(dir.file("missing.ini")).ReadString("S", "k", "def"), "def");
    EXPECT_EQ(IniFile(dir.path()).ReadSections().size(), 0u); // a folder is no file
}

TEST(IniFile, AFileThatIsThereButCannotBeReadIsAnErrorAndStaysAsItIs)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = dir.file("zero.ini");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    for (const std::string& path : {fifo, zero}) {
        const std::string outcome = test::InChild([&] {
            try {
                IniFile ini(path);
                ini.WriteString("Account", "Password", "secret");
                ini.UpdateFile();
                return std::string("written");
            } catch (const Error& e) {
                return std::string(e.what());
            }
        });
        EXPECT_EQ(outcome, "Cannot read file \"" + path + "\": it is not a regular file.");
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat(zero.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(IniFile, ACatalogOfAHundredThousandItemsLoads)
{
    TempDir dir;
    std::string text;
    const std::string fields = "=Winterjacke aus Schurwolle, wasserdicht und warm gef\xFCttert, in vier Gr\xF6\xDF"
                               "en|129.900|1|2|0|Bilder/winterjacke-vorne.jpg\r\n";
    for (int item = 0; item < 100000; ++item) {
        if (item % 25 == 0) {
            text += "[" + std::to_string(item / 25) + "]\r\nVersand=4.900\r\n";
        }
        text += "A" + std::to_string(item) + fields;
    }
    const IniFile ini(dir.write("shop.tmp", text));
    EXPECT_EQ(ini.ReadSections().size(), 4000u);
    EXPECT_EQ(ini.ReadString("3999", "A99999", "").substr(0, 12), "Winterjacke ");
}

TEST(IniFile, FailedWriteNamesTheFile)
{
    // A missing folder fails for root too, so the check runs everywhere.
    TempDir dir;
    IniFile ini(dir.file("no/such/folder/x.ini"));
    ini.WriteString("S", "k", "v");
    try {
        ini.UpdateFile();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.file("no/such/folder/x.ini"));
    }
}

TEST(IniFile, OwnerOnlyFilesAreCreatedPrivate)
{
    TempDir dir;
    IniFile ini(dir.file("p.ini"));
    ini.SetOwnerOnly(true);
    ini.WriteString("Account", "Password", "secret");
    ini.UpdateFile();
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("p.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(IniFile, StringsFromIniSection)
{
    TempDir dir;
    const std::string path = dir.write("s.ini", "[Lines]\n0=first\n2=third\nx=odd\n");
    EXPECT_EQ(StringsFromIniSection(path, "lines"), (std::vector<std::string>{"first", "", "third"}));
    EXPECT_TRUE(StringsFromIniSection(path, "none").empty());
}

TEST(IniFile, DuplicatesLeadingLinesAndOddLinesSurviveARoundTrip)
{
    TempDir dir;
    const std::string path =
        dir.write("d.ini", "; note\r\nfree=1\r\n[A]\r\nk=first\r\nK=second\r\n  spaced key  = v \r\n"
                           "no equals sign\r\n=nokey\r\n\r\n[B]\r\nb=1\r\n[a] tail\r\nlate=2\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("a", "K", ""), "first");
    EXPECT_EQ(ini.ReadString("A", "SPACED KEY", ""), "v");
    EXPECT_EQ(ini.ReadString("A", "late", ""), "2"); // a repeated header continues the first
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(ini.ReadSection("A"), (std::vector<std::string>{"k", "K", "spaced key", "late"}));
    EXPECT_FALSE(ini.ValueExists("", "free"));

    ini.WriteString("A", "k", "new"); // replaces the first of the duplicates only
    ini.DeleteKey("B", "b");
    ini.UpdateFile();
    EXPECT_EQ(dir.read("d.ini"), "; note\r\nfree=1\r\n[A]\r\nk=new\r\nK=second\r\nspaced key= v \r\nno equals sign\r\n"
                                 "=nokey\r\n\r\nlate=2\r\n[B]\r\n");

    ini.DeleteKey("A", "K"); // the later duplicate becomes the one readers see
    EXPECT_EQ(ini.ReadString("A", "k", ""), "second");
    ini.DeleteKey("A", "k");
    EXPECT_FALSE(ini.ValueExists("A", "k"));
}

TEST(IniFile, EraseThenWriteAndManyRewritesKeepTheRightValues)
{
    TempDir dir;
    IniFile ini(dir.file("r.ini"));
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < 3000; ++k) {
            ini.WriteString("S" + std::to_string(k % 7), "Key" + std::to_string(k),
                            std::string(600, static_cast<char>('a' + round)) + std::to_string(k));
        }
        ini.EraseSection("s3");
    }
    ini.WriteString("S3", "again", "1");
    for (int k = 0; k < 3000; ++k) {
        const std::string expected = k % 7 == 3 ? "" : std::string(600, 'c') + std::to_string(k);
        ASSERT_EQ(ini.ReadString("s" + std::to_string(k % 7), "KEY" + std::to_string(k), ""), expected) << k;
    }
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"S0", "S1", "S2", "S4", "S5", "S6", "S3"}));
    EXPECT_EQ(ini.ReadSection("S1").front(), "Key1");
    EXPECT_EQ(ini.ReadSectionValues("s3"), (std::vector<std::pair<std::string, std::string>>{{"again", "1"}}));
}
