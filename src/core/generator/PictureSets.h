#pragma once

#include "core/generator/Generation.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillane {

class IniFile;

// The work on one picture of an item: load it once, then write its sizes
// one after the other, each scaled from the previous result.
struct PictureTask {
    std::string ItemKey;
    std::string Source;
    std::string XxlFile; // empty: no extra-large picture
    std::string LargeFile;
    bool CopyLarge = false; // the source file as it is
    std::string MediumFile; // both empty unless this is the main picture
    std::string SmallFile;
    // The same at twice the size, for screens with more pixels than points.
    std::string Large2xFile;
    std::string Medium2xFile;
    std::string Small2xFile;
};

// An item's picture set, planned from the picture list and the existing
// files before anything is decoded: the count is known at once and the
// decoding can run on every core.
struct PicturePlan {
    int Count = 0;
    std::vector<PictureTask> Tasks; // one per existing picture, in number order
    int MainTask = -1;              // the task that writes the medium and small pictures
};

// Creates the picture folders of the shop that are missing.
void CreatePictureFolders(const GenerationRun& run);

// Everything besides the source that decides the bytes of a run's pictures.
std::string PictureSettingsFingerprint(const GenerationRun& run);

PicturePlan PlanPictures(const GenerationRun& run, const IniFile& pictureList, const std::string& itemKey,
                         const std::string& mainPicture);

// Carries out picture tasks in their order on a number of threads (0: one
// per core; 1: on the caller's thread, inside WaitFor). Every task writes
// files of its own, so the files do not depend on the number of threads.
class PictureWorkers {
public:
    PictureWorkers(const GenerationRun& run, std::vector<PictureTask> tasks, int threads);
    ~PictureWorkers();
    PictureWorkers(const PictureWorkers&) = delete;
    PictureWorkers& operator=(const PictureWorkers&) = delete;

    // Returns when the tasks before end are done; throws the error of the
    // first of them that failed.
    void WaitFor(std::size_t end);

private:
    void work();
    void runTask(std::size_t index);

    const GenerationRun& run_;
    std::vector<PictureTask> tasks_;
    std::vector<std::exception_ptr> errors_;
    std::vector<char> done_;
    std::size_t next_ = 0;     // the next task a worker takes
    std::size_t doneUpTo_ = 0; // every task before it is done
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<std::thread> threads_;
};

} // namespace quillane
