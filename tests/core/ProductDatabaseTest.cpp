#include "core/generator/ProductDatabase.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/generator/Generation.h"
#include "core/imaging/Picture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// A plain PPM picture; the size tells the pictures apart in the results.
std::string ppm(int w, int h)
{
    std::string data = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            data += static_cast<char>(x * 255 / w);
            data += static_cast<char>(y * 255 / h);
            data += static_cast<char>((x + y) % 256);
        }
    }
    return data;
}

std::pair<int, int> jpegSize(const std::string& file)
{
    Picture picture;
    LoadPicture(file, picture);
    return {picture.Width(), picture.Height()};
}

// Every file under a folder by its relative path, with its bytes.
std::map<std::string, std::string> filesUnder(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
        }
    }
    return files;
}

// A project's working copy, data folder and a shop folder as the run leaves
// it before the database step: the description template and var_init.js.
struct Project {
    TempDir dir;
    GenerationRun run;
    std::vector<std::pair<int, std::string>> progress;

    explicit Project(const std::string& shop = "shop/")
    {
        run.In.WorkDir = dir.file("work/");
        run.In.DataDir = dir.file("data/");
        run.In.ShopDir = dir.file(shop);
        run.In.Home.Language = "deutsch";
        run.Languages = {"deutsch"};
        run.In.Progress = [this](int percent, const std::string& name) { progress.emplace_back(percent, name); };
        dir.write(shop + "descriptions.js", "// description\n[DESCRIPTION]\nnext();");
        dir.write(shop + "var_init.js", "var dbsize = [DBSIZE];\r\nvar dbscripts = [DBSCRIPTS];");
    }

    std::string shop(const std::string& name) const { return run.In.ShopDir + name; }

    void createDatabase(int threads = 0)
    {
        run.ShopGroups = SelectShopGroups(run.In.WorkDir + "shop.tmp");
        CreateDatabase(run, threads);
    }
};

// Two shop groups 3 and 7 around an all-hidden group 5: a hidden first
// record, an item with twelve pictures and a description, a hidden last
// record, and descriptions in some languages only.
void writeCatalog(Project& p)
{
    p.dir.write("work/shop.tmp", "[3]\r\nVersand=1.500\r\n"
                                 "A2=Versteckt|5.00|||0|\r\n"
                                 "A1=O'Neill - Jacke|49.90|2|0:1||\r\n"
                                 "A3=M\xFCtze|9.50||||\r\n"
                                 "[5]\r\nVersand=0.000\r\nB1=Alt|1|||0|\r\nB2=Alt|1|||0|\r\nB3=Alt|1|||0|\r\n"
                                 "[7]\r\n"
                                 "C1=Schal|12.00|||1|\r\n"
                                 "C2=Weg|3.00|||0|\r\n");
    std::string pictures = "[A1]\r\n";
    for (int k = 1; k <= 12; ++k) {
        pictures +=
            std::to_string(k) + "=" + p.dir.write("pics/a" + std::to_string(k) + ".ppm", ppm(20 + k, 30 - k)) + "\r\n";
    }
    pictures += "[C1]\r\n1=" + p.dir.write("pics/c.ppm", ppm(16, 8)) + "\r\n";
    p.dir.write("work/pictures.ini", pictures);
    p.dir.write("data/deutsch/A1.txt", "Warme  Jacke \r\nf\xFCr O'Neill-Fans \\\r\n\r\n\r\n");
    p.dir.write("data/italiano/A1.txt", "Giacca");
    p.dir.write("data/english/C1.txt", "Aus Wolle\n");
    p.run.Languages = {"deutsch", "english", "italiano"};
}

} // namespace

TEST(ProductDatabase, ShopGroupsAreNumberedSectionsWithAShownItem)
{
    TempDir dir;
    const std::string file = dir.write("shop.tmp", "[3]\r\nVersand=0.000\r\nA=x|1|||0|\r\nB=y|1||||\r\n"
                                                   "[-1]\r\nVersand=0.000\r\nC=z|1||||\r\n"
                                                   "[abc]\r\nD=z|1||||\r\n"
                                                   "[5]\r\nVersand=0.000\r\nE=z|1|||0|\r\n"
                                                   "[8]\r\nVersand=1.000\r\n"
                                                   "[7]\r\nF=z|1|||1|\r\n"
                                                   "[12]\r\nG=only a name\r\n");
    EXPECT_EQ(SelectShopGroups(file), (std::vector<std::string>{"3", "7", "12"}));
    EXPECT_TRUE(SelectShopGroups(dir.file("missing.tmp")).empty());
}

TEST(ProductDatabase, DatabaseScriptsDescriptionsAndProgress)
{
    Project p;
    writeCatalog(p);
    p.createDatabase();

    EXPECT_EQ(p.run.ShopGroups, (std::vector<std::string>{"3", "7"}));
    // A small catalog fits into one script; the hidden last record leaves its
    // "|" behind: an empty item the shop skips.
    EXPECT_EQ(ReadFile(p.shop("database/db_0.js")), "gd = 'O\\'Neill - Jacke\xA6"
                                                    "A1\xA6"
                                                    "49.90\xA6"
                                                    "112\xA6"
                                                    "0:1|M\xFCtze\xA6"
                                                    "A3\xA6"
                                                    "9.50\xA6"
                                                    "00\xA6\x86"
                                                    "1.500'; pl(57); parent.CreateItemList(gd, 0); "
                                                    "gd = 'Schal\xA6"
                                                    "C1\xA6"
                                                    "12.00\xA6"
                                                    "11\xA6|\x86'; pl(77); parent.CreateItemList(gd, 1); "
                                                    "location.href = 'categories.html';");
    EXPECT_FALSE(FileExists(p.shop("database/db_1.js")));
    EXPECT_EQ(ReadFile(p.shop("var_init.js")), "var dbsize = 77;\r\nvar dbscripts = 1;\r\n");
    EXPECT_EQ(p.run.DatabaseSize, 77);

    const std::string a1 = "p.text['A1']='Warme Jacke<br>f\xFCr O\\'Neill-Fans \\\\';";
    struct Case {
        const char* language;
        const char* key;
        std::string text;
    } descriptions[] = {
        {"deutsch", "A1", a1},
        {"english", "A1", a1}, // the home language's text
        {"italiano", "A1", "p.text['A1']='Giacca';"},
        {"deutsch", "A3", "p.text['A3']='';"},
        {"italiano", "A3", "p.text['A3']='';"},
        {"deutsch", "C1", "p.text['C1']='';"},
        {"english", "C1", "p.text['C1']='Aus Wolle';"},
        {"italiano", "C1", "p.text['C1']='Aus Wolle';"}, // kept from the language before
    };
    for (const auto& c : descriptions) {
        const std::string file = p.shop("countries/languages/") + c.language + "/descriptions/" + c.key + ".js";
        EXPECT_EQ(ReadFile(file), "// description\r\n" + c.text + "\r\nnext();\r\n") << c.language << " " << c.key;
    }
    EXPECT_FALSE(FileExists(p.shop("countries/languages/deutsch/descriptions/A2.js"))); // hidden

    EXPECT_EQ(jpegSize(p.shop("pictures/large/A1_12.jpg")), std::make_pair(32, 18));
    EXPECT_FALSE(FileExists(p.shop("pictures/large/A1_13.jpg")));
    EXPECT_EQ(jpegSize(p.shop("pictures/medium/A1.jpg")), std::make_pair(22, 28)); // picture 2
    EXPECT_EQ(jpegSize(p.shop("pictures/small/C1.jpg")), std::make_pair(16, 8));
    EXPECT_FALSE(FileExists(p.shop("pictures/xxl/A1_1.jpg")));

    // Eight items in the project; 1 of 8 is 12.5 %, which goes to the even 12.
    const std::vector<std::pair<int, std::string>> progress = {
        {0, "Versteckt"}, {12, "O'Neill - Jacke"}, {25, "M\xFCtze"}, {38, "Schal"}, {38, "Weg"}, {100, ""}};
    EXPECT_EQ(p.progress, progress);
}

TEST(ProductDatabase, ALargeCatalogIsWrittenAsAFewScriptsThatLoadOneAnother)
{
    Project p;
    std::string catalog;
    for (int g = 0; g < 30; ++g) {
        catalog += "[" + std::to_string(g) + "]\r\nVersand=0.000\r\n";
        for (int i = 0; i < 100; ++i) {
            catalog += "K" + std::to_string(g * 100 + i) + "=Tee aus Blatt, Bl\xFCte und Frucht Nummer " +
                       std::to_string(i) + "|2.50||||\r\n";
        }
    }
    p.dir.write("work/shop.tmp", catalog);
    p.createDatabase();

    // Every group once, in order, and a chain from db_0.js to the categories.
    std::size_t scripts = 0;
    int nextGroup = 0;
    for (; FileExists(p.shop("database/db_" + std::to_string(scripts) + ".js")); ++scripts) {
        const std::string script = ReadFile(p.shop("database/db_" + std::to_string(scripts) + ".js"));
        for (std::size_t at = script.find("CreateItemList(gd, "); at != std::string::npos;
             at = script.find("CreateItemList(gd, ", at + 1)) {
            EXPECT_EQ(std::stoi(script.substr(at + 19)), nextGroup++) << "db_" << scripts;
        }
        const bool last = !FileExists(p.shop("database/db_" + std::to_string(scripts + 1) + ".js"));
        EXPECT_TRUE(script.ends_with(last ? std::string("location.href = 'categories.html';")
                                          : "database/db_" + std::to_string(scripts + 1) + ".js\\\"><\\/script>');"))
            << "db_" << scripts;
        if (!last) {
            EXPECT_GE(script.size(), 64u * 1024) << "db_" << scripts;
        }
    }
    EXPECT_EQ(nextGroup, 30);
    EXPECT_GE(scripts, 3u);
    EXPECT_LE(scripts, 5u);
    EXPECT_NE(ReadFile(p.shop("var_init.js")).find("var dbscripts = " + std::to_string(scripts) + ";"),
              std::string::npos);
}

TEST(ProductDatabase, TheFilesDoNotDependOnTheNumberOfPictureThreads)
{
    Project one("one/");
    Project many("many/");
    for (Project* p : {&one, &many}) {
        writeCatalog(*p);
        p->run.In.Choices.Xxl = true;
    }
    one.createDatabase(1);
    many.createDatabase(4);
    const auto files = filesUnder(one.run.In.ShopDir);
    EXPECT_EQ(files.size(), 59u); // 42 and the 17 double-size pictures
    EXPECT_TRUE(files == filesUnder(many.run.In.ShopDir));
}

TEST(ProductDatabase, ACatalogWithoutShopGroupsHasNoDatabase)
{
    Project p;
    p.dir.write("work/shop.tmp", "[0]\r\nVersand=0.000\r\nA=x|1|||0|\r\n");
    p.createDatabase();
    EXPECT_FALSE(FileExists(p.shop("database/db_0.js")));
    EXPECT_EQ(ReadFile(p.shop("var_init.js")), "var dbsize = 0;\r\nvar dbscripts = 0;\r\n");
    EXPECT_EQ(p.progress, (std::vector<std::pair<int, std::string>>{{100, ""}}));
}

TEST(ProductDatabase, PictureSizesAndCounts)
{
    TempDir pics;
    const std::string big = pics.write("big.ppm", ppm(800, 600));
    const std::string small = pics.write("small.ppm", ppm(150, 100));
    const std::string a = pics.write("a.ppm", ppm(30, 20));
    const std::string b = pics.write("b.ppm", ppm(40, 10));
    const std::string missing = pics.file("gone.ppm");
    // Two JPEG files too big for the large box, one with an upper-case extension.
    std::string photo;
    std::string photoUpper;
    for (const char* name : {"photo.jpg", "photo.JPG"}) {
        Picture picture;
        LoadPicture(pics.write("src.ppm", ppm(400, 300)), picture);
        SaveScaledJpeg(picture, pics.file(name), 400, 400, 90);
    }
    photo = pics.file("photo.jpg");
    photoUpper = pics.file("photo.JPG");

    using Size = std::pair<int, int>;
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> entries; // picture number, path
        std::string main;
        bool xxl;
        bool optimize;
        int count;
        std::vector<std::pair<std::string, Size>> files; // written, with their sizes
        std::vector<std::string> absent;
    } cases[] = {
        {"every size",
         {{"1", big}},
         "",
         true,
         true,
         1,
         {{"xxl/K_1.jpg", {560, 420}},
          {"large/K_1.jpg", {200, 150}},
          {"medium/K.jpg", {120, 90}},
          {"small/K.jpg", {50, 38}},
          // Twice the size for sharp screens; no double of the extra large.
          {"large_2x/K_1.jpg", {400, 300}},
          {"medium_2x/K.jpg", {240, 180}},
          {"small_2x/K.jpg", {100, 75}}},
         {"xxl_2x/K_1.jpg"}},
        {"never enlarged",
         {{"1", small}},
         "1",
         false,
         true,
         1,
         {{"large/K_1.jpg", {150, 100}},
          {"medium/K.jpg", {120, 80}},
          {"small/K.jpg", {50, 33}},
          {"large_2x/K_1.jpg", {150, 100}},
          {"medium_2x/K.jpg", {150, 100}},
          {"small_2x/K.jpg", {100, 67}}},
         {"xxl/K_1.jpg"}},
        {"without Optimize only .jpg is copied",
         {{"1", photo}, {"2", photoUpper}, {"3", a}},
         "3",
         false,
         false,
         3,
         {{"large/K_1.jpg", {400, 300}},
          {"large/K_2.jpg", {200, 150}},
          {"large/K_3.jpg", {30, 20}},
          {"medium/K.jpg", {30, 20}},
          {"large_2x/K_1.jpg", {400, 300}},
          {"large_2x/K_2.jpg", {400, 300}}},
         {}},
        {"a missing picture leaves no gap",
         {{"1", a}, {"2", missing}, {"3", b}},
         "3",
         false,
         true,
         2,
         {{"large/K_1.jpg", {30, 20}}, {"large/K_2.jpg", {40, 10}}, {"medium/K.jpg", {40, 10}}},
         {"large/K_3.jpg"}},
        {"main picture missing",
         {{"1", a}, {"2", missing}, {"3", b}},
         "2",
         false,
         true,
         2,
         {{"large/K_2.jpg", {40, 10}}, {"large_2x/K_2.jpg", {40, 10}}},
         {"medium/K.jpg", "small/K.jpg", "medium_2x/K.jpg", "small_2x/K.jpg"}},
        {"keys 1 and 5: two entries, so only 1 and 2 are looked up",
         {{"1", a}, {"5", b}},
         "",
         false,
         true,
         1,
         {{"large/K_1.jpg", {30, 20}}, {"medium/K.jpg", {30, 20}}},
         {"large/K_2.jpg"}},
        {"no main picture and picture 1 missing",
         {{"1", missing}, {"2", b}},
         "",
         false,
         true,
         1,
         {{"large/K_1.jpg", {40, 10}}},
         {"medium/K.jpg", "small/K.jpg"}},
        {"no pictures", {}, "", true, true, 0, {}, {"large/K_1.jpg", "medium/K.jpg"}},
    };
    for (const auto& c : cases) {
        Project p;
        std::string list = "[K]\r\n";
        for (const auto& [k, path] : c.entries) {
            list += k + "=" + path + "\r\n";
        }
        p.dir.write("work/pictures.ini", list);
        p.run.In.Choices.Xxl = c.xxl;
        p.run.Pictures.Optimize = c.optimize;
        EXPECT_EQ(CreatePictures(p.run, "K", c.main), c.count) << c.what;
        for (const auto& [file, size] : c.files) {
            EXPECT_EQ(jpegSize(p.shop("pictures/" + file)), size) << c.what << ": " << file;
        }
        for (const std::string& file : c.absent) {
            EXPECT_FALSE(FileExists(p.shop("pictures/" + file))) << c.what << ": " << file;
        }
        if (!c.optimize) {
            EXPECT_EQ(ReadFile(p.shop("pictures/large/K_1.jpg")), ReadFile(photo)) << c.what;
        }
    }
}

TEST(ProductDatabase, EachPictureSizeIsScaledFromTheOneBefore)
{
    Project p;
    const std::string source = p.dir.write("pics/big.ppm", ppm(800, 600));
    p.dir.write("work/pictures.ini", "[K]\r\n1=" + source + "\r\n");
    p.run.In.Choices.Xxl = true;
    ASSERT_EQ(CreatePictures(p.run, "K", ""), 1);

    // The boxes of xxl, large, medium and small, scaled once as a chain and
    // once each from the original; the fixture must tell the two apart.
    const PictureSettings& settings = p.run.Pictures;
    const std::pair<int, int> boxes[] = {{560, 700}, {settings.MaxWidth, settings.MaxHeight}, {120, 120}, {50, 50}};
    const auto pixelsOf = [](const std::string& file) {
        Picture picture;
        LoadPicture(file, picture);
        return picture.RgbPixels();
    };
    const auto scaled = [&](bool chained) {
        std::vector<std::vector<unsigned char>> pixels;
        Picture chain;
        LoadPicture(source, chain);
        for (const auto& [w, h] : boxes) {
            Picture original;
            LoadPicture(source, original);
            SaveScaledJpeg(chained ? chain : original, p.dir.file("ref.jpg"), w, h, settings.Quality);
            pixels.push_back(pixelsOf(p.dir.file("ref.jpg")));
        }
        return pixels;
    };
    const auto chain = scaled(true);
    const auto direct = scaled(false);
    const char* const files[] = {"xxl/K_1.jpg", "large/K_1.jpg", "medium/K.jpg", "small/K.jpg"};
    for (std::size_t i = 0; i < std::size(files); ++i) {
        EXPECT_TRUE(pixelsOf(p.shop("pictures/") + files[i]) == chain[i]) << files[i];
        if (i > 0) {
            EXPECT_FALSE(chain[i] == direct[i]) << files[i] << ": the fixture cannot tell";
        }
    }
}

TEST(ProductDatabase, AFileThatIsNoPictureStopsTheRunNamingTheItem)
{
    for (const char* name : {"letter.jpg", "no-extension"}) {
        Project p;
        const std::string file = p.dir.write(std::string("pics/") + name, "Dear customer, ...");
        p.dir.write("work/shop.tmp", "[0]\r\nVersand=0\r\nX-1=Letter|1||||\r\n");
        p.dir.write("work/pictures.ini", "[X-1]\r\n1=" + file + "\r\n");
        try {
            p.createDatabase(2);
            FAIL() << name << ": no error";
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("\"X-1\""), std::string::npos) << message;
            EXPECT_NE(message.find(file), std::string::npos) << message;
        }
    }
}

TEST(ProductDatabase, QuotesAreEscapedAndKeysMakeSafeFileNames)
{
    Project p;
    p.dir.write("work/shop.tmp", "[1]\r\nVersand=2\r\n"
                                 "O'R\\1=Back\\slash|10|||\r\n"
                                 "../up=Up|1||||\r\n"
                                 "..=Dots|1||||\r\n"
                                 "a\\b=Win|1||||\r\n");
    const std::string pic = p.dir.write("pics/p.ppm", ppm(10, 10));
    p.dir.write("work/pictures.ini", "[../up]\r\n1=" + pic + "\r\n[..]\r\n1=" + pic + "\r\n");
    p.dir.write("data/deutsch/.._up.txt", "Nach 'oben'");
    p.createDatabase();

    EXPECT_EQ(ReadFile(p.shop("database/db_0.js")),
              "gd = 'Back\\\\slash\xA6O\\'R\\\\1\xA6"
              "10\xA6"
              "00\xA6|Up\xA6../up\xA6"
              "1\xA6"
              "11\xA6|Dots\xA6..\xA6"
              "1\xA6"
              "01\xA6|Win\xA6"
              "a\\\\b\xA6"
              "1\xA6"
              "00\xA6\x86"
              "2'; pl(72); parent.CreateItemList(gd, 0); location.href = 'categories.html';");
    const std::string descriptions = p.shop("countries/languages/deutsch/descriptions/");
    EXPECT_EQ(ReadFile(descriptions + "O'R_1.js"), "// description\r\np.text['O\\'R\\\\1']='';\r\nnext();\r\n");
    EXPECT_EQ(ReadFile(descriptions + ".._up.js"),
              "// description\r\np.text['../up']='Nach \\'oben\\'';\r\nnext();\r\n");
    EXPECT_TRUE(FileExists(descriptions + "_...js"));
    EXPECT_TRUE(FileExists(descriptions + "a_b.js"));
    for (const char* file :
         {"large/.._up_1.jpg", "medium/.._up.jpg", "small/.._up.jpg", "large/_.._1.jpg", "medium/_...jpg"}) {
        EXPECT_TRUE(FileExists(p.shop("pictures/") + file)) << file;
    }
    // Nothing beside the shop's folders.
    EXPECT_EQ(filesUnder(p.shop("countries/languages/")).size(), 4u);
    EXPECT_FALSE(std::filesystem::exists(p.shop("countries/languages/deutsch/up.js")));
    EXPECT_FALSE(std::filesystem::exists(p.shop("pictures/up_1.jpg")));
    EXPECT_EQ(filesUnder(p.dir.path()).size(), filesUnder(p.shop("")).size() + 4); // work/ 2, data/ 1, pics/ 1
}

TEST(ProductDatabase, SeparatorsAndBadAmountsAreRefusedBeforeAnythingIsWritten)
{
    struct Case {
        std::string items;
        std::string message;
    } cases[] = {
        {"Versand=0\r\nA|1=x|1||||\r\n",
         "Item \"A|1\" (x) in group 4: the order number holds the character \"|\" (0x7C)"},
        {"Versand=0\r\nA\xA6"
         "1=x|1||||\r\n",
         "Item \"A\xA6"
         "1\" (x) in group 4: the order number holds the character \"\xA6\" (0xA6)"},
        {"Versand=0\r\nA\x86=x|1||||\r\n", "the order number holds the character \"\x86\" (0x86)"},
        // Shown whole, the NUL spelled out, instead of writing a file named "A".
        {std::string("Versand=0\r\nA\0B=x|1||||\r\n", 24),
         "Item \"A\\0B\" (x) in group 4: the order number holds a control character"},
        {"Versand=0\r\nA=x\xA6y|1||||\r\n", "Item \"A\" (x\xA6y) in group 4: the name holds the character \"\xA6\""},
        {"Versand=0\r\nA=x|1\x86|||\r\n", "Item \"A\" (x) in group 4: the price holds the character \"\x86\""},
        {"Versand=0\r\nA=x|1||0\xA6|\r\n",
         "Item \"A\" (x) in group 4: the discount field holds the character \"\xA6\""},
        {"Versand=1|5\r\nA=x|1||||\r\n", "Group 4: the shipping surcharge holds the character \"|\""},
        {"Versand=1\x86\r\nA=x|1||||\r\n", "Group 4: the shipping surcharge holds the character \"\x86\""},
        {"A/b=x|1||||\r\nA_b=y|1||||\r\n",
         "The items \"A/b\" (group 4) and \"A_b\" (group 4) would share the shop's files named \"A_b\""},
        {"Ab=x|1||||\r\naB=y|1||||\r\n", "The items \"Ab\" (group 4) and \"aB\" (group 4)"},
        // A price or surcharge the shop would sell at 0.00, below zero or beyond what it can show.
        {"Versand=0\r\nT1=Tee - gr\xFCn|abc||||\r\n",
         "Item \"T1\" (Tee - gr\xFCn) in group 4: the price holds \"abc\""},
        {"Versand=0\r\nT1=Tee|-5||||\r\n", "Item \"T1\" (Tee) in group 4: the price holds \"-5\""},
        {"Versand=0\r\nT1=Tee|1e308||||\r\n", "the price holds \"1e308\""},
        {"Versand=0\r\nT1=Tee|1,5';x||||\r\n", "the price holds \"1,5';x\""},
        {"Versand=0\r\nT1=Tee|nan||||\r\n", "the price holds \"nan\""},
        {"Versand=zwei\r\nA=x|1||||\r\n", "Group 4: the shipping surcharge holds \"zwei\""},
        {"Versand=-1\r\nA=x|1||||\r\n", "Group 4: the shipping surcharge holds \"-1\""},
    };
    for (const auto& c : cases) {
        Project p;
        // A group before the bad one, which must not be written either.
        p.dir.write("work/shop.tmp", "[2]\r\nVersand=0\r\nGood=x|1||||\r\n[4]\r\n" + c.items);
        try {
            p.createDatabase();
            ADD_FAILURE() << c.message << ": no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_FALSE(FileExists(p.shop("database/db_0.js"))) << c.message;
        EXPECT_FALSE(std::filesystem::exists(p.shop("countries"))) << c.message;
        EXPECT_EQ(ReadFile(p.shop("var_init.js")), "var dbsize = [DBSIZE];\r\nvar dbscripts = [DBSCRIPTS];")
            << c.message;
    }
}

TEST(ProductDatabase, EmptyAmountsAreZeroAndHiddenItemsAreNotSold)
{
    Project p;
    p.dir.write("work/shop.tmp", "[1]\r\nA=Leer||||\r\nB=Komma|1,5||||\r\nC=Versteckt|abc|||0|\r\n");
    p.createDatabase();
    // The shop reads an empty price or surcharge as 0.
    EXPECT_EQ(ReadFile(p.shop("database/db_0.js")), "gd = 'Leer\xA6"
                                                    "A\xA6\xA6"
                                                    "00\xA6|Komma\xA6"
                                                    "B\xA6"
                                                    "1.5\xA6"
                                                    "00\xA6|\x86'; pl(29); parent.CreateItemList(gd, 0); "
                                                    "location.href = 'categories.html';");

    // A refused surcharge names the group as the merchant knows it.
    Project named;
    named.dir.write("work/shop.tmp", "[4]\r\nVersand=zwei\r\nA=x|1||||\r\n");
    named.dir.write("work/groups.ini", "[deutsch]\r\n4=Getr\xE4nke|Tee\r\n");
    try {
        named.createDatabase();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Group 4 (Getr\xE4nke|Tee): the shipping surcharge holds \"zwei\""),
                  std::string::npos)
            << e.what();
    }
}

TEST(ProductDatabase, AnItemInSeveralGroupsEndsWithTheMainPictureOfItsLastShownRecord)
{
    for (int threads : {1, 4}) {
        Project p;
        // The third record's main picture is missing, so it writes no medium picture.
        p.dir.write("work/shop.tmp", "[1]\r\nK=One|1|1|||\r\n[2]\r\nK=Two|1|2|||\r\n[3]\r\nK=Three|1|3|||\r\n");
        p.dir.write("work/pictures.ini", "[K]\r\n1=" + p.dir.write("pics/a.ppm", ppm(30, 20)) +
                                             "\r\n2=" + p.dir.write("pics/b.ppm", ppm(40, 10)) +
                                             "\r\n3=" + p.dir.file("pics/gone.ppm") + "\r\n");
        p.createDatabase(threads);
        EXPECT_EQ(jpegSize(p.shop("pictures/medium/K.jpg")), std::make_pair(40, 10)) << threads;
        // The double-size pictures show the same picture as the normal ones.
        EXPECT_EQ(jpegSize(p.shop("pictures/medium_2x/K.jpg")), std::make_pair(40, 10)) << threads;
        EXPECT_EQ(jpegSize(p.shop("pictures/small_2x/K.jpg")), jpegSize(p.shop("pictures/small/K.jpg"))) << threads;
        EXPECT_EQ(jpegSize(p.shop("pictures/large/K_2.jpg")), std::make_pair(40, 10)) << threads;
        EXPECT_NE(ReadFile(p.shop("database/db_0.js"))
                      .find("Three\xA6K\xA6"
                            "1\xA6"
                            "02\xA6"),
                  std::string::npos);
    }
}
