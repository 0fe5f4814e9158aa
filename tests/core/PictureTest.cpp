#include "common/Error.h"
#include "imaging/Picture.h"
#include "TestSupport.h"

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

} // namespace

TEST(Picture, SaveScaledJpegFitsTheBoxAndNeverEnlarges)
{
    TempDir dir;
    struct Case {
        int w, h, maxW, maxH, outW, outH;
    } cases[] = {
        {1000, 500, 120, 120, 120, 60},
        {100, 50, 120, 120, 100, 50},
        {1600, 1200, 200, 400, 200, 150},  // the shop's large picture
        {1600, 1200, 120, 120, 120, 90},   // preview
        {1600, 1200, 60, 60, 60, 45},      // thumbnail
        {1600, 1200, 800, 800, 800, 600},  // extra large
        {301, 100, 150, 150, 150, 50},     // 49.834 rounds to 50
        {5, 3, 2, 2, 2, 1},                // 1.2 rounds to 1
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
