#include "common/DialogParts.h"

#include "common/HelpMark.h"
#include "common/Translator.h"

#include <QGroupBox>
#include <QLabel>

namespace quillane::gui {

QLabel* hintedLabel(const QString& text, const char* hint, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    if (hint != nullptr) {
        setHint(label, hint);
    }
    return label;
}

QGroupBox* helpGroup(const QString& title, const char* hint, const char* name, const char* help, QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::fromUtf8(name));
    if (hint != nullptr) {
        setHint(group, hint);
    }
    if (help != nullptr) {
        (new HelpMark(QString::fromUtf8(help), group))->keepInCorner();
    }
    return group;
}

} // namespace quillane::gui
