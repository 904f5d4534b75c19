#include "ImageToolBar.h"

#include "res/ToolBarTemplate.h"

#include <QAction>
#include <QBitmap>
#include <QIcon>
#include <QImage>

namespace talvane {

namespace {

std::size_t Slot(ImageToolBar::ImageList list) {
    return static_cast<std::size_t>(list);
}

} // namespace

bool ImageToolBar::SetImageLists(int imageWidth, int normalBitmap, int hotBitmap,
                                 int disabledBitmap) {
    if (!LoadImageList(ImageList::Normal, normalBitmap, imageWidth))
        return false;
    if (hotBitmap != 0 && !LoadImageList(ImageList::Hot, hotBitmap, imageWidth))
        return false;
    return disabledBitmap == 0 || LoadImageList(ImageList::Disabled, disabledBitmap, imageWidth);
}

bool ImageToolBar::SetImageListsOrFallback(int imageWidth, int normalBitmap, int hotBitmap,
                                           int disabledBitmap, int fallbackBitmap) {
    if (SetImageLists(imageWidth, normalBitmap, hotBitmap, disabledBitmap))
        return true;
    if (!Images(ImageList::Normal).empty())
        return false;
    LoadImageList(ImageList::Normal, fallbackBitmap, imageWidth);
    return false;
}

bool ImageToolBar::LoadImageList(ImageList list, int bitmapId, int imageWidth) {
    const char* path = ToolBarTemplate::StripPath(bitmapId);
    if (path == nullptr || imageWidth <= 0)
        return false;
    const QImage strip(QString::fromLatin1(path));
    const int count = strip.width() / imageWidth;
    if (strip.isNull() || count == 0)
        return false;
    // The strips are stored top row first, so their first stored pixel is the top-left one.
    const QColor transparent = strip.pixelColor(0, 0);
    std::vector<QPixmap> images;
    for (int index = 0; index < count; ++index) {
        QPixmap image =
            QPixmap::fromImage(strip.copy(index * imageWidth, 0, imageWidth, strip.height()));
        image.setMask(image.createMaskFromColor(transparent));
        images.push_back(std::move(image));
    }
    imageLists[Slot(list)] = std::move(images);
    ApplyImages();
    return true;
}

const std::vector<QPixmap>& ImageToolBar::Images(ImageList list) const {
    return imageLists[Slot(list)];
}

void ImageToolBar::ApplyImages() {
    constexpr std::pair<ImageList, QIcon::Mode> Modes[] = {
        {ImageList::Normal, QIcon::Normal},
        {ImageList::Hot, QIcon::Active},
        {ImageList::Disabled, QIcon::Disabled},
    };
    // Every image is drawn at its own size, pixel for pixel: an icon size smaller than an image
    // would scale it down, and the disabled strip's images are a row taller than the others.
    QSize largest = iconSize();
    for (const std::vector<QPixmap>& images : imageLists) {
        for (const QPixmap& image : images)
            largest = largest.expandedTo(image.size());
    }
    setIconSize(largest);
    const QList<QAction*> buttons = actions();
    for (qsizetype index = 0; index < buttons.size(); ++index) {
        QIcon icon;
        for (const auto& [list, mode] : Modes) {
            const std::vector<QPixmap>& images = Images(list);
            if (static_cast<std::size_t>(index) < images.size())
                icon.addPixmap(images[static_cast<std::size_t>(index)], mode);
        }
        if (!icon.isNull())
            buttons[index]->setIcon(icon);
    }
}

} // namespace talvane
