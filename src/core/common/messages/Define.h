// Included by each subsystem's message header after naming its list in
// QUILLANE_MESSAGE_LIST: turns the list into constants msg::Key.
#include "core/common/MessageKey.h"

namespace quillane::msg {
#define QUILLANE_MESSAGE(key, english) inline constexpr MessageKey key{#key, english};
#include QUILLANE_MESSAGE_LIST
#undef QUILLANE_MESSAGE
} // namespace quillane::msg

#undef QUILLANE_MESSAGE_LIST
