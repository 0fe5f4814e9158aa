#pragma once

#include <string>

namespace quillane {

// What a request for the generated shop is answered with. The shop is served
// from 127.0.0.1 to the embedded browser because pages in its frame reach
// their parent window, which the browser forbids between file: pages.
struct ShopResponse {
    int Status = 404;
    std::string Reason = "Not Found";
    std::string Path;        // file to send when Status is 200
    std::string ContentType; // for Path
};

// Maps a request line's method and target to a file below root. Only GET and
// HEAD are answered; query and fragment are ignored; "/" and folders mean
// their index.html; a target that is not plain path below root (escaped
// slashes, "..", NUL) is refused, so nothing outside the shop can be read.
ShopResponse ResolveShopRequest(const std::string& root, const std::string& method, const std::string& target);

// Content type by file extension. The generated text files are Windows-1252.
std::string ShopContentType(const std::string& path);

} // namespace quillane
