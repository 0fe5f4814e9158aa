// A help page cut out at an anchor. The first line is the anchor, the rest
// the page.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/common/HelpPage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const std::string_view text = fuzz::AsText(data, size);
    const std::size_t eol = text.find('\n');
    const std::string anchor(text.substr(0, eol == std::string_view::npos ? 0 : eol));
    const std::string_view page = eol == std::string_view::npos ? text : text.substr(eol + 1);
    const std::string dir = fuzz::CleanScratch();
    fuzz::WriteBytes(dir + "page.html", page);
    try {
        BuildHelpPage(dir + "page.html", anchor, dir + "out.html");
    } catch (const Error&) {
    }
    return 0;
}
