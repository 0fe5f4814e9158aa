#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillane::orderd {

// Runs one command line (without the program's name). Errors go to err as
// one line; the result is the exit status, 0 or 1.
int RunOrderd(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace quillane::orderd
