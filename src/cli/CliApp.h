#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillane::cli {

// Runs quillane-cli with its arguments (without the program name);
// returns the exit code. Output is UTF-8.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quillane::cli
