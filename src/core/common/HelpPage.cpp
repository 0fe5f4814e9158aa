#include "core/common/HelpPage.h"

#include "core/common/Files.h"
#include "core/common/Text.h"

#include <vector>

namespace quillane {

std::string TransformHelpLine(const std::string& line)
{
    std::string out = line;
    const std::string attributes = ExtractBetween("<a?>", out, "?");
    if (!attributes.empty()) {
        out = ReplaceAll(out, "<a" + attributes + ">", "");
        out = ReplaceAll(out, "</a>", "");
    }
    out = ReplaceAll(out, "- und", "+ und");
    out = ReplaceAll(out, "- ", "");
    out = ReplaceAll(out, "+ und", "- und");
    return out;
}

void BuildHelpPage(const std::string& sourceFile, const std::string& anchor, const std::string& outFile)
{
    const std::string content = ReadFile(sourceFile);
    std::vector<std::string> lines = {
        "<html>",
        "<body bgcolor=\"#ffffdd\">",
        "<style type=\"text/css\">",
        "div {color: #c00000; font-weight: bold; text-decoration: underline;}",
        "</style>",
        "<font style=\"font-family: arial; font-size: 8pt;\">",
    };
    const std::string start = "*<!-- +" + anchor + " -->*";
    const std::string end = "*<!-- -" + anchor + " -->*";
    bool copying = false;
    for (const std::string& line : SplitLines(content)) {
        if (MatchWildcard(line, end)) {
            copying = false;
        }
        if (copying) {
            lines.push_back(TransformHelpLine(line));
        }
        if (MatchWildcard(line, start)) {
            copying = true;
        }
    }
    lines.insert(lines.end(), {"</font>", "</body>", "</html>"});
    std::string out;
    for (const std::string& l : lines) {
        out += l;
        out += "\r\n";
    }
    WriteTextFile(outFile, out);
}

} // namespace quillane
