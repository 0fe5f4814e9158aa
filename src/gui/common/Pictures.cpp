#include "common/Pictures.h"

#include "common/Resources.h"

namespace quillane::gui {

QPixmap embeddedPixmap(std::string_view name)
{
    QPixmap pixmap;
    if (const ResourceEntry* e = FindResource(name)) {
        pixmap.loadFromData(e->data, static_cast<uint>(e->size));
    }
    return pixmap;
}

} // namespace quillane::gui
