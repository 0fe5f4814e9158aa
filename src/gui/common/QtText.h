#pragma once

#include <QString>

#include <string>
#include <string_view>

// The window's edge between the core's Windows-1252 bytes and QString.
namespace quillane::gui {

QString toQ(std::string_view cp1252);
std::string fromQ(const QString& text);

} // namespace quillane::gui
