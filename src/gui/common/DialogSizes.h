#pragma once

#include <QObject>

#include <string>

class QWidget;

namespace quillane::gui {

// Keeps the size each dialog was last left at in quillane.ini, section
// "Dialogs", under the dialog's object name, and gives it back the next
// time the dialog opens. A dialog never opens below what its layout needs.
class DialogSizes : public QObject {
public:
    DialogSizes(std::string settingsFile, QObject* parent);
    void watch(QWidget* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restore(QWidget* dialog);
    void store(const QWidget* dialog);

    std::string settingsFile_;
};

} // namespace quillane::gui
