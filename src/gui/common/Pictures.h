#pragma once

#include <QImage>
#include <QPixmap>
#include <string>
#include <string_view>

namespace quillane::gui {

// A picture embedded in the program, by name; a null pixmap if none.
QPixmap embeddedPixmap(std::string_view name);

// A picture file as the program loads pictures; throws an error naming the
// file when it is no picture.
QPixmap loadPixmap(const std::string& path);

// A picture file scaled to fit box, decoded at that size where the format
// allows; safe on any thread. Throws an error naming the file when it is no
// picture.
QImage loadImageToFit(const std::string& path, QSize box);

} // namespace quillane::gui
