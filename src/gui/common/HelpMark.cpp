#include "gui/common/HelpMark.h"

#include <QMouseEvent>

namespace quillane::gui {

HelpMark::HelpMark(const QString& keyword, QWidget* parent) : QLabel(QStringLiteral("?"), parent), keyword_(keyword)
{
    setObjectName(QStringLiteral("help:") + keyword);
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setColour(QColor(128, 0, 0));
    setToolTip(QString());
}

void HelpMark::keepInCorner()
{
    if (QWidget* box = parentWidget()) {
        resize(12, 16);
        box->installEventFilter(this);
        move(box->width() - 16, 0);
    }
}

bool HelpMark::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        move(parentWidget()->width() - 16, 0);
        raise();
    }
    return QLabel::eventFilter(watched, event);
}

void HelpMark::setColour(const QColor& colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
}

void HelpMark::enterEvent(QEnterEvent* event)
{
    setColour(Qt::red);
    QLabel::enterEvent(event);
}

void HelpMark::leaveEvent(QEvent* event)
{
    setColour(QColor(128, 0, 0));
    QLabel::leaveEvent(event);
}

void HelpMark::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    Q_EMIT helpRequested(keyword_);
}

} // namespace quillane::gui
