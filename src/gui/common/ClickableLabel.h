#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace quillane::gui {

// A picture that acts as a button.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        event->accept();
        Q_EMIT clicked();
    }
};

} // namespace quillane::gui
