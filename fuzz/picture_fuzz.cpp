// A picture of any type the file choosers offer, decoded and scaled as the
// generator and the details area do. The first byte picks the file name's
// extension, the rest is the picture.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/imaging/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    if (size < 1) {
        return 0;
    }
    StartPictureLibrary();
    const auto& extensions = PictureExtensions();
    const std::string dir = fuzz::CleanScratch();
    const std::string name = dir + "picture." + extensions[data[0] % extensions.size()];
    fuzz::WriteBytes(name, fuzz::AsText(data + 1, size - 1));
    try {
        Picture picture;
        LoadPicture(name, picture);
        if (!picture.Empty()) {
            picture.RgbPixels();
            const auto [w, h] = ScaledSize(picture.Width(), picture.Height(), 120, 90);
            (void)w;
            (void)h;
            SaveScaledJpeg(picture, dir + "small.jpg", 120, 90, 75);
            SaveScaledJpeg(picture, dir + "large.jpg", 640, 480, 85);
        }
    } catch (const Error&) {
    }
    ReleasePictureThread();
    return 0;
}
