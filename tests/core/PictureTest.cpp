#include "core/imaging/Picture.h"
#include "TestSupport.h"
#include "core/common/Error.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// A plain PPM picture with a colour gradient.
std::string writePpm(const TempDir& dir, const std::string& name, int w, int h)
{
    std::string data = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            data += static_cast<char>(x * 255 / w);
            data += static_cast<char>(y * 255 / h);
            data += static_cast<char>(128);
        }
    }
    return dir.write(name, data);
}

// The first marker that starts a frame, and the first luminance quantisation value.
struct JpegFacts {
    int frameMarker = 0;
    int firstQuant = 0;
};

JpegFacts inspectJpeg(const std::string& bytes)
{
    JpegFacts facts;
    for (std::size_t i = 2; i + 4 < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) != 0xFF) {
            break;
        }
        const int marker = static_cast<unsigned char>(bytes[i + 1]);
        const int length = (static_cast<unsigned char>(bytes[i + 2]) << 8) | static_cast<unsigned char>(bytes[i + 3]);
        if (marker == 0xDB && facts.firstQuant == 0) {
            facts.firstQuant = static_cast<unsigned char>(bytes[i + 5]);
        }
        if ((marker == 0xC0 || marker == 0xC1 || marker == 0xC2) && facts.frameMarker == 0) {
            facts.frameMarker = marker;
        }
        if (marker == 0xDA) {
            break;
        }
        i += 2 + length;
    }
    return facts;
}

// A JPEG of a 60 x 30 picture, blue with a red top-left 20 x 10 corner as
// stored, whose EXIF data says how the camera was held.
std::string writeOrientedJpeg(const TempDir& dir, const std::string& name, int orientation)
{
    std::string ppm = "P6\n60 30\n255\n";
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 60; ++x) {
            const bool red = x < 20 && y < 10;
            ppm += static_cast<char>(red ? 255 : 0);
            ppm += static_cast<char>(0);
            ppm += static_cast<char>(red ? 0 : 255);
        }
    }
    Picture picture;
    LoadPicture(dir.write(name + ".ppm", ppm), picture);
    const std::string plain = dir.file(name + ".plain.jpg");
    SaveScaledJpeg(picture, plain, 60, 30, 95);
    // An APP1 segment right after the start marker: a big-endian TIFF
    // header and one IFD with the single entry Orientation (0x0112, SHORT).
    const std::string exif = std::string("\xFF\xE1\x00\x22"                  // APP1, 34 bytes
                                         "Exif\0\0"                          // its name
                                         "MM\x00\x2A\x00\x00\x00\x08"        // the IFD follows the header
                                         "\x00\x01"                          // one entry
                                         "\x01\x12\x00\x03\x00\x00\x00\x01", // Orientation, one SHORT
                                         28) +
                             static_cast<char>(0) + static_cast<char>(orientation) + std::string(6, '\0');
    const std::string bytes = ReadFile(plain);
    return dir.write(name + ".jpg", bytes.substr(0, 2) + exif + bytes.substr(2));
}

// The colour of a pixel: 'r' red, 'b' blue, '?' anything else.
char colourAt(const Picture& picture, int x, int y)
{
    const std::vector<unsigned char> rgb = picture.RgbPixels();
    const std::size_t at = (static_cast<std::size_t>(y) * picture.Width() + x) * 3;
    if (rgb[at] > 200 && rgb[at + 2] < 60) {
        return 'r';
    }
    if (rgb[at] < 60 && rgb[at + 2] > 200) {
        return 'b';
    }
    return '?';
}

} // namespace

TEST(Picture, SaveScaledJpegFitsTheBoxAndNeverEnlarges)
{
    TempDir dir;
    struct Case {
        int w, h, maxW, maxH, outW, outH;
    } cases[] = {
        {1000, 500, 120, 120, 120, 60},
        {100, 50, 120, 120, 100, 50},
        {1600, 1200, 200, 400, 200, 150}, // the shop's large picture
        {1600, 1200, 120, 120, 120, 90},  // preview
        {1600, 1200, 60, 60, 60, 45},     // thumbnail
        {1600, 1200, 800, 800, 800, 600}, // extra large
        {301, 100, 150, 150, 150, 50},    // 49.834 rounds to 50
        {5, 3, 2, 2, 2, 1},               // 1.2 rounds to 1
    };
    for (const auto& c : cases) {
        Picture picture;
        LoadPicture(writePpm(dir, "in.ppm", c.w, c.h), picture);
        SaveScaledJpeg(picture, dir.file("out.jpg"), c.maxW, c.maxH, 75);
        EXPECT_EQ(picture.Width(), c.outW) << c.w << "x" << c.h;
        EXPECT_EQ(picture.Height(), c.outH) << c.w << "x" << c.h;
        Picture back;
        LoadPicture(dir.file("out.jpg"), back);
        EXPECT_EQ(back.Width(), c.outW);
        EXPECT_EQ(back.Height(), c.outH);
    }
}

TEST(Picture, OutputIsProgressiveAtTheAskedQuality)
{
    TempDir dir;
    for (int quality : {30, 75, 95}) {
        Picture picture;
        LoadPicture(writePpm(dir, "in.ppm", 400, 300), picture);
        SaveScaledJpeg(picture, dir.file("q.jpg"), 200, 200, quality);
        const JpegFacts facts = inspectJpeg(dir.read("q.jpg"));
        EXPECT_EQ(facts.frameMarker, 0xC2) << "not progressive at quality " << quality;
        // The standard luminance table starts with 16, scaled by the quality.
        const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
        EXPECT_EQ(facts.firstQuant, std::clamp((16 * scale + 50) / 100, 1, 255)) << quality;
    }
    // The same picture gives the same bytes every time.
    Picture a, b;
    LoadPicture(dir.file("in.ppm"), a);
    LoadPicture(dir.file("in.ppm"), b);
    SaveScaledJpeg(a, dir.file("a.jpg"), 120, 120, 75);
    SaveScaledJpeg(b, dir.file("b.jpg"), 120, 120, 75);
    EXPECT_EQ(dir.read("a.jpg"), dir.read("b.jpg"));
}

TEST(Picture, PhotosAreTurnedUprightByTheirOrientation)
{
    TempDir dir;
    struct Case {
        int orientation, w, h;
        const char* corners; // top-left, top-right, bottom-left, bottom-right
    } cases[] = {
        {1, 60, 30, "rbbb"}, // as stored
        {2, 60, 30, "brbb"}, // mirrored
        {3, 60, 30, "bbbr"}, // upside down
        {6, 30, 60, "brbb"}, // turned right
        {8, 30, 60, "bbrb"}, // turned left
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("orientation " + std::to_string(c.orientation));
        Picture picture;
        LoadPicture(writeOrientedJpeg(dir, "photo" + std::to_string(c.orientation), c.orientation), picture);
        // The scaled copy a shop shows carries no orientation: it must be upright itself.
        const std::string shown = dir.file("shown.jpg");
        SaveScaledJpeg(picture, shown, 200, 400, 95);
        Picture back;
        LoadPicture(shown, back);
        for (const Picture* p : {&picture, &back}) {
            ASSERT_EQ(p->Width(), c.w);
            ASSERT_EQ(p->Height(), c.h);
            const std::string corners = {colourAt(*p, 2, 2), colourAt(*p, c.w - 3, 2), colourAt(*p, 2, c.h - 3),
                                         colourAt(*p, c.w - 3, c.h - 3)};
            EXPECT_EQ(corners, c.corners);
        }
    }
}

TEST(Picture, BadFilesRaiseErrorsNamingThem)
{
    TempDir dir;
    Picture picture;
    const std::string text = dir.write("letter.jpg", "Dear customer, ...");
    try {
        LoadPicture(text, picture);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
    }
    EXPECT_THROW(LoadPicture(dir.write("notes.txt", "x"), picture), Error);
    EXPECT_THROW(LoadPicture(dir.file("missing.png"), picture), Error);
    EXPECT_TRUE(picture.Empty());
    EXPECT_THROW(SaveScaledJpeg(picture, dir.file("x.jpg"), 10, 10, 75), Error);

    LoadPicture(writePpm(dir, "ok.ppm", 20, 10), picture);
    EXPECT_THROW(SaveScaledJpeg(picture, dir.file("no/folder/x.jpg"), 10, 10, 75), Error);
}

// Shown small, a picture is loaded at the size it is shown, upright, and
// fails as a whole load does.
TEST(Picture, LoadToFitScalesOnLoadUprightAndNeverEnlarges)
{
    TempDir dir;
    struct Case {
        std::string file;
        int maxW, maxH, outW, outH;
    } cases[] = {
        {"big", 156, 116, 155, 116}, // a photo in the details area
        {"big", 300, 300, 300, 225}, // wider than high
        {"small", 156, 116, 40, 20}, // never enlarged
        {"turned", 45, 45, 23, 45},  // portrait once turned upright
    };
    Picture big;
    LoadPicture(writePpm(dir, "big.ppm", 1600, 1200), big);
    SaveScaledJpeg(big, dir.file("big.jpg"), 1600, 1200, 90);
    writePpm(dir, "small.ppm", 40, 20);
    writeOrientedJpeg(dir, "turned", 6);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + " in " + std::to_string(c.maxW) + "x" + std::to_string(c.maxH));
        Picture picture;
        LoadPictureToFit(dir.file(c.file + (c.file == "small" ? ".ppm" : ".jpg")), c.maxW, c.maxH, picture);
        EXPECT_NEAR(picture.Width(), c.outW, 1);
        EXPECT_NEAR(picture.Height(), c.outH, 1);
        EXPECT_EQ(picture.RgbPixels().size(), std::size_t(picture.Width()) * picture.Height() * 3);
    }
    Picture turned;
    LoadPictureToFit(dir.file("turned.jpg"), 90, 90, turned);
    ASSERT_EQ(turned.Height(), 60);
    EXPECT_EQ(colourAt(turned, turned.Width() - 3, 2), 'r');
    EXPECT_EQ(colourAt(turned, 2, 2), 'b');

    Picture bad;
    const std::string letter = dir.write("letter.jpg", "Dear customer, ...");
    for (const std::string& file : {letter, dir.file("missing.png"), dir.write("notes.txt", "x")}) {
        try {
            LoadPictureToFit(file, 100, 100, bad);
            ADD_FAILURE() << "no error for " << file;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(bad.Empty());
}

// A few bytes can claim a picture of any size; decoding it would take gigabytes.
TEST(Picture, HugePicturesAreRefusedBeforeTheyAreDecoded)
{
    TempDir dir;
    // A GIF of 35 bytes whose one frame claims 12000 x 12000 pixels.
    const std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                          "\x2c\x00\x00\x00\x00\xe0\x2e\xe0\x2e\x00\x02\x02\x44\x01\x00\x3b",
                          35);
    const std::string file = dir.write("poster.gif", gif);
    // Whole, and shown small in the details area.
    for (const bool small : {false, true}) {
        Picture picture;
        try {
            small ? LoadPictureToFit(file, 160, 120, picture) : LoadPicture(file, picture);
            ADD_FAILURE() << "no error, small: " << small;
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(file), std::string::npos) << text;
            EXPECT_NE(text.find("12000 x 12000"), std::string::npos) << text;
        }
        EXPECT_TRUE(picture.Empty());
    }
}

TEST(Picture, EmbeddedPicturesLoadByName)
{
    Picture picture;
    LoadPicture("about", picture);
    EXPECT_EQ(picture.Width(), 340);
    EXPECT_EQ(picture.Height(), 160);
    EXPECT_EQ(picture.RgbPixels().size(), 340u * 160u * 3u);
    Picture none;
    LoadPicture("no-such-picture", none); // an unknown name changes nothing
    EXPECT_TRUE(none.Empty());
}

TEST(Picture, LoadsEveryOfferedFileType)
{
    TempDir dir;
    const std::string source = writePpm(dir, "source.ppm", 24, 12);
    for (const char* extension : {"jpg", "jpeg", "bmp", "gif", "tif", "tiff", "pcx", "png", "pgm", "pbm", "psd"}) {
        const std::string file = dir.file(std::string("picture.") + extension);
        const std::string command = "convert '" + source + "' '" + file + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << "ImageMagick could not write " << file;
        Picture picture;
        EXPECT_NO_THROW(LoadPicture(file, picture)) << extension;
        EXPECT_EQ(picture.Width(), 24) << extension;
        EXPECT_EQ(picture.Height(), 12) << extension;
    }
}

TEST(Picture, AJpegIsDecodedAtTheSmallestSizeThatStillGivesEveryBoxItsSize)
{
    TempDir dir;
    Picture source;
    LoadPicture(writePpm(dir, "big.ppm", 1600, 1200), source);
    SaveScaledJpeg(source, dir.file("big.jpg"), 5000, 5000, 90);
    const std::string turned = writeOrientedJpeg(dir, "turned", 6); // 60 x 30 stored, 30 x 60 upright
    const struct {
        std::string file;
        std::vector<std::pair<int, int>> boxes;
        std::pair<int, int> loaded;
    } cases[] = {
        {dir.file("big.jpg"), {{560, 700}, {200, 400}, {50, 50}}, {800, 600}},
        {dir.file("big.jpg"), {{200, 400}, {120, 120}}, {200, 150}},
        {dir.file("big.jpg"), {{1600, 1600}}, {1600, 1200}},
        {dir.file("big.jpg"), {}, {1600, 1200}},
        {dir.file("big.ppm"), {{200, 400}}, {1600, 1200}}, // only a JPEG decodes smaller
        {turned, {{15, 30}}, {15, 30}},
    };
    for (const auto& c : cases) {
        Picture picture;
        LoadPictureForBoxes(c.file, picture, c.boxes);
        EXPECT_EQ(std::make_pair(picture.Width(), picture.Height()), c.loaded) << c.file << " " << c.boxes.size();
    }
}
