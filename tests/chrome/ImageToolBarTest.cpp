#include "chrome/ImageToolBar.h"
#include "res/ToolBarTemplate.h"

#include <QBitmap>
#include <QtTest>

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

QTEST_MAIN(ImageToolBarTest)
#include "ImageToolBarTest.moc"
