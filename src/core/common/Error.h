#pragma once

#include "core/common/Message.h"
#include "core/common/Text.h"

#include <stdexcept>
#include <string>

namespace quillane {

// An error that ends the current operation and is shown to the merchant.
// It carries a message key and its values, so the window says it in the
// interface language; what() is the English text, control characters of
// the values spelled out: a NUL in a value does not cut the message short,
// and a line break in a value does not pass for one of the message's own.
class Error : public std::runtime_error {
public:
    Error(MessageKey key, std::vector<MessageArg> args = {}) : Error(Message{key, std::move(args)}) {}
    explicit Error(Message message) : std::runtime_error(EnglishText(message)), message_(std::move(message)) {}
    // Every text for the merchant has a key, so none is left in English.
    explicit Error(const std::string& message) = delete;
    explicit Error(const char* message) = delete;

    const Message& Said() const { return message_; }

private:
    Message message_;
};

// What a caught exception says: the Error's own message, or any other
// failure as an unexpected one.
Message MessageOf(const std::exception& e);

} // namespace quillane
