#pragma once

#include "core/common/Text.h"

#include <stdexcept>
#include <string>

namespace quillane {

// An error that ends the current operation and is shown to the merchant
// with its text. The text is Windows-1252 like every other text of the core.
// what() gives the whole text as it is shown, control characters spelled
// out: a NUL in a value it names does not cut the message short, and a line
// break in a value does not pass for one of the message's own.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(VisibleControlChars(message)) {}
};

} // namespace quillane
