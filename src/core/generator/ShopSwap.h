#pragma once

#include <string>

namespace quillane {

// A run builds the new shop in a folder beside the shop folder and puts it in
// place only when all of it is written, so that the shop folder always holds
// a whole shop, the earlier one or the new one, whatever stops a run.
class ShopBuild {
public:
    // Tidies what an interrupted run left and makes an empty build folder.
    explicit ShopBuild(const std::string& shopDir);
    // Removes the build folder unless it was put in place.
    ~ShopBuild();
    ShopBuild(const ShopBuild&) = delete;
    ShopBuild& operator=(const ShopBuild&) = delete;

    // Where the run writes, ending in "/".
    const std::string& Folder() const { return build_; }
    // Makes the built shop the shop folder and removes the earlier one.
    void PutInPlace();

private:
    std::string shop_;  // the shop folder, without the trailing "/"
    std::string build_; // beside it
    bool placed_ = false;
};

// The folders a run uses beside the shop folder: the one it builds in and
// the one the earlier shop waits in while the new one moves in.
std::string ShopBuildFolder(const std::string& shopDir);
std::string ShopAsideFolder(const std::string& shopDir);

// Puts back the earlier shop when a run stopped between moving it aside and
// moving the new one in, and removes what else such a run left beside the
// shop folder.
void TidyShopFolders(const std::string& shopDir);

} // namespace quillane
