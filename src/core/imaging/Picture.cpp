#include "core/imaging/Picture.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Resources.h"
#include "core/common/Text.h"
#include "core/common/messages/GeneratorMessages.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vips/vips.h>

// Needs the types vips.h brings.
#include <vips/vector.h>

namespace quillane {

struct Picture::Image {
    VipsImage* vips = nullptr;
    explicit Image(VipsImage* v) : vips(v) {}
    ~Image()
    {
        if (vips != nullptr) {
            g_object_unref(vips);
        }
    }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

namespace {

std::atomic<bool> vipsStarted{false};

// Far above any photo a shop shows, and small enough to decode in memory.
constexpr std::uint64_t kMaxPicturePixels = 100'000'000;

// Only the header is read when a picture is opened; a few bytes can claim
// any size, so the size is checked before anything is decoded. The image is
// released when it is refused.
void refuseHugePicture(const std::string& name, VipsImage* header)
{
    const int width = vips_image_get_width(header);
    const int height = vips_image_get_height(header);
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPicturePixels) {
        g_object_unref(header);
        throw Error(msg::PictureTooLarge, {name, width, height, static_cast<long long>(kMaxPicturePixels / 1000000)});
    }
}

void ensureVips()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("quillane") != 0) {
            throw Error(msg::PictureLibraryFailed);
        }
        // Decoded pictures are used once; caching them only costs memory.
        vips_cache_set_max(0);
        // The library's run-time compiled vector code (orc) frees its programs
        // unsafely when several threads scale pictures at once: the generator
        // crashed in it now and then with four picture threads. The plain code
        // costs about a fifth more processor time and is safe.
        vips_vector_set_enabled(FALSE);
        vipsStarted = true;
    });
}

std::string vipsReason()
{
    // Taken and cleared in one step under libvips' own lock: workers may fail at once.
    char* copy = vips_error_buffer_copy();
    std::string reason = copy != nullptr ? copy : "";
    g_free(copy);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason;
}

// The library's own words say why, when it has any.
Error unreadable(const std::string& name)
{
    const std::string reason = vipsReason();
    return reason.empty() ? Error(msg::PictureUnreadable, {name}) : Error(msg::PictureUnreadableWhy, {name, reason});
}

// Turns a decoded picture the way its orientation tag says the camera was
// held, so that phone photos show upright everywhere; the scaled copies are
// saved without the tag. Takes over the reference to in; nullptr on failure.
VipsImage* upright(VipsImage* in)
{
    if (vips_image_get_orientation(in) <= 1) {
        return in;
    }
    VipsImage* turned = nullptr;
    const int rc = vips_autorot(in, &turned, nullptr);
    g_object_unref(in);
    if (rc != 0) {
        return nullptr;
    }
    VipsImage* decoded = vips_image_copy_memory(turned);
    g_object_unref(turned);
    return decoded;
}

// Brings any decoded picture to 8-bit sRGB without alpha (flattened on
// white), upright, and decodes it, so a broken file fails here and not
// later on use.
// Takes over the reference to in; nullptr on failure.
VipsImage* toRgb(VipsImage* in)
{
    VipsImage* current = in;
    // Replaces current by the result of one step; false when the step failed.
    auto advance = [&current](int rc, VipsImage* next) {
        g_object_unref(current);
        current = rc == 0 ? next : nullptr;
        return current != nullptr;
    };
    VipsImage* out = nullptr;
    if (vips_image_hasalpha(current)) {
        VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
        const int rc = vips_flatten(current, &out, "background", white, nullptr);
        vips_area_unref(VIPS_AREA(white));
        if (!advance(rc, out)) {
            return nullptr;
        }
    }
    int rc = vips_colourspace(current, &out, VIPS_INTERPRETATION_sRGB, nullptr);
    if (!advance(rc, out)) {
        return nullptr;
    }
    if (vips_image_get_format(current) != VIPS_FORMAT_UCHAR) {
        rc = vips_cast(current, &out, VIPS_FORMAT_UCHAR, nullptr);
        if (!advance(rc, out)) {
            return nullptr;
        }
    }
    if (vips_image_get_bands(current) > 3) {
        rc = vips_extract_band(current, &out, 0, "n", 3, nullptr);
        if (!advance(rc, out)) {
            return nullptr;
        }
    }
    VipsImage* decoded = vips_image_copy_memory(current);
    g_object_unref(current);
    return decoded != nullptr ? upright(decoded) : nullptr;
}

// A picture file needs the extension of a known picture type and must exist.
void checkPictureFile(const std::string& name)
{
    const std::string extension = LowerCase(name.substr(name.rfind('.') + 1));
    const auto& known = PictureExtensions();
    if (std::find(known.begin(), known.end(), extension) == known.end()) {
        throw Error(msg::PictureUnknownType, {name});
    }
    if (!FileExists(name)) {
        throw Error(msg::PictureMissing, {name});
    }
}

bool isPictureFile(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

int roundHalfEven(double x)
{
    return static_cast<int>(std::nearbyint(x)); // the default rounding mode goes to even
}

} // namespace

Picture::Picture() = default;
Picture::~Picture() = default;
Picture::Picture(Picture&&) noexcept = default;
Picture& Picture::operator=(Picture&&) noexcept = default;

Picture SharePicture(const Picture& picture)
{
    Picture shared;
    if (!picture.Empty()) {
        // The library's images are never changed once made; scaling makes a new one.
        g_object_ref(picture.image->vips);
        shared.image = std::make_unique<Picture::Image>(picture.image->vips);
    }
    return shared;
}

bool Picture::Empty() const
{
    return !image || image->vips == nullptr;
}

int Picture::Width() const
{
    return Empty() ? 0 : vips_image_get_width(image->vips);
}

int Picture::Height() const
{
    return Empty() ? 0 : vips_image_get_height(image->vips);
}

std::vector<unsigned char> Picture::RgbPixels() const
{
    if (Empty()) {
        return {};
    }
    std::size_t size = 0;
    void* data = vips_image_write_to_memory(image->vips, &size);
    if (data == nullptr) {
        vips_error_clear();
        return {};
    }
    std::vector<unsigned char> pixels(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    g_free(data);
    return pixels;
}

const std::vector<std::string>& PictureExtensions()
{
    static const std::vector<std::string> extensions = {"jpg", "jpeg", "bmp", "gif", "tif", "tiff", "pcx", "pcc", "scr",
                                                        "pcd", "ppm",  "pgm", "pbm", "psd", "pdd",  "psp", "png"};
    return extensions;
}

void LoadPicture(const std::string& name, Picture& picture)
{
    ensureVips();
    if (!isPictureFile(name)) {
        const ResourceEntry* e = FindResource(name);
        if (e == nullptr) {
            return;
        }
        VipsImage* loaded = vips_image_new_from_buffer(e->data, e->size, "", nullptr);
        VipsImage* rgb = loaded ? toRgb(loaded) : nullptr;
        vips_error_clear();
        if (rgb != nullptr) {
            picture.image = std::make_unique<Picture::Image>(rgb);
        }
        return;
    }
    checkPictureFile(name);
    VipsImage* loaded = vips_image_new_from_file(name.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
    if (loaded != nullptr) {
        refuseHugePicture(name, loaded);
    }
    VipsImage* rgb = loaded ? toRgb(loaded) : nullptr;
    if (rgb == nullptr) {
        throw unreadable(name);
    }
    picture.image = std::make_unique<Picture::Image>(rgb);
}

void LoadPictureToFit(const std::string& name, int maxWidth, int maxHeight, Picture& picture)
{
    ensureVips();
    maxWidth = std::max(1, maxWidth);
    maxHeight = std::max(1, maxHeight);
    VipsImage* thumb = nullptr;
    if (isPictureFile(name)) {
        checkPictureFile(name);
        if (VipsImage* header = vips_image_new_from_file(name.c_str(), nullptr); header != nullptr) {
            refuseHugePicture(name, header);
            g_object_unref(header);
        }
        vips_error_clear();
        // The loader shrinks while it decodes where the format allows (JPEG by
        // 2, 4 or 8) and turns the picture upright by its orientation tag.
        if (vips_thumbnail(name.c_str(), &thumb, maxWidth, "height", maxHeight, "size", VIPS_SIZE_DOWN, nullptr) != 0) {
            thumb = nullptr;
        }
    } else {
        Picture whole;
        LoadPicture(name, whole);
        if (whole.Empty()) {
            return;
        }
        if (vips_thumbnail_image(whole.image->vips, &thumb, maxWidth, "height", maxHeight, "size", VIPS_SIZE_DOWN,
                                 nullptr) != 0) {
            thumb = nullptr;
        }
    }
    VipsImage* rgb = thumb != nullptr ? toRgb(thumb) : nullptr;
    if (rgb == nullptr) {
        throw unreadable(name);
    }
    picture.image = std::make_unique<Picture::Image>(rgb);
}

namespace {

// Whether each box gets the same size from a picture of width x height as
// from one of fullWidth x fullHeight, and is filled by it.
bool fitsEveryBox(int width, int height, int fullWidth, int fullHeight, const std::vector<std::pair<int, int>>& boxes)
{
    for (const auto& [boxWidth, boxHeight] : boxes) {
        const auto full = ScaledSize(fullWidth, fullHeight, boxWidth, boxHeight);
        if (ScaledSize(width, height, boxWidth, boxHeight) != full || width < full.first || height < full.second) {
            return false;
        }
    }
    return true;
}

} // namespace

void LoadPictureForBoxes(const std::string& name, Picture& picture, const std::vector<std::pair<int, int>>& boxes)
{
    ensureVips();
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    const bool isFile = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const char* loader = isFile && !boxes.empty() && FileExists(name) ? vips_foreign_find_load(name.c_str()) : nullptr;
    vips_error_clear();
    int shrink = 1;
    int width = 0;
    int height = 0;
    if (loader != nullptr && std::string_view(loader) == "VipsForeignLoadJpegFile") {
        // Only the header is read here.
        VipsImage* header = vips_image_new_from_file(name.c_str(), nullptr);
        if (header != nullptr) {
            width = vips_image_get_width(header);
            height = vips_image_get_height(header);
            // Turned upright later: the boxes hold the upright picture.
            if (vips_image_get_orientation(header) >= 5) {
                std::swap(width, height);
            }
            g_object_unref(header);
        }
        vips_error_clear();
        for (const int factor : {8, 4, 2}) {
            if (width > 0 &&
                fitsEveryBox((width + factor - 1) / factor, (height + factor - 1) / factor, width, height, boxes)) {
                shrink = factor;
                break;
            }
        }
    }
    if (shrink > 1) {
        VipsImage* loaded =
            vips_image_new_from_file(name.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, "shrink", shrink, nullptr);
        VipsImage* rgb = loaded ? toRgb(loaded) : nullptr;
        if (rgb != nullptr &&
            fitsEveryBox(vips_image_get_width(rgb), vips_image_get_height(rgb), width, height, boxes)) {
            picture.image = std::make_unique<Picture::Image>(rgb);
            return;
        }
        // Anything unexpected: the whole picture, with the usual messages.
        if (rgb != nullptr) {
            g_object_unref(rgb);
        }
        vips_error_clear();
    }
    LoadPicture(name, picture);
}

void StartPictureLibrary()
{
    ensureVips();
}

void ReleasePictureThread()
{
    // Before the library has started there is nothing to free, and its
    // thread shutdown would crash.
    if (vipsStarted) {
        vips_thread_shutdown();
    }
}

std::string PictureLibraryVersion()
{
    return vips_version_string();
}

std::pair<int, int> ScaledSize(int width, int height, int maxWidth, int maxHeight)
{
    if (width <= 0 || height <= 0) {
        return {0, 0};
    }
    const double scale =
        std::min({1.0, static_cast<double>(maxWidth) / width, static_cast<double>(maxHeight) / height});
    return {std::max(1, roundHalfEven(width * scale)), std::max(1, roundHalfEven(height * scale))};
}

void SaveScaledJpeg(Picture& picture, const std::string& file, int maxWidth, int maxHeight, int quality)
{
    ensureVips();
    if (picture.Empty()) {
        throw Error(msg::PictureNothingToSave, {file});
    }
    const int w = picture.Width();
    const int h = picture.Height();
    const auto [tw, th] = ScaledSize(w, h, maxWidth, maxHeight);
    VipsImage* scaled = nullptr;
    if (tw == w && th == h) {
        scaled = picture.image->vips;
        g_object_ref(scaled);
    } else {
        VipsImage* resized = nullptr;
        const double hscale = static_cast<double>(tw) / w;
        const double vscale = static_cast<double>(th) / h;
        if (vips_resize(picture.image->vips, &resized, hscale, "vscale", vscale, "kernel", VIPS_KERNEL_LANCZOS3,
                        nullptr) != 0) {
            throw Error(msg::PictureCannotScale, {file, vipsReason()});
        }
        // Rounding inside the library may leave a pixel more or less.
        if (vips_image_get_width(resized) != tw || vips_image_get_height(resized) != th) {
            VipsImage* fitted = nullptr;
            const int rc = vips_gravity(resized, &fitted, VIPS_COMPASS_DIRECTION_NORTH_WEST, tw, th, "extend",
                                        VIPS_EXTEND_COPY, nullptr);
            g_object_unref(resized);
            if (rc != 0) {
                throw Error(msg::PictureCannotScale, {file, vipsReason()});
            }
            resized = fitted;
        }
        scaled = vips_image_copy_memory(resized);
        g_object_unref(resized);
        if (scaled == nullptr) {
            throw Error(msg::PictureCannotScale, {file, vipsReason()});
        }
    }
    const int q = std::clamp(quality, 1, 100);
    if (vips_jpegsave(scaled, file.c_str(), "Q", q, "interlace", TRUE, "strip", TRUE, "optimize_coding", TRUE,
                      nullptr) != 0) {
        g_object_unref(scaled);
        throw Error(msg::PictureCannotWrite, {file, vipsReason()});
    }
    picture.image = std::make_unique<Picture::Image>(scaled);
}

} // namespace quillane
