#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillane::gui {

class ClickableLabel;
class DecoratedLabel;
struct AppState;

// Splash screen at start-up, the "about" box, and the first-time-setup
// prompt that leads to the settings dialog.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(const AppState& state, QWidget* parent = nullptr);

    // Shows the title, prompt and buttons that fit the start-up status.
    void configure();
    // Fades out and closes.
    void fadeOut();
    // "Über": in front and taking the keys, so Esc closes it.
    void showAbout();

Q_SIGNALS:
    void setupRequested();
    // The merchant closed the setup prompt without setting up.
    void setupPostponed();

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Closes; in the setup that is putting the setup off.
    void leave();
    const AppState& state_;
    QLabel* picture_;
    DecoratedLabel* title_;
    QLabel* prompt_;
    QLabel* notice_;
    ClickableLabel* ok_;
    ClickableLabel* cancel_;
    QPushButton* close_;
    bool closing_ = false;
};

} // namespace quillane::gui
