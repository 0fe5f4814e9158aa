#pragma once

#include <string>
#include <vector>

namespace quillane {

// pictures.ini of the working copy: a section per order number, keys 1, 2, ...
// without gaps, holding the full paths of the item's pictures in the order
// they are shown and generated.
std::string PictureListPath(const std::string& tempDir);

class PictureList {
public:
    explicit PictureList(std::string tempDir);

    // The item's picture paths, picture 1 first.
    std::vector<std::string> Pictures(const std::string& orderNo) const;
    int Count(const std::string& orderNo) const;
    // Appends a picture; returns its number.
    int Add(const std::string& orderNo, const std::string& path);
    // Removes picture number k; the later ones move up one place.
    void Remove(const std::string& orderNo, int k);

private:
    std::string path_;
};

// Builds the picture list of an older project, which kept one bitmap per
// item in its data folder, named by the order number.
void ImportPics(const std::string& tempDir, const std::string& dataDir);

} // namespace quillane
