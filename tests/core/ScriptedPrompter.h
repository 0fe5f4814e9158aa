#pragma once

#include "core/common/Prompter.h"

#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillane::test {

// Answers questions from a queue and keeps what was asked. A question
// nobody expected fails the test and is answered with Cancel.
class ScriptedPrompter : public Prompter {
public:
    struct Question {
        std::string caption;
        std::string text;
        Buttons buttons;
    };

    void Queue(Answer answer) { answers_.push_back(answer); }

    Answer Ask(const std::string& caption, const std::string& text, Buttons buttons, Icon) override
    {
        asked.push_back({caption, text, buttons});
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question: " << caption << " / " << text;
            return Answer::Cancel;
        }
        const Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void Tell(const std::string& caption, const std::string& text) override { told.push_back(caption + ": " + text); }

    // Every queued answer was used.
    bool Drained() const { return answers_.empty(); }

    std::vector<Question> asked;
    std::vector<std::string> told;

private:
    std::deque<Answer> answers_;
};

} // namespace quillane::test
