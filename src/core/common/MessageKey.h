#pragma once

#include <span>
#include <string_view>

namespace quillane {

// A message the core can hand to the merchant, named so the window can say
// it in the interface language. Each subsystem lists its own in
// messages/<subsystem>.def as QUILLANE_MESSAGE(Key, "English text") and
// offers them as constants msg::Key through messages/<Subsystem>Messages.h:
// "|" breaks a line, %1..%9 are the message's arguments, %% is a percent
// sign. The language files carry the same keys in their section "Messages".
struct MessageKey {
    std::string_view Name;
    std::string_view English;

    friend bool operator==(const MessageKey& a, const MessageKey& b) { return a.Name == b.Name; }
};

namespace msg {
// Any failure that is not the core's own Error.
inline constexpr MessageKey Unexpected{"Unexpected", "The operation failed unexpectedly: %1"};
// An English text from a part that has no key of its own yet.
inline constexpr MessageKey Plain{"Plain", "%1"};
} // namespace msg

// Every key of every subsystem, in the order the lists give them.
std::span<const MessageKey> AllMessages();

} // namespace quillane
