#pragma once

#include <stdexcept>
#include <string>

namespace quillane {

// An error that ends the current operation and is shown to the merchant
// with its text. The text is Windows-1252 like every other text of the core.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace quillane
