#include "core/common/Resources.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/common/messages/CommonMessages.h"

namespace quillane {

const ResourceEntry* FindResource(std::string_view name)
{
    for (const ResourceEntry* e = embedded::kResources; e->name != nullptr; ++e) {
        if (SameText(e->name, name)) {
            return e;
        }
    }
    return nullptr;
}

std::vector<std::string> ResourceNames()
{
    std::vector<std::string> names;
    for (const ResourceEntry* e = embedded::kResources; e->name != nullptr; ++e) {
        names.emplace_back(e->name);
    }
    return names;
}

bool ResourceToFile(std::string_view name, const std::string& file)
{
    const ResourceEntry* e = FindResource(name);
    if (e == nullptr) {
        throw Error(msg::ResourceMissing, {name});
    }
    WriteTextFile(file, std::string_view(reinterpret_cast<const char*>(e->data), e->size));
    return true;
}

} // namespace quillane
