#pragma once

#include <QPixmap>
#include <string_view>

namespace quillane::gui {

// A picture embedded in the program, by name; a null pixmap if none.
QPixmap embeddedPixmap(std::string_view name);

} // namespace quillane::gui
