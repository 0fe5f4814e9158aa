#pragma once

#include <string>

namespace quillane {

// Cuts the section of a help page between "<!-- +anchor -->" and
// "<!-- -anchor -->" out, wraps it as a small page of its own and writes it
// to outFile. Throws an error naming the page when it cannot be read.
void BuildHelpPage(const std::string& sourceFile, const std::string& anchor, const std::string& outFile);

// One copied line: links reduced to their text, list dashes removed while
// "- und" (as in "Ein- und Ausgabe") stays.
std::string TransformHelpLine(const std::string& line);

} // namespace quillane
