#include "gui/common/Pictures.h"

#include "core/common/Resources.h"
#include "core/imaging/Picture.h"

#include <QImage>

namespace quillane::gui {

QPixmap embeddedPixmap(std::string_view name)
{
    QPixmap pixmap;
    if (const ResourceEntry* e = FindResource(name)) {
        pixmap.loadFromData(e->data, static_cast<uint>(e->size));
    }
    return pixmap;
}

QPixmap loadPixmap(const std::string& path)
{
    Picture picture;
    LoadPicture(path, picture);
    const std::vector<unsigned char> rgb = picture.RgbPixels();
    const QImage image(rgb.data(), picture.Width(), picture.Height(), picture.Width() * 3, QImage::Format_RGB888);
    return QPixmap::fromImage(image); // copies the pixels
}

QImage loadImageToFit(const std::string& path, QSize box)
{
    Picture picture;
    LoadPictureToFit(path, box.width(), box.height(), picture);
    const std::vector<unsigned char> rgb = picture.RgbPixels();
    const QImage image(rgb.data(), picture.Width(), picture.Height(), picture.Width() * 3, QImage::Format_RGB888);
    return image.copy(); // the pixels outlive rgb
}

} // namespace quillane::gui
