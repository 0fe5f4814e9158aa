// Clicking through items with 1600x1200 JPEG photos: how long the window's
// thread is held per click when the details area decodes the photo at full
// size and scales it there (the old way), against handing a decode at the
// shown size to a worker and only turning its small result into a pixmap
// (the way the window works now). Both measured in this process on the same
// pictures. Run by hand: bench_details_picture [pictures]
#include "BenchSupport.h"

#include "core/imaging/Picture.h"
#include "gui/common/Pictures.h"

#include <QFutureWatcher>
#include <QGuiApplication>
#include <QPixmap>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vips/vips.h>

namespace fs = std::filesystem;
using namespace quillane;
using namespace quillane::bench;

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;
// The details area's picture box less its frame.
const QSize kShown(156, 116);

// A photo-like picture of its own for every k: waves of colour with a
// little noise, so the JPEG is as costly to decode as a real photo.
bool makePicture(const std::string& path, int k)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
    std::uint32_t noise = 2654435761u * static_cast<std::uint32_t>(k + 1);
    const int fx = 3 + k % 17;
    const int fy = 5 + (k / 17) % 13;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 28) - 8;
            const int wave = ((x * fx + y * fy + k * 31) / 7) % 512;
            const int tri = wave < 256 ? wave : 511 - wave;
            unsigned char* p = &pixels[(static_cast<std::size_t>(y) * kWidth + x) * 3];
            p[0] = static_cast<unsigned char>(std::clamp(tri + n, 0, 255));
            p[1] = static_cast<unsigned char>(std::clamp((x * 255 / kWidth + k * 7) % 256 + n, 0, 255));
            p[2] = static_cast<unsigned char>(std::clamp((y * 255 / kHeight + (255 - tri) / 2) % 256 + n, 0, 255));
        }
    }
    VipsImage* image = vips_image_new_from_memory(pixels.data(), pixels.size(), kWidth, kHeight, 3, VIPS_FORMAT_UCHAR);
    if (image == nullptr) {
        return false;
    }
    const int rc = vips_jpegsave(image, path.c_str(), "Q", 90, nullptr);
    g_object_unref(image);
    return rc == 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    StartPictureLibrary();
    const std::string folder = (fs::temp_directory_path() / "quillane-details-bench/").string();
    fs::create_directories(folder);
    std::vector<std::string> pictures;
    for (int k = 0; k < count; ++k) {
        const std::string path = folder + "p" + std::to_string(k) + ".jpg";
        if (!fs::exists(path) && !makePicture(path, k)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        pictures.push_back(path);
    }

    // Old: the whole photo decoded and scaled on the window's thread.
    std::vector<double> oldBlocked;
    for (const std::string& path : pictures) {
        const Clock::time_point start = Clock::now();
        const QPixmap shown = gui::loadPixmap(path).scaled(kShown, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        oldBlocked.push_back(since(start));
        if (shown.width() > kShown.width() || shown.height() > kShown.height()) {
            return 1;
        }
    }

    // New: the window's thread only starts the decode and makes the pixmap
    // of its result; the decode itself is timed on the worker.
    std::vector<double> newBlocked;
    std::vector<double> workerDecode;
    for (const std::string& path : pictures) {
        Clock::time_point start = Clock::now();
        QFutureWatcher<std::pair<QImage, double>> watcher;
        watcher.setFuture(QtConcurrent::run([path] {
            const Clock::time_point decodeStart = Clock::now();
            QImage image = gui::loadImageToFit(path, kShown);
            ReleasePictureThread();
            return std::make_pair(image, since(decodeStart));
        }));
        double blocked = since(start);
        watcher.waitForFinished(); // the window would run its event loop meanwhile
        start = Clock::now();
        const QPixmap shown = QPixmap::fromImage(watcher.result().first);
        blocked += since(start);
        newBlocked.push_back(blocked);
        workerDecode.push_back(watcher.result().second);
        if (shown.width() > kShown.width() || shown.height() > kShown.height() || shown.isNull()) {
            return 1;
        }
    }

    const double oldMs = median(oldBlocked) * 1000;
    const double newMs = median(newBlocked) * 1000;
    const double decodeMs = median(workerDecode) * 1000;
    std::printf("%d pictures of %dx%d shown at %dx%d, median per click\n", count, kWidth, kHeight, kShown.width(),
                kShown.height());
    std::printf("  window thread blocked, old (full decode + scale): %8.2f ms\n", oldMs);
    std::printf("  window thread blocked, new (start + pixmap):      %8.3f ms\n", newMs);
    std::printf("  decode at the shown size on the worker:           %8.2f ms\n", decodeMs);
    std::printf("  ratio blocked old / new: %.0fx; decode old / new: %.1fx\n", oldMs / newMs, oldMs / decodeMs);
    return 0;
}
