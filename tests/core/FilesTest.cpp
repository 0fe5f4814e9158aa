#include "core/common/Files.h"
#include "InChild.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Resources.h"
#include "core/i18n/LanguageFile.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// The shipped German texts; Windows-1252 like the file.
const TextTables& german()
{
    static const TextTables tables =
        LoadTextTables(LanguageFile(std::string(QUILLANE_DATA_DIR) + "sprache/", "deutsch"));
    return tables;
}

} // namespace

TEST(Files, WriteTextFileWritesBytesAsGivenAndFailsLoudly)
{
    TempDir dir;
    WriteTextFile(dir.file("a.txt"), "x\ny");
    EXPECT_EQ(dir.read("a.txt"), "x\ny");
    WriteTextFile(dir.file("a.txt"), "");
    EXPECT_EQ(dir.read("a.txt"), "");
    EXPECT_THROW(WriteTextFile(dir.file("missing/a.txt"), "x"), Error);
}

TEST(Files, ReadsOnlyRegularFilesOfASaneSize)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("zero").c_str()), 0);
    // Sparse: it takes no room on the disk.
    const std::string huge = dir.file("huge");
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, (off_t{256} << 20) + 1), 0);
    ::close(fd);

    const std::string notRegular = "it is not a regular file.";
    const std::string notRegularDe = "es ist keine gew\xF6hnliche Datei.";
    struct Case {
        std::string path;
        std::string reason;
        std::string german; // the reason said in German too, not left in English
    } cases[] = {
        {fifo, notRegular, notRegularDe},
        {"/dev/zero", notRegular, notRegularDe},
        {dir.file("zero"), notRegular, notRegularDe},
        {huge, "it is larger than 256 MiB, more than any file of the program holds.",
         "sie ist gr\xF6\xDF"
         "er als 256 MiB; so gro\xDF wird keine Datei des Programms."},
        {dir.file("missing"), "No such file or directory.", "Datei oder Ordner nicht vorhanden."},
    };
    for (const Case& c : cases) {
        const std::string outcome = test::InChild([&] {
            std::string content = "kept";
            const bool read = TryReadFile(c.path, content);
            try {
                ReadFile(c.path);
            } catch (const Error& e) {
                return std::string(read ? "read " : "") + content + " | " + e.what() + " | " + german().Say(e.Said());
            }
            return std::string("read");
        });
        EXPECT_EQ(outcome, "kept | Cannot read file \"" + c.path + "\": " + c.reason + " | Die Datei \x84" + c.path +
                               "\x93 kann nicht gelesen werden: " + c.german);
    }
}

// A failed write names the file and why, the usual reasons in the interface
// language and any other as the system words it.
TEST(Files, WriteFailuresSayWhyInTheInterfaceLanguage)
{
    TempDir dir;
    dir.write("plain", "x");
    const std::string missing = dir.file("missing/a.txt");
    const std::string belowFile = dir.file("plain/a.txt");
    struct Case {
        const char* what;
        std::function<void()> write;
        std::string english;
        std::string german;
    } cases[] = {
        {"no folder", [&] { WriteTextFile(missing, "x"); },
         "Cannot create file \"" + missing + "\". No such file or directory",
         "Die Datei \x84" + missing + "\x93 kann nicht angelegt werden. Datei oder Ordner nicht vorhanden"},
        {"no folder, replacing", [&] { WriteFileAtomic(missing, "x"); },
         "Cannot write file \"" + missing + "\". No such file or directory",
         "Die Datei \x84" + missing + "\x93 kann nicht geschrieben werden. Datei oder Ordner nicht vorhanden"},
        {"a file for a folder", [&] { WriteFileAtomic(belowFile, "x"); },
         "Cannot write file \"" + belowFile + "\". Not a directory",
         "Die Datei \x84" + belowFile + "\x93 kann nicht geschrieben werden. Not a directory"},
    };
    for (const Case& c : cases) {
        try {
            c.write();
            ADD_FAILURE() << c.what << ": written";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.english) << c.what;
            EXPECT_EQ(german().Say(e.Said()), c.german) << c.what;
        }
    }
    EXPECT_EQ(dir.read("plain"), "x");
}

TEST(Files, ReplaceFile)
{
    TempDir dir;
    dir.write("src", "new");
    dir.write("dst", "old");
    EXPECT_FALSE(ReplaceFile(dir.file("src"), dir.file("src")));
    EXPECT_TRUE(ReplaceFile(dir.file("src"), dir.file("dst")));
    EXPECT_EQ(dir.read("dst"), "new");
    // A failed copy is not reported, but the old target is gone.
    EXPECT_TRUE(ReplaceFile(dir.file("nothing"), dir.file("dst")));
    EXPECT_FALSE(FileExists(dir.file("dst")));
}

TEST(Files, ReplaceInFileRewritesWithCrLf)
{
    TempDir dir;
    dir.write("t.js", "a=[DATUM];\nb='[datum]'\r\nlast");
    EXPECT_TRUE(ReplaceInFile(dir.file("t.js"), "[DATUM]", "1.2.2026"));
    EXPECT_EQ(dir.read("t.js"), "a=1.2.2026;\r\nb='1.2.2026'\r\nlast\r\n");

    // Only a placeholder that stands exactly as written triggers a replacement,
    // but the file is written with CR LF all the same.
    dir.write("u.js", "x=[datum]\n");
    EXPECT_FALSE(ReplaceInFile(dir.file("u.js"), "[DATUM]", "1"));
    EXPECT_EQ(dir.read("u.js"), "x=[datum]\r\n");

    dir.write("v.js", "[A]\n");
    EXPECT_TRUE(ReplaceInFile(dir.file("v.js"), "[A]", "b", dir.file("out.js")));
    EXPECT_EQ(dir.read("v.js"), "[A]\n");
    EXPECT_EQ(dir.read("out.js"), "b\r\n");
    EXPECT_THROW(ReplaceInFile(dir.file("none.js"), "[A]", "b"), Error);
}

TEST(Files, CopyFolderPutsTheFolderInsideTheTarget)
{
    TempDir dir;
    dir.write("daten/groups.ini", "g");
    dir.write("daten/deutsch/1.txt", "d");
    dir.write("Alpha/daten/groups.ini", "old");
    EXPECT_TRUE(CopyFolder(dir.file("daten/"), dir.file("Alpha")));
    EXPECT_EQ(dir.read("Alpha/daten/groups.ini"), "g");
    EXPECT_EQ(dir.read("Alpha/daten/deutsch/1.txt"), "d");
    EXPECT_FALSE(CopyFolder(dir.file("nothing"), dir.file("Alpha")));

    EXPECT_TRUE(DeleteFolder(dir.file("Alpha/")));
    EXPECT_FALSE(DirectoryExists(dir.file("Alpha")));
    EXPECT_FALSE(DeleteFolder(dir.file("Alpha")));
}

TEST(Files, CreateFolderMakesParentsOrThrowsNamingTheFolder)
{
    TempDir dir;
    CreateFolder(dir.file("a/b/c/"));
    EXPECT_TRUE(DirectoryExists(dir.file("a/b/c")));
    CreateFolder(dir.file("a/b/c/")); // already there

    dir.write("plain", "x");
    const std::string blocked = dir.file("plain/sub/");
    try {
        CreateFolder(blocked);
        FAIL() << "no error for a folder below a file";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create the folder \"" + blocked + "\".");
    }
}

TEST(Files, ListFilesModes)
{
    TempDir dir;
    dir.write("b.jpg", "12345");
    dir.write("a.TXT", "1");
    dir.write("sub/c.jpg", "123");
    dir.write(".hidden/d.jpg", "1");
    const std::string d = dir.path();
    using V = std::vector<std::string>;
    EXPECT_EQ(ListFiles(d, "*.*", 2, false, false, false), (V{"sub"}));
    EXPECT_EQ(ListFiles(d, "*.*", 1, false, true, false), (V{"a.TXT", "b.jpg"}));
    EXPECT_EQ(ListFiles(d, "*.*", 1, false, false, false), (V{"a", "b"}));
    EXPECT_EQ(ListFiles(d, "*.jpg", 1, false, false, false), (V{"b"}));
    EXPECT_EQ(ListFiles(d, "*.txt", 1, false, true, false), (V{"a.TXT"}));
    EXPECT_EQ(ListFiles(d, "*.*", 1, true, false, true), (V{d + "a|1", d + "b|5", d + "sub/c|3"}));
    EXPECT_EQ(ListFiles(d, "*.*", 3, false, true, true), (V{"a.TXT|1", "b.jpg|5", "sub"}));
    EXPECT_TRUE(ListFiles(dir.file("none"), "*.*", 3, false, true, true).empty());
}

TEST(Files, ShellFolderPathFindsXdgFoldersOrARoot)
{
    TempDir dir;
    dir.write(".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    CreateFolder(dir.file("Bilder"));
    CreateFolder(dir.file("Documents"));
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    ::setenv("HOME", dir.path().c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ShellFolderPath("My Pictures"), dir.path() + "Bilder");
    EXPECT_EQ(ShellFolderPath("Personal"), dir.path() + "Documents");
    DeleteFolder(dir.file("Documents"));
    EXPECT_EQ(ShellFolderPath("Personal"), "/");
    ::setenv("HOME", saved.c_str(), 1);
}

TEST(Resources, EmbeddedPicturesByNameWithoutCase)
{
    TempDir dir;
    const ResourceEntry* about = FindResource("ABOUT");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(about->data), 6), "GIF89a");
    EXPECT_TRUE(ResourceToFile("About", dir.file("about.gif")));
    const std::string written = dir.read("about.gif");
    EXPECT_EQ(written, std::string(reinterpret_cast<const char*>(about->data), about->size));
    EXPECT_THROW(ResourceToFile("no-such-resource", dir.file("x")), Error);
    const auto names = ResourceNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "ok"), names.end());
}
