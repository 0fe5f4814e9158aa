#pragma once

#include "core/common/Error.h"
#include "core/common/Prompter.h"

#include <exception>
#include <utility>

namespace quillane::gui {

// Runs operation; when it throws, the merchant is told why and false comes
// back. The one way the windows report a failed operation.
template <typename F> bool guarded(Prompter& prompter, F&& operation)
{
    try {
        std::forward<F>(operation)();
        return true;
    } catch (const std::exception& e) {
        prompter.TellError(MessageOf(e));
        return false;
    }
}

} // namespace quillane::gui
