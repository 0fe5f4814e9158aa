#include "gui/common/MessageBoxPrompter.h"

#include "gui/common/QtText.h"

#include <QMessageBox>

namespace quillane::gui {

Prompter::Answer MessageBoxPrompter::Ask(const std::string& caption, const std::string& text, Buttons buttons,
                                         Icon icon)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::Question, toQ(caption), toQ(text),
                    buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                              : (QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel),
                    parent_);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void MessageBoxPrompter::Tell(const std::string& caption, const std::string& text)
{
    QMessageBox::information(parent_, toQ(caption), toQ(text));
}

} // namespace quillane::gui
