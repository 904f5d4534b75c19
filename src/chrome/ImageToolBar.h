#pragma once

#include <QPixmap>
#include <QToolBar>
#include <array>
#include <vector>

namespace talvane {

// The main window's tool bar, whose buttons show images cut from colour strips: normal, hot
// (under the mouse) and disabled, each strip's first pixel being its transparent colour.
class ImageToolBar : public QToolBar {
    Q_OBJECT

public:
    enum class ImageList { Normal, Hot, Disabled };

    using QToolBar::QToolBar;

    // A hot or disabled id of 0 leaves that list as it is. Stops at the first list that fails.
    bool SetImageLists(int imageWidth, int normalBitmap, int hotBitmap, int disabledBitmap);
    // SetImageLists; where that leaves no normal images at all, the fallback strip gives them.
    // A hot or disabled list that fails keeps the normal images it follows.
    bool SetImageListsOrFallback(int imageWidth, int normalBitmap, int hotBitmap,
                                 int disabledBitmap, int fallbackBitmap);
    // Cuts the strip into images of imageWidth pixels (width / imageWidth of them; left-over
    // columns are ignored) and gives them to the buttons in order. The icon size grows to hold the
    // largest image, so that none is scaled.
    bool LoadImageList(ImageList list, int bitmapId, int imageWidth);

    const std::vector<QPixmap>& Images(ImageList list) const;

private:
    void ApplyImages();

    std::array<std::vector<QPixmap>, 3> imageLists;
};

} // namespace talvane
