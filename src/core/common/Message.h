#pragma once

#include "core/common/MessageKey.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillane {

struct Message;

// A value a message names: a text as it stands (control characters are
// spelled out when it is said), or another message, such as the cause of
// a failure, said in the same language as the one naming it.
class MessageArg {
public:
    MessageArg(std::string text) : text_(std::move(text)) {}
    MessageArg(std::string_view text) : text_(text) {}
    MessageArg(const char* text) : text_(text) {}
    MessageArg(const Message& message);
    MessageArg(long long number) : text_(std::to_string(number)) {}
    MessageArg(int number) : text_(std::to_string(number)) {}
    MessageArg(std::size_t number) : text_(std::to_string(number)) {}

    const std::string& Text() const { return text_; }
    // The message it stands for, or nullptr for a plain text.
    const Message* Nested() const { return nested_.get(); }

private:
    std::string text_;
    std::shared_ptr<const Message> nested_;
};

// A text for the merchant: its key and the values it names.
struct Message {
    MessageKey Key;
    std::vector<MessageArg> Args;
};

// The text template of a key in the interface language; empty for "none",
// when the English one is used.
using MessageTemplates = std::function<std::string_view(MessageKey)>;

// The message as the merchant reads it: "|" of the template becomes a line
// break, %n the n-th argument.
std::string SayMessage(const Message& message, const MessageTemplates& templates);
// In English, as the command-line tool and the logs say it.
std::string EnglishText(const Message& message);

} // namespace quillane
