#pragma once

#include "core/common/Prompter.h"

class QString;
class QWidget;

namespace quillane {
struct TextTables;
}

namespace quillane::gui {

// Asks the merchant with modal message boxes.
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // The buttons read as the language file says; the texts are kept by reference.
    void setTexts(const TextTables* texts) { texts_ = texts; }

    Answer Ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) override;
    void Tell(const std::string& caption, const std::string& text) override;
    void TellError(const Message& message) override;

private:
    // The window the merchant works in: a dialog asks above itself, so it
    // stays in front when the box closes.
    QWidget* owner() const;
    // A button caption of the language file, or fallback before any translation.
    QString caption(const std::string TextTables::*member, const char* fallback) const;

    QWidget* parent_;
    const TextTables* texts_ = nullptr;
};

} // namespace quillane::gui
