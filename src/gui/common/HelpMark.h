#pragma once

#include <QLabel>

namespace quillane::gui {

// A small maroon "?" beside a group of controls; a click asks for the help
// section named by its keyword, page "|" anchor ("artikelgruppen|groups").
// The application connects every mark of its windows to the help window.
class HelpMark : public QLabel {
    Q_OBJECT
public:
    HelpMark(const QString& keyword, QWidget* parent = nullptr);

    const QString& keyword() const { return keyword_; }

    // Keeps the mark in the top right corner of its parent, also when the
    // parent is resized.
    void keepInCorner();

Q_SIGNALS:
    void helpRequested(const QString& keyword);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setColour(const QColor& colour);

    QString keyword_;
};

} // namespace quillane::gui
