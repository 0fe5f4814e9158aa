#pragma once

#include "core/common/Error.h"

#include <string>

namespace quillane::orderd {

// The service speaks English only, in its answers and its log: its errors
// carry their text as it stands, under a key of their own that no language
// file translates. Being an Error still, they are caught where the core's are.
inline constexpr MessageKey kServiceText{"ServiceText", "%1"};

class ServiceError : public Error {
public:
    explicit ServiceError(const std::string& text) : Error(kServiceText, {MessageArg(text)}) {}
};

} // namespace quillane::orderd
