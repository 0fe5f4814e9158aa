#pragma once

#include <QList>

class QObject;
class QWidget;

namespace quillane {
class LanguageFile;
struct TCountry;
} // namespace quillane

namespace quillane::gui {

// Every translatable control carries its translation key in this property:
// a key alone, or a section, "|" and a key.
inline constexpr const char* kHintProperty = "quillaneHint";

void setHint(QObject* control, const char* key);
QString hintOf(const QObject* control);

// Translates the captions of every control of the windows from the
// language file, each by its kind: actions from "Actions", labels from
// "Labels" (keeping a trailing ":"), buttons from "Buttons", pages, check
// boxes and group boxes from "Misc", window titles from "Misc" as well
// (usually through an "Actions|..." hint). Other kinds keep their text.
void translateWindows(const QList<QWidget*>& windows, const LanguageFile& file, const TCountry& country);

} // namespace quillane::gui
