#pragma once

#include "core/common/Files.h"

#include <filesystem>
#include <random>
#include <string>

namespace quillane::test {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        path_ = (std::filesystem::temp_directory_path() / ("quillane-test-" + std::to_string(rd()))).string() + "/";
        std::filesystem::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }
    std::string write(const std::string& name, const std::string& content) const
    {
        const std::string p = file(name);
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        WriteTextFile(p, content);
        return p;
    }
    std::string read(const std::string& name) const { return ReadFile(file(name)); }

private:
    std::string path_;
};

} // namespace quillane::test
