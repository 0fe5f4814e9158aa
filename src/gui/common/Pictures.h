#pragma once

#include <QPixmap>
#include <string>
#include <string_view>

namespace quillane::gui {

// A picture embedded in the program, by name; a null pixmap if none.
QPixmap embeddedPixmap(std::string_view name);

// A picture file as the program loads pictures; throws an error naming the
// file when it is no picture.
QPixmap loadPixmap(const std::string& path);

} // namespace quillane::gui
