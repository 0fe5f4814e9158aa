#include "core/generator/PictureSets.h"

#include "core/catalog/ItemDetails.h"
#include "core/catalog/PictureList.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/generator/PictureCache.h"
#include "core/imaging/Picture.h"

#include <algorithm>
#include <vector>

namespace quillane {

namespace {

constexpr int kXxlWidth = 560;
constexpr int kXxlHeight = 700;
constexpr int kMediumSize = 120;
constexpr int kSmallSize = 50;

std::string extensionOf(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot);
}

} // namespace

void CreatePictureFolders(const GenerationRun& run)
{
    for (const char* size : {"xxl/", "large/", "medium/", "small/", "large_2x/", "medium_2x/", "small_2x/"}) {
        const std::string folder = run.In.ShopDir + "pictures/" + size;
        CreateFolder(folder);
    }
}

std::string PictureSettingsFingerprint(const GenerationRun& run)
{
    const PictureSettings& p = run.Pictures;
    // The number after "sets" changes with the way the sets are scaled.
    return "sets 2 large " + std::to_string(p.MaxWidth) + "x" + std::to_string(p.MaxHeight) + " xxl " +
           std::to_string(kXxlWidth) + "x" + std::to_string(kXxlHeight) + " medium " + std::to_string(kMediumSize) +
           " small " + std::to_string(kSmallSize) + " quality " + std::to_string(p.Quality) + " optimize " +
           (p.Optimize ? "1" : "0") + " library " + PictureLibraryVersion();
}

PicturePlan PlanPictures(const GenerationRun& run, const IniFile& pictureList, const std::string& itemKey,
                         const std::string& mainPicture)
{
    PicturePlan plan;
    const std::string folder = run.In.ShopDir + "pictures/";
    const std::string name = ItemFileName(itemKey);
    std::string main = mainPicture;
    // The entries are counted, and then looked up as 1, 2, ...: a list with
    // gaps loses its last pictures, as it always has.
    const std::size_t entries = pictureList.ReadSection(itemKey).size();
    for (std::size_t k = 1; k <= entries; ++k) {
        const std::string source = pictureList.ReadString(itemKey, std::to_string(k), "");
        if (source.empty() || !FileExists(source)) {
            continue;
        }
        ++plan.Count;
        if (main.empty()) {
            main = "1";
        }
        PictureTask task;
        task.ItemKey = itemKey;
        task.Source = source;
        const std::string numbered = name + "_" + std::to_string(plan.Count) + ".jpg";
        if (run.In.Choices.Xxl) {
            task.XxlFile = folder + "xxl/" + numbered;
        }
        task.LargeFile = folder + "large/" + numbered;
        if (run.In.DoublePictures) {
            task.Large2xFile = folder + "large_2x/" + numbered;
        }
        task.CopyLarge = !run.Pictures.Optimize && extensionOf(source) == ".jpg";
        if (std::to_string(k) == main) {
            task.MediumFile = folder + "medium/" + name + ".jpg";
            task.SmallFile = folder + "small/" + name + ".jpg";
            if (run.In.DoublePictures) {
                task.Medium2xFile = folder + "medium_2x/" + name + ".jpg";
                task.Small2xFile = folder + "small_2x/" + name + ".jpg";
            }
            plan.MainTask = static_cast<int>(plan.Tasks.size());
        }
        plan.Tasks.push_back(std::move(task));
    }
    return plan;
}

PictureWorkers::PictureWorkers(const GenerationRun& run, std::vector<PictureTask> tasks, int threads)
    : run_(run), tasks_(std::move(tasks)), errors_(tasks_.size()), done_(tasks_.size(), 0)
{
    // Two per core by default: between its steps a worker waits for the
    // picture library's own threads, and the other one keeps the core busy.
    std::size_t count =
        threads > 0 ? static_cast<std::size_t>(threads) : 2 * std::max(1U, std::thread::hardware_concurrency());
    count = std::min(count, tasks_.size());
    if (count <= 1) {
        return; // WaitFor does the work
    }
    // Started here and not by the first picture a worker loads: a worker
    // that ends without a task must find the library running.
    StartPictureLibrary();
    threads_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        threads_.emplace_back([this] { work(); });
    }
}

PictureWorkers::~PictureWorkers()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    for (std::thread& t : threads_) {
        t.join();
    }
}

void PictureWorkers::WaitFor(std::size_t end)
{
    end = std::min(end, tasks_.size());
    if (threads_.empty()) {
        while (doneUpTo_ < end) {
            runTask(doneUpTo_);
            ++doneUpTo_;
        }
        return;
    }
    std::unique_lock lock(mutex_);
    // After a failure no new task starts; the ones started still finish.
    finished_.wait(lock, [&] { return doneUpTo_ >= end || (stop_ && doneUpTo_ >= next_); });
    for (std::size_t i = 0; i < std::min(end, doneUpTo_); ++i) {
        if (errors_[i]) {
            std::rethrow_exception(errors_[i]);
        }
    }
}

void PictureWorkers::work()
{
    bool usedPictures = false;
    for (;;) {
        std::size_t index = 0;
        {
            const std::lock_guard lock(mutex_);
            if (stop_ || next_ >= tasks_.size()) {
                break;
            }
            index = next_++;
        }
        std::exception_ptr error;
        usedPictures = true;
        try {
            runTask(index);
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            errors_[index] = error;
            done_[index] = 1;
            if (error) {
                stop_ = true;
            }
            while (doneUpTo_ < tasks_.size() && done_[doneUpTo_] != 0) {
                ++doneUpTo_;
            }
        }
        finished_.notify_all();
    }
    if (usedPictures) {
        ReleasePictureThread();
    }
}

void PictureWorkers::runTask(std::size_t index)
{
    const PictureTask& task = tasks_[index];
    const PictureSettings& settings = run_.Pictures;
    // Stamped before it is read: a source changed meanwhile is made anew next time.
    const FileStamp source = run_.Cache != nullptr ? StampOf(task.Source) : FileStamp{};
    if (run_.Cache != nullptr && run_.Cache->Reuse(task, source)) {
        return;
    }
    try {
        // Decoded once, no larger than the largest size made needs.
        std::vector<std::pair<int, int>> boxes;
        const auto box = [&](const std::string& file, int maxWidth, int maxHeight) {
            if (!file.empty()) {
                boxes.emplace_back(maxWidth, maxHeight);
            }
        };
        box(task.XxlFile, kXxlWidth, kXxlHeight);
        box(task.CopyLarge ? std::string() : task.LargeFile, settings.MaxWidth, settings.MaxHeight);
        box(task.MediumFile, kMediumSize, kMediumSize);
        box(task.SmallFile, kSmallSize, kSmallSize);
        box(task.Large2xFile, 2 * settings.MaxWidth, 2 * settings.MaxHeight);
        box(task.Medium2xFile, 2 * kMediumSize, 2 * kMediumSize);
        box(task.Small2xFile, 2 * kSmallSize, 2 * kSmallSize);
        Picture picture;
        LoadPictureForBoxes(task.Source, picture, boxes);
        if (picture.Empty()) {
            // A path without an extension would otherwise be taken for an embedded picture.
            throw Error(msg::GeneratorUnknownPicture, {task.Source});
        }
        // Every size made stays at hand (sharing its bitmap) for the double
        // sizes below.
        const int width = picture.Width();
        const int height = picture.Height();
        std::vector<Picture> made;
        made.push_back(SharePicture(picture));
        const auto save = [&](const std::string& file, int maxWidth, int maxHeight) {
            SaveScaledJpeg(picture, file, maxWidth, maxHeight, settings.Quality);
            made.push_back(SharePicture(picture));
        };
        if (!task.XxlFile.empty()) {
            save(task.XxlFile, kXxlWidth, kXxlHeight);
        }
        if (task.CopyLarge) {
            if (!CopyFileTo(task.Source, task.LargeFile)) {
                throw Error(msg::GeneratorCannotCopyPicture, {task.Source, task.LargeFile});
            }
        } else {
            save(task.LargeFile, settings.MaxWidth, settings.MaxHeight);
        }
        if (!task.MediumFile.empty()) {
            save(task.MediumFile, kMediumSize, kMediumSize);
            save(task.SmallFile, kSmallSize, kSmallSize);
        }
        // The double sizes, each scaled from the smallest picture made so far
        // that holds its size, so that they cost little beside the usual ones
        // (those stay each scaled from the one before).
        const auto twice = [&](const std::string& file, int maxWidth, int maxHeight) {
            if (file.empty()) {
                return;
            }
            const auto [w, h] = ScaledSize(width, height, maxWidth, maxHeight);
            const Picture* from = &made.front();
            for (const Picture& p : made) {
                if (p.Width() >= w && p.Height() >= h && p.Width() < from->Width()) {
                    from = &p;
                }
            }
            Picture sharp = SharePicture(*from);
            SaveScaledJpeg(sharp, file, maxWidth, maxHeight, settings.Quality);
            made.push_back(std::move(sharp));
        };
        twice(task.Large2xFile, 2 * settings.MaxWidth, 2 * settings.MaxHeight);
        twice(task.Medium2xFile, 2 * kMediumSize, 2 * kMediumSize);
        twice(task.Small2xFile, 2 * kSmallSize, 2 * kSmallSize);
        if (run_.Cache != nullptr) {
            run_.Cache->Remember(task, source);
        }
    } catch (const Error& e) {
        throw Error(msg::GeneratorPictureOfItem, {task.ItemKey, e.Said()});
    }
}

int CreatePictures(GenerationRun& run, const std::string& itemKey, const std::string& mainPicture)
{
    CreatePictureFolders(run);
    const IniFile pictureList(PictureListPath(run.In.WorkDir));
    PicturePlan plan = PlanPictures(run, pictureList, itemKey, mainPicture);
    const std::size_t tasks = plan.Tasks.size();
    PictureWorkers workers(run, std::move(plan.Tasks), 0);
    workers.WaitFor(tasks);
    return plan.Count;
}

} // namespace quillane
