#include "gui/common/DialogParts.h"

#include "gui/common/HelpMark.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidgetItem>

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

QLineEdit* lineEdit(const char* name, QWidget* parent, int maximumWidth)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    if (maximumWidth > 0) {
        edit->setMaximumWidth(maximumWidth);
    }
    return edit;
}

void commaToPoint(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        if (text.contains(QLatin1Char(','))) {
            edit->setText(QString(text).replace(QLatin1Char(','), QLatin1Char('.')));
        }
    });
}

void setFlagIcon(QListWidgetItem* item, const std::string& programDir, int flagIndex)
{
    const QString file = toQ(programDir + "flags/" + std::to_string(flagIndex) + ".png");
    if (flagIndex >= 0 && QFileInfo::exists(file)) {
        item->setIcon(QIcon(file));
    }
}

EnterMovesFocus::EnterMovesFocus(std::function<void()> moveOn, QObject* parent)
    : QObject(parent), moveOn_(std::move(moveOn))
{
}

void EnterMovesFocus::watch(std::initializer_list<QWidget*> fields)
{
    for (QWidget* field : fields) {
        field->installEventFilter(this);
    }
}

bool EnterMovesFocus::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            moveOn_();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillane::gui
