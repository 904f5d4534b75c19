#include "chrome/ImageToolBar.h"
#include "res/ToolBarTemplate.h"

#include <QBitmap>
#include <QtTest>

using namespace talvane;

using List = ImageToolBar::ImageList;

namespace {

// A toolbar with the main window's six buttons.
struct BarUnderTest {
    ImageToolBar bar;
    BarUnderTest() {
        for (int index = 0; index < 6; ++index)
            bar.addAction(QString::number(index));
    }
};

} // namespace

class ImageToolBarTest : public QObject {
    Q_OBJECT

private slots:
    void eachStripGivesSixImages();
    void whiteIsTransparentAndPicturesAreNot();
    void zeroIdsSetOnlyTheNormalList();
    void unknownStripFailsAndKeepsTheLists();
    void fallbackStripOnlyWithoutNormalImages_data();
    void fallbackStripOnlyWithoutNormalImages();
    void everyImageIsDrawnAtItsOwnSize_data();
    void everyImageIsDrawnAtItsOwnSize();
};

void ImageToolBarTest::eachStripGivesSixImages() {
    BarUnderTest test;
    QVERIFY(test.bar.SetImageLists(16, ToolBarTemplate::NormalStrip, ToolBarTemplate::NormalStrip,
                                   ToolBarTemplate::DisabledStrip));
    for (List list : {List::Normal, List::Hot, List::Disabled}) {
        QCOMPARE(test.bar.Images(list).size(), std::size_t{6});
        QCOMPARE(test.bar.Images(list).front().width(), 16);
    }
    QCOMPARE(test.bar.Images(List::Normal).front().height(), 15);
    QCOMPARE(test.bar.Images(List::Disabled).front().height(), 16);
    // Every button has all three looks.
    const QIcon icon = test.bar.actions().at(5)->icon();
    QCOMPARE(icon.pixmap(QSize(16, 15), QIcon::Active).toImage(),
             icon.pixmap(QSize(16, 15), QIcon::Normal).toImage());
    QVERIFY(icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage() !=
            icon.pixmap(QSize(16, 16), QIcon::Normal).toImage());
}

void ImageToolBarTest::whiteIsTransparentAndPicturesAreNot() {
    BarUnderTest test;
    QVERIFY(test.bar.SetImageLists(16, ToolBarTemplate::NormalStrip, 0,
                                   ToolBarTemplate::DisabledStrip));
    for (const int bitmap : {ToolBarTemplate::NormalStrip, ToolBarTemplate::DisabledStrip}) {
        const QImage strip(QString::fromLatin1(ToolBarTemplate::StripPath(bitmap)));
        QCOMPARE(strip.pixelColor(0, 0), QColor(Qt::white));
        const List list = bitmap == ToolBarTemplate::NormalStrip ? List::Normal : List::Disabled;
        int white = 0;
        int drawn = 0;
        for (int index = 0; index < 6; ++index) {
            const QImage image =
                test.bar.Images(list)[std::size_t(index)].toImage().convertToFormat(
                    QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const bool isWhite = strip.pixelColor(index * 16 + x, y) == QColor(Qt::white);
                    QCOMPARE(qAlpha(image.pixel(x, y)) == 0, isWhite);
                    (isWhite ? white : drawn) += 1;
                }
            }
        }
        QVERIFY(white > 0 && drawn > 0);
    }
}

void ImageToolBarTest::zeroIdsSetOnlyTheNormalList() {
    BarUnderTest test;
    QVERIFY(test.bar.SetImageLists(16, ToolBarTemplate::NormalStrip, 0, 0));
    QCOMPARE(test.bar.Images(List::Normal).size(), std::size_t{6});
    QVERIFY(test.bar.Images(List::Hot).empty());
    QVERIFY(test.bar.Images(List::Disabled).empty());
}

void ImageToolBarTest::unknownStripFailsAndKeepsTheLists() {
    BarUnderTest test;
    QVERIFY(test.bar.LoadImageList(List::Normal, ToolBarTemplate::DefaultStrip, 16));
    const QImage before = test.bar.Images(List::Normal).front().toImage();
    QVERIFY(!test.bar.SetImageLists(16, 999, 0, 0));
    QCOMPARE(test.bar.Images(List::Normal).front().toImage(), before);
    // A failing hot list stops before the disabled one.
    QVERIFY(!test.bar.SetImageLists(16, ToolBarTemplate::NormalStrip, 999,
                                    ToolBarTemplate::DisabledStrip));
    QVERIFY(test.bar.Images(List::Disabled).empty());
}

void ImageToolBarTest::fallbackStripOnlyWithoutNormalImages_data() {
    QTest::addColumn<int>("normal");
    QTest::addColumn<int>("hot");
    QTest::addColumn<int>("disabled");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("normalImagesFrom");

    constexpr int Normal = ToolBarTemplate::NormalStrip;
    constexpr int Disabled = ToolBarTemplate::DisabledStrip;
    constexpr int Missing = 999;
    QTest::newRow("all load") << Normal << Normal << Disabled << true << Normal;
    QTest::newRow("hot fails") << Normal << Missing << Disabled << false << Normal;
    QTest::newRow("disabled fails") << Normal << Normal << Missing << false << Normal;
    QTest::newRow("normal fails") << Missing << Normal << Disabled << false
                                  << ToolBarTemplate::DefaultStrip;
}

void ImageToolBarTest::fallbackStripOnlyWithoutNormalImages() {
    QFETCH(int, normal);
    QFETCH(int, hot);
    QFETCH(int, disabled);
    QFETCH(bool, loaded);
    QFETCH(int, normalImagesFrom);

    BarUnderTest test;
    QCOMPARE(
        test.bar.SetImageListsOrFallback(16, normal, hot, disabled, ToolBarTemplate::DefaultStrip),
        loaded);
    BarUnderTest reference;
    QVERIFY(reference.bar.LoadImageList(List::Normal, normalImagesFrom, 16));
    QCOMPARE(test.bar.Images(List::Normal).size(), reference.bar.Images(List::Normal).size());
    for (std::size_t index = 0; index < reference.bar.Images(List::Normal).size(); ++index)
        QCOMPARE(test.bar.Images(List::Normal)[index].toImage(),
                 reference.bar.Images(List::Normal)[index].toImage());
}

void ImageToolBarTest::everyImageIsDrawnAtItsOwnSize_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("normal, 16 x 15") << 0 << true;
    QTest::newRow("disabled, 16 x 16") << 0 << false;
    QTest::newRow("last disabled, 16 x 16") << 5 << false;
}

void ImageToolBarTest::everyImageIsDrawnAtItsOwnSize() {
    QFETCH(int, button);
    QFETCH(bool, enabled);
    BarUnderTest test;
    // The main window's bar: its buttons are made for 16 x 15 images.
    test.bar.setIconSize(QSize(ToolBarTemplate::ButtonWidth, ToolBarTemplate::ButtonHeight));
    QVERIFY(test.bar.SetImageLists(16, ToolBarTemplate::NormalStrip, ToolBarTemplate::NormalStrip,
                                   ToolBarTemplate::DisabledStrip));
    QAction* action = test.bar.actions().at(button);
    action->setEnabled(enabled);
    test.bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&test.bar));

    const QImage drawn = test.bar.widgetForAction(action)->grab().toImage();
    const QImage image = test.bar.Images(enabled ? List::Normal : List::Disabled)
                             .at(std::size_t(button))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    // Somewhere on the button every opaque pixel of the image shows unchanged.
    auto shownAt = [&](int left, int top) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) == 255 && drawn.pixel(left + x, top + y) != pixel)
                    return false;
            }
        }
        return true;
    };
    bool shown = false;
    for (int top = 0; !shown && top + image.height() <= drawn.height(); ++top) {
        for (int left = 0; !shown && left + image.width() <= drawn.width(); ++left)
            shown = shownAt(left, top);
    }
    QVERIFY(shown);
}

QTEST_MAIN(ImageToolBarTest)
#include "ImageToolBarTest.moc"
