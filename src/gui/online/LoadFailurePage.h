#pragma once

#include "core/common/Message.h"

#include <functional>
#include <optional>
#include <string>

class QUrl;
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

// The address that failed while the page shows ours for it, so loading it
// again retries that address; empty otherwise.
QUrl FailedAddress(const QWebEnginePage* page);

} // namespace quillane::gui
