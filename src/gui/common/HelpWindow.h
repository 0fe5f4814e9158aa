#pragma once

#include <QWidget>

class QWebEngineView;

namespace quillane {
class Prompter;
}

namespace quillane::gui {

struct AppState;

// The small help window: one section of a help page, on top of the
// program's windows. A click beside the text closes it.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow(const AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // keyword: page "|" anchor. Shows nothing when the page cannot be read.
    void showHelp(const QString& keyword);
    // Connects every help mark of the window to this help window.
    void attachMarks(QWidget* window);

    QWebEngineView* view() const { return view_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    const AppState& state_;
    Prompter& prompter_;
    QWebEngineView* view_ = nullptr;
    int loads_ = 0;
};

} // namespace quillane::gui
