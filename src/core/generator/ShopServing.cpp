#include "core/generator/ShopServing.h"

#include "core/common/Files.h"
#include "core/common/Text.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace quillane {

namespace {

ShopResponse answer(int status, const char* reason)
{
    ShopResponse r;
    r.Status = status;
    r.Reason = reason;
    return r;
}

// Percent-decodes a path; false when an escape is broken or decodes to a
// byte that must not reach the file system.
bool decodePath(const std::string& in, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '%') {
            if (i + 2 >= in.size()) {
                return false;
            }
            const int hi = HexDigitValue(in[i + 1]);
            const int lo = HexDigitValue(in[i + 2]);
            if (hi < 0 || lo < 0) {
                return false;
            }
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
            if (c == '/' || c == '\\') {
                return false;
            }
        }
        if (c == '\0' || c == '\\') {
            return false;
        }
        out += c;
    }
    return true;
}

} // namespace

std::string ShopContentType(const std::string& path)
{
    const std::string ext = LowerCase(fs::path(path).extension().string());
    if (ext == ".html" || ext == ".htm") {
        return "text/html; charset=windows-1252";
    }
    if (ext == ".js") {
        return "text/javascript; charset=windows-1252";
    }
    if (ext == ".css") {
        return "text/css; charset=windows-1252";
    }
    if (ext == ".jpg" || ext == ".jpeg") {
        return "image/jpeg";
    }
    if (ext == ".gif") {
        return "image/gif";
    }
    if (ext == ".png") {
        return "image/png";
    }
    if (ext == ".svg") {
        return "image/svg+xml";
    }
    if (ext == ".ico") {
        return "image/x-icon";
    }
    if (ext == ".txt") {
        return "text/plain; charset=windows-1252";
    }
    return "application/octet-stream";
}

ShopResponse ResolveShopRequest(const std::string& root, const std::string& method, const std::string& target)
{
    if (method != "GET" && method != "HEAD") {
        return answer(405, "Method Not Allowed");
    }
    std::string raw = target.substr(0, target.find_first_of("?#"));
    if (raw.empty() || raw.front() != '/') {
        return answer(400, "Bad Request");
    }
    std::string path;
    if (!decodePath(raw, path)) {
        return answer(400, "Bad Request");
    }
    for (const std::string& part : Split('/', path)) {
        if (part == "..") {
            return answer(403, "Forbidden");
        }
    }
    std::string file = IncludeTrailingSlash(root) + path.substr(1);
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
        file = IncludeTrailingSlash(file) + "index.html";
    }
    if (!fs::is_regular_file(file, ec)) {
        return answer(404, "Not Found");
    }
    ShopResponse r = answer(200, "OK");
    r.Path = file;
    r.ContentType = ShopContentType(file);
    return r;
}

} // namespace quillane
