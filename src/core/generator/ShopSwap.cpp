#include "core/generator/ShopSwap.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/messages/GeneratorMessages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>

namespace fs = std::filesystem;

namespace quillane {

namespace {

// The shop folder without its trailing "/". A shop folder that is a link (to
// a web server's folder, say) stays a link: the new shop moves in where it
// points.
std::string shopFolder(const std::string& shopDir)
{
    const std::string path = ExcludeTrailingSlash(shopDir);
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        const fs::path target = fs::canonical(path, ec);
        if (!ec) {
            return target.string();
        }
    }
    return path;
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

void removeAll(const std::string& path)
{
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) {
        throw Error(msg::GeneratorCannotRemoveFolder, {path, SystemReason(ec.value())});
    }
}

void moveFolder(const std::string& from, const std::string& to)
{
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) {
        throw Error(msg::GeneratorCannotRenameFolder, {from, to, SystemReason(ec.value())});
    }
}

} // namespace

std::string ShopBuildFolder(const std::string& shopDir)
{
    return shopFolder(shopDir) + ".new/";
}

std::string ShopAsideFolder(const std::string& shopDir)
{
    return shopFolder(shopDir) + ".old/";
}

void TidyShopFolders(const std::string& shopDir)
{
    const std::string shop = shopFolder(shopDir);
    const std::string build = ExcludeTrailingSlash(ShopBuildFolder(shopDir));
    const std::string aside = ExcludeTrailingSlash(ShopAsideFolder(shopDir));
    if (exists(aside)) {
        if (!exists(shop)) {
            // Stopped between the two moves: the earlier shop is aside and
            // the new one, whole, still in the build folder.
            moveFolder(exists(build) ? build : aside, shop);
        }
        if (exists(aside)) {
            removeAll(aside);
        }
    }
    // A build that never moved in, or the earlier shop it was swapped with.
    if (exists(build)) {
        removeAll(build);
    }
}

ShopBuild::ShopBuild(const std::string& shopDir) : shop_(shopFolder(shopDir)), build_(ShopBuildFolder(shopDir))
{
    TidyShopFolders(shopDir);
    CreateFolder(build_);
}

ShopBuild::~ShopBuild()
{
    if (!placed_) {
        std::error_code ec;
        fs::remove_all(ExcludeTrailingSlash(build_), ec);
    }
}

void ShopBuild::PutInPlace()
{
    const std::string build = ExcludeTrailingSlash(build_);
    if (!exists(shop_)) {
        moveFolder(build, shop_);
        placed_ = true;
        return;
    }
    // One step where the file system allows it: the shop folder is never
    // missing, not even for a moment.
    if (::renameat2(AT_FDCWD, build.c_str(), AT_FDCWD, shop_.c_str(), RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            throw Error(msg::GeneratorCannotSwapShop, {build, shop_, SystemReason(errno)});
        }
        // Else in two moves; a run stopped between them is finished by the
        // next one (TidyShopFolders).
        const std::string aside = ExcludeTrailingSlash(ShopAsideFolder(shop_));
        moveFolder(shop_, aside);
        try {
            moveFolder(build, shop_);
        } catch (const Error&) {
            std::error_code ec;
            fs::rename(aside, shop_, ec);
            throw;
        }
        placed_ = true;
        std::error_code ec;
        fs::remove_all(aside, ec);
        return;
    }
    placed_ = true;
    // The earlier shop is in the build folder now. What cannot be removed
    // here the next run removes.
    std::error_code ec;
    fs::remove_all(build, ec);
}

} // namespace quillane
