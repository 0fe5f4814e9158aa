#include "gui/common/MessageBoxPrompter.h"

#include "core/i18n/LanguageFile.h"
#include "gui/common/QtText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quillane::gui {

QWidget* MessageBoxPrompter::owner() const
{
    QWidget* active = QApplication::activeWindow();
    return active != nullptr && active->isVisible() ? active : parent_;
}

QString MessageBoxPrompter::caption(const std::string TextTables::*member, const char* fallback) const
{
    if (texts_ == nullptr || (texts_->*member).empty()) {
        return QString::fromUtf8(fallback);
    }
    return toQ(texts_->*member);
}

Prompter::Answer MessageBoxPrompter::Ask(const std::string& caption, const std::string& text, Buttons buttons,
                                         Icon icon)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::Question, toQ(caption), toQ(text),
                    QMessageBox::NoButton, owner());
    // Buttons of our own: the toolkit would put its own captions back on standard ones.
    QPushButton* yes = box.addButton(this->caption(&TextTables::ButtonYes, "Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(this->caption(&TextTables::ButtonNo, "No"), QMessageBox::NoRole);
    QPushButton* cancel = nullptr;
    if (buttons == Buttons::YesNoCancel) {
        cancel = box.addButton(this->caption(&TextTables::ButtonCancel, "Cancel"), QMessageBox::RejectRole);
    }
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel != nullptr ? cancel : no);
    box.exec();
    if (box.clickedButton() == yes) {
        return Answer::Yes;
    }
    if (box.clickedButton() == no || cancel == nullptr) {
        return Answer::No;
    }
    return Answer::Cancel;
}

void MessageBoxPrompter::Tell(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Information, toQ(caption), toQ(text), QMessageBox::NoButton, owner());
    box.setEscapeButton(box.addButton(this->caption(&TextTables::ButtonOk, "OK"), QMessageBox::AcceptRole));
    box.exec();
}

void MessageBoxPrompter::TellError(const Message& message)
{
    const std::string text = texts_ != nullptr ? texts_->Say(message) : EnglishText(message);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillane"), toQ(text), QMessageBox::NoButton, owner());
    box.setEscapeButton(box.addButton(this->caption(&TextTables::ButtonOk, "OK"), QMessageBox::AcceptRole));
    box.exec();
}

} // namespace quillane::gui
