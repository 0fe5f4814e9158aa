#include "core/common/Message.h"

#include "core/common/Error.h"
#include "core/common/Text.h"

namespace quillane {

namespace {

constexpr MessageKey kMessages[] = {
    msg::Unexpected,
    msg::Plain,
#define QUILLANE_MESSAGE(key, english) {#key, english},
#include "core/common/messages/all.def"
#undef QUILLANE_MESSAGE
};

// Arguments nest only as deep as the core builds them; a deeper chain is
// cut rather than followed.
constexpr int kMaxDepth = 8;

void say(std::string& out, const Message& message, const MessageTemplates& templates, int depth)
{
    std::string_view tpl = templates ? templates(message.Key) : std::string_view{};
    if (tpl.empty()) {
        tpl = message.Key.English;
    }
    for (std::size_t i = 0; i < tpl.size(); ++i) {
        const char c = tpl[i];
        if (c == '|') {
            out += '\n';
            continue;
        }
        if (c != '%' || i + 1 == tpl.size()) {
            out += c;
            continue;
        }
        const char next = tpl[i + 1];
        if (next == '%') {
            out += '%';
            ++i;
        } else if (next >= '1' && next <= '9') {
            const auto index = static_cast<std::size_t>(next - '1');
            ++i;
            if (index >= message.Args.size()) {
                continue;
            }
            const MessageArg& arg = message.Args[index];
            if (arg.Nested() != nullptr) {
                if (depth < kMaxDepth) {
                    say(out, *arg.Nested(), templates, depth + 1);
                }
            } else {
                out += VisibleControlChars(arg.Text());
            }
        } else {
            out += c;
        }
    }
}

} // namespace

MessageArg::MessageArg(const Message& message) : nested_(std::make_shared<const Message>(message)) {}

std::span<const MessageKey> AllMessages()
{
    return kMessages;
}

std::string SayMessage(const Message& message, const MessageTemplates& templates)
{
    std::string out;
    say(out, message, templates, 0);
    return out;
}

std::string EnglishText(const Message& message)
{
    return SayMessage(message, {});
}

Message MessageOf(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const Error*>(&e)) {
        return error->Said();
    }
    return Message{msg::Unexpected, {MessageArg(std::string(e.what()))}};
}

} // namespace quillane
