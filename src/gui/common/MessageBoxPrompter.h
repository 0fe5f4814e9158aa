#pragma once

#include "core/common/Prompter.h"

class QWidget;

namespace quillane::gui {

// Asks the merchant with modal message boxes.
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    Answer Ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) override;
    void Tell(const std::string& caption, const std::string& text) override;

private:
    QWidget* parent_;
};

} // namespace quillane::gui
