#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace quillane {

// Every message the core can hand to the merchant, named so the window can
// say it in the interface language. Each subsystem lists its own in
// messages/<subsystem>.def as QUILLANE_MESSAGE(Key, "English text"): "|"
// breaks a line, %1..%9 are the message's arguments, %% is a percent sign.
// The language files carry the same keys in their section "Messages".
#ifdef Q_MOC_RUN
// The window's code generator cannot follow the lists; it needs no values.
enum class MessageKey;
#else
enum class MessageKey {
#define QUILLANE_MESSAGE(key, english) key,
#include "core/common/messages/all.def"
#undef QUILLANE_MESSAGE
};
#endif

struct MessageInfo {
    MessageKey Key;
    std::string_view Name;
    std::string_view English;
};

// Every key, in the order the .def files list them.
std::span<const MessageInfo> AllMessages();
const MessageInfo& InfoOf(MessageKey key);

} // namespace quillane
