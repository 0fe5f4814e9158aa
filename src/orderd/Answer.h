#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillane::orderd {

// What the service answers to one request, before it goes on the wire.
struct Answer {
    int Status = 200;
    std::string ContentType = "text/plain; charset=windows-1252";
    std::string Body;
    std::vector<std::pair<std::string, std::string>> Headers;
};

} // namespace quillane::orderd
