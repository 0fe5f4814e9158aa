#include "gui/common/QtText.h"

#include "core/common/Text.h"

namespace quillane::gui {

QString toQ(std::string_view cp1252)
{
    const std::string utf8 = Cp1252ToUtf8(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQ(const QString& text)
{
    return Utf8ToCp1252(text.toUtf8().toStdString());
}

} // namespace quillane::gui
