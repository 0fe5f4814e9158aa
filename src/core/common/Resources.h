#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Files under resources/ compiled into the program, found by name (the file
// name without extension) without regard to case.
namespace quillane {

struct ResourceEntry {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

namespace embedded {
extern const ResourceEntry kResources[]; // ends with a null name
}

// The bytes of the resource, or nullptr when there is none of that name.
const ResourceEntry* FindResource(std::string_view name);
std::vector<std::string> ResourceNames();

// Writes the exact bytes of the resource to file. Throws when the resource
// does not exist or the file cannot be written.
bool ResourceToFile(std::string_view name, const std::string& file);

} // namespace quillane
