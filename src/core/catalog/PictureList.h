#pragma once

#include <string>

namespace quillane {

// pictures.ini of the working copy: a section per order number, keys 1, 2, ...
// holding the paths of the item's pictures.
std::string PictureListPath(const std::string& tempDir);

// Builds the picture list of an older project, which kept one bitmap per
// item in its data folder, named by the order number.
void ImportPics(const std::string& tempDir, const std::string& dataDir);

} // namespace quillane
