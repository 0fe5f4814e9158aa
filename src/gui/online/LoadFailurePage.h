#pragma once

#include "core/common/Message.h"

#include <functional>
#include <optional>
#include <string>

class QWebEnginePage;

namespace quillane::gui {

// Says a message in the interface language (Windows-1252).
using SayText = std::function<std::string(const Message&)>;

// In place of the browser engine's own error page, which speaks the
// engine's language and names codes the merchant cannot act on, a page that
// cannot be reached shows ours: the headline, the address and the engine's
// reason, and the advice when given. A page the server answered with an
// error status is shown as the server sent it.
void ShowOwnLoadFailures(QWebEnginePage* page, SayText say, MessageKey headline,
                         std::optional<MessageKey> advice = std::nullopt);

} // namespace quillane::gui
