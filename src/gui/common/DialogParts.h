#pragma once

#include <QString>

class QGroupBox;
class QLabel;
class QWidget;

// Small pieces the dialogs are built from.
namespace quillane::gui {

// A label that translates through hint (none when hint is null).
QLabel* hintedLabel(const QString& text, const char* hint, QWidget* parent);

// A group box with a translation hint (may be null) and, when help is not
// null, a help mark with that keyword in its top right corner.
QGroupBox* helpGroup(const QString& title, const char* hint, const char* name, const char* help, QWidget* parent);

} // namespace quillane::gui
