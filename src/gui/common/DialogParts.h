#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class QWidget;

// Small pieces the dialogs are built from.
namespace quillane::gui {

// A label that translates through hint (none when hint is null).
QLabel* hintedLabel(const QString& text, const char* hint, QWidget* parent);

// A group box with a translation hint (may be null) and, when help is not
// null, a help mark with that keyword in its top right corner.
QGroupBox* helpGroup(const QString& title, const char* hint, const char* name, const char* help, QWidget* parent);

// A line edit with an object name and, when maximumWidth is above 0, at most
// that wide.
QLineEdit* lineEdit(const char* name, QWidget* parent, int maximumWidth = 0);

// Amounts and rates are stored with a decimal point: a comma typed into edit
// becomes one.
void commaToPoint(QLineEdit* edit);

// Shows the flag of a country (its index in the flags folder of the program)
// on item; an item without a flag file stays without an icon.
void setFlagIcon(QListWidgetItem* item, const std::string& programDir, int flagIndex);

// Enter or Return in a watched field moves the focus on instead of closing
// the dialog; moveOn moves it (a dialog's focusNextChild).
class EnterMovesFocus : public QObject {
public:
    EnterMovesFocus(std::function<void()> moveOn, QObject* parent);
    void watch(std::initializer_list<QWidget*> fields);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> moveOn_;
};

} // namespace quillane::gui
