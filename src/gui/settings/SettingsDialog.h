#pragma once

#include <QDialog>

class QTabWidget;

namespace quillane::gui {

// The settings dialog: basic settings and the merchant's contact data.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    // 0: basic settings, 1: contact data.
    void showPage(int page);

private:
    QTabWidget* pages_;
};

} // namespace quillane::gui
