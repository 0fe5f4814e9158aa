#pragma once

#include "core/common/Message.h"

#include <string>

namespace quillane {

// The questions an operation asks the merchant. The window answers them
// with message boxes, tests with scripted answers.
class Prompter {
public:
    enum class Answer { Yes, No, Cancel };
    enum class Buttons { YesNo, YesNoCancel };
    enum class Icon { Question, Warning };

    virtual ~Prompter() = default;
    // caption and text are Windows-1252; line breaks are "\n".
    virtual Answer Ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) = 0;
    // A message with only an OK button.
    virtual void Tell(const std::string& caption, const std::string& text) = 0;
    // A failure, with the error icon, said in the interface language.
    virtual void TellError(const Message& message) { Tell("Quillane", EnglishText(message)); }
};

} // namespace quillane
