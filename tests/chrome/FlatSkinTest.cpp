#include "chrome/FlatSkin.h"
#include "chrome/GradientFill.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

Q_DECLARE_METATYPE(GradientCorners)

namespace {

QColor Face() {
    return QApplication::palette().color(QPalette::Button);
}

QColor FaceMinus(int shade) {
    const QColor face = Face();
    return QColor(face.red() - shade, face.green() - shade, face.blue() - shade);
}

QImage Render(QWidget& widget) {
    widget.ensurePolished();
    return widget.grab().toImage();
}

// The pointer moves to the widget's centre, and the widget hears of it.
void SendHover(QWidget& widget) {
    widget.ensurePolished();
    const QPointF centre = QRectF(widget.rect()).center();
    QCursor::setPos(widget.mapToGlobal(centre.toPoint()));
    QHoverEvent enter(QEvent::HoverEnter, centre, widget.mapToGlobal(centre), QPointF(-1, -1));
    QCoreApplication::sendEvent(&widget, &enter);
}

} // namespace

class FlatSkinTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void gradientFill_data();
    void gradientFill();
    void pushButton_data();
    void pushButton();
    void hotOnlyWithoutLeftButton();
    void pickingFromTheListLeavesTheComboBoxCold();
    void reopenedDialogShowsItsButtonCold();
    void checkBox_data();
    void checkBox();
    void checkBoxLeavesItsSurroundingsAlone();
    void lineEdit_data();
    void lineEdit();
    void comboBox_data();
    void comboBox();
    void messageBoxButtonsAreSkinned();
    void othersKeepTheBaseLook();
};

void FlatSkinTest::initTestCase() {
    QApplication::setStyle(new FlatSkin);
}

void FlatSkinTest::gradientFill_data() {
    QTest::addColumn<GradientCorners>("corners");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("singleRectangle");
    QTest::addColumn<QColor>("expected");

    const ColourRef black = Rgb(0, 0, 0);
    const ColourRef white = Rgb(255, 255, 255);
    const GradientCorners vertical{black, black, white, white};
    QTest::newRow("rectangle, halfway")
        << vertical << QPoint(3, 2) << true << QColor(127, 127, 127);
    // The top byte alone makes the corners unequal.
    const GradientCorners marked{black, black, white, Rgb(255, 255, 255, 0xFF)};
    QTest::newRow("top byte, triangles")
        << marked << QPoint(0, 2) << false << QColor(127, 127, 127);
    // Only the bottom-right triangle sees the bottom-right corner.
    const GradientCorners oneCorner{black, black, black, white};
    QTest::newRow("above the diagonal") << oneCorner << QPoint(2, 1) << false << QColor(0, 0, 0);
    QTest::newRow("on the diagonal") << oneCorner << QPoint(2, 2) << false << QColor(0, 0, 0);
    QTest::newRow("below the diagonal")
        << oneCorner << QPoint(3, 3) << false << QColor(127, 127, 127);
}

void FlatSkinTest::gradientFill() {
    QFETCH(GradientCorners, corners);
    QFETCH(QPoint, pixel);
    QFETCH(bool, singleRectangle);
    QFETCH(QColor, expected);

    const GradientFill fill(4, 4, corners);
    QCOMPARE(fill.IsSingleRectangle(), singleRectangle);
    QCOMPARE(QColor::fromRgb(fill.ArgbAt(pixel.x(), pixel.y())), expected);
}

void FlatSkinTest::pushButton_data() {
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QColor>("frame");
    QTest::addColumn<QColor>("band");
    QTest::addColumn<QColor>("face");
    QTest::addColumn<QColor>("secondRing");
    QTest::addColumn<QColor>("thirdRing");

    const QColor frame(0, 60, 115);
    const QColor secondRing(82, 125, 165);
    const QColor thirdRing(123, 150, 173);
    const QColor face(252, 252, 251);
    const QColor pressedFace(231, 227, 222);
    QTest::newRow("normal") << "" << frame << QColor(255, 255, 255) << face << secondRing
                            << thirdRing;
    QTest::newRow("hot") << "hot" << frame << QColor(255, 240, 207) << face << secondRing
                         << thirdRing;
    QTest::newRow("pressed") << "pressed" << frame << QColor(209, 204, 193) << pressedFace
                             << secondRing << thirdRing;
    QTest::newRow("default") << "default" << frame << QColor(206, 231, 255) << face << secondRing
                             << thirdRing;
    QTest::newRow("push-like, checked")
        << "checked" << frame << QColor(214, 203, 189) << pressedFace << secondRing << thirdRing;
    const QColor disabledFill(245, 244, 234);
    QTest::newRow("disabled") << "disabled" << FaceMinus(0x20) << disabledFill << disabledFill
                              << FaceMinus(0x15) << FaceMinus(0x11);
}

void FlatSkinTest::pushButton() {
    QFETCH(QString, setUp);
    QFETCH(QColor, frame);
    QFETCH(QColor, band);
    QFETCH(QColor, face);
    QFETCH(QColor, secondRing);
    QFETCH(QColor, thirdRing);

    QPushButton button("OK");
    button.resize(80, 24);
    button.setCheckable(setUp == "checked");
    button.setChecked(setUp == "checked");
    button.setDown(setUp == "pressed");
    button.setDefault(setUp == "default");
    button.setEnabled(setUp != "disabled");
    if (setUp == "hot")
        SendHover(button);

    const QImage image = Render(button);
    QCOMPARE(image.pixelColor(0, 12), Face());
    QCOMPARE(image.pixelColor(1, 12), frame);
    QCOMPARE(image.pixelColor(78, 12), frame);
    QCOMPARE(image.pixelColor(3, 2), band);
    QCOMPARE(image.pixelColor(4, 4), face);
    for (const QPoint corner : {QPoint(1, 1), QPoint(78, 22)})
        QCOMPARE(image.pixelColor(corner), Face());
    for (const QPoint corner : {QPoint(2, 2), QPoint(2, 21), QPoint(77, 21), QPoint(77, 2)})
        QCOMPARE(image.pixelColor(corner), secondRing);
    for (const QPoint corner : {QPoint(1, 2), QPoint(2, 1), QPoint(77, 22), QPoint(78, 21)})
        QCOMPARE(image.pixelColor(corner), thirdRing);
}

void FlatSkinTest::hotOnlyWithoutLeftButton() {
    QWidget window;
    window.resize(200, 100);
    QPushButton button("Go", &window);
    button.setGeometry(10, 10, 80, 24);
    button.setFocusPolicy(Qt::NoFocus);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto band = [&] { return Render(button).pixelColor(3, 2); };
    const QColor normalBand(255, 255, 255);
    const QColor hotBand(255, 240, 207);

    QTest::mouseMove(&window, QPoint(150, 80));
    // The mouse arrives and moves with the left button held: not hot, even once released.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(20, 12));
    QTest::mouseMove(&button, QPoint(30, 12));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(30, 12));
    QCOMPARE(band(), normalBand);
    QTest::mouseMove(&button, QPoint(40, 12));
    QCOMPARE(band(), hotBand);
    QTest::mouseMove(&window, QPoint(150, 80));
    QCOMPARE(band(), normalBand);
}

void FlatSkinTest::pickingFromTheListLeavesTheComboBoxCold() {
    QWidget window;
    window.setGeometry(0, 0, 300, 200);
    QComboBox combo(&window);
    combo.setEditable(true);
    combo.addItems({"192.0.2.1", "198.51.100.7", "203.0.113.5"});
    combo.setGeometry(10, 10, 150, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int scrollBarWidth = combo.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QPoint buttonCorner(150 - 2 - scrollBarWidth + 1, 2);
    auto corner = [&] { return Render(combo).pixelColor(buttonCorner); };
    const QColor normal(231, 239, 255);
    const QColor hot(206, 219, 239);

    QTest::mouseMove(&combo, QPoint(40, 12));
    QCOMPARE(corner(), hot);
    combo.showPopup();
    QAbstractItemView* list = combo.view();
    QTRY_VERIFY(list->isVisible());
    const QPoint item = list->visualRect(list->model()->index(2, 0)).center();
    // Through the window system, as the list takes the mouse while it is open.
    QWindow* popup = list->window()->windowHandle();
    const QPoint inPopup = list->viewport()->mapTo(list->window(), item);
    QTest::mouseMove(popup, inPopup);
    QTest::mouseClick(popup, Qt::LeftButton, {}, inPopup);
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(combo.currentIndex(), 2);

    // The window system gives the pointer back to the window where it now is, far from the box:
    // the box hears of no leave.
    const QPoint far(250, 150);
    QEnterEvent back(far, far, window.mapToGlobal(far));
    QCoreApplication::sendEvent(window.windowHandle(), &back);
    QTest::mouseMove(&window, far);
    QCOMPARE(corner(), normal);
    QTest::mouseMove(&combo, QPoint(40, 12));
    QCOMPARE(corner(), hot);
}

void FlatSkinTest::reopenedDialogShowsItsButtonCold() {
    QDialog dialog;
    dialog.setGeometry(100, 100, 200, 100);
    QPushButton ok("OK", &dialog);
    ok.setGeometry(20, 40, 80, 24);
    ok.setFocusPolicy(Qt::NoFocus);
    QObject::connect(&ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto band = [&] { return Render(ok).pixelColor(3, 2); };
    const QColor normalBand(255, 255, 255);
    const QColor hotBand(255, 240, 207);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseMove(&ok, QPoint(40, 12));
    QCOMPARE(band(), hotBand);
    QTest::mouseClick(&ok, Qt::LeftButton, {}, QPoint(40, 12));
    QVERIFY(!dialog.isVisible());
    // The pointer goes elsewhere while the dialog is closed.
    QCursor::setPos(QPoint(20, 20));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(band(), normalBand);
}

void FlatSkinTest::checkBox_data() {
    QTest::addColumn<bool>("radio");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("boxTop");
    QTest::addColumn<QColor>("frame");
    QTest::addColumn<QColor>("mark");
    QTest::addColumn<QColor>("markCorner");

    const QColor frame(24, 81, 132);
    const QColor green(33, 162, 33);
    QTest::newRow("odd height, checked")
        << false << 21 << "checked" << 4 << frame << green << QColor();
    QTest::newRow("even height, checked")
        << false << 20 << "checked" << 3 << frame << green << QColor();
    QTest::newRow("radio, checked") << true << 16 << "checked" << 1 << frame << green << QColor();
    QTest::newRow("disabled, checked") << false << 20 << "disabled" << 3 << FaceMinus(0x20)
                                       << QColor(206, 203, 189) << QColor(255, 255, 255);
    QTest::newRow("hot, checked") << false << 20 << "hot" << 3 << frame << green
                                  << QColor(247, 247, 247);
    QTest::newRow("indeterminate")
        << false << 20 << "indeterminate" << 3 << frame << QColor() << QColor(115, 195, 115);
}

void FlatSkinTest::checkBox() {
    QFETCH(bool, radio);
    QFETCH(int, height);
    QFETCH(QString, setUp);
    QFETCH(int, boxTop);
    QFETCH(QColor, frame);
    QFETCH(QColor, mark);
    QFETCH(QColor, markCorner);

    QCheckBox checkBox("Filter");
    QRadioButton radioButton("Filter");
    QAbstractButton& button = radio ? static_cast<QAbstractButton&>(radioButton) : checkBox;
    button.resize(100, height);
    if (setUp == "indeterminate") {
        checkBox.setTristate(true);
        checkBox.setCheckState(Qt::PartiallyChecked);
    } else {
        button.setChecked(true);
    }
    button.setEnabled(setUp != "disabled");
    if (setUp == "hot")
        SendHover(button);

    const QImage image = Render(button);
    QCOMPARE(image.pixelColor(0, boxTop), frame);
    QCOMPARE(image.pixelColor(12, boxTop + 12), frame);
    QCOMPARE(image.pixelColor(13, boxTop), Face());
    if (boxTop > 0)
        QCOMPARE(image.pixelColor(0, boxTop - 1), Face());
    const int markTop = boxTop + 3;
    if (markCorner.isValid())
        QCOMPARE(image.pixelColor(3, markTop), markCorner);
    if (!mark.isValid())
        return;
    const std::array<std::pair<int, int>, 7> strokes{
        {{3, 2}, {4, 3}, {5, 4}, {6, 3}, {7, 2}, {8, 1}, {9, 0}}};
    for (const auto& [x, row] : strokes) {
        for (int y = markTop + row; y < markTop + row + 3; ++y)
            QCOMPARE(image.pixelColor(x, y), mark);
        QVERIFY(image.pixelColor(x, markTop + row + 3) != mark);
    }
}

void FlatSkinTest::checkBoxLeavesItsSurroundingsAlone() {
    // Around the box and its text the parent shows as it is, a group box's interior here.
    QWidget page;
    page.setAutoFillBackground(true);
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, QColor(90, 140, 200));
    page.setPalette(palette);
    page.resize(220, 100);
    QGroupBox group("Protocols", &page);
    group.setGeometry(5, 5, 210, 90);
    QCheckBox checkBox("TCP", &group);
    checkBox.setGeometry(10, 30, 150, 20);

    checkBox.hide();
    const QImage without = Render(page);
    checkBox.show();
    const QImage with = Render(page);
    const QRect area = checkBox.geometry().translated(group.pos());
    const int boxTop = (area.height() - 13) / 2;
    QCOMPARE(with.pixelColor(area.left(), area.top() + boxTop), QColor(24, 81, 132));
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y < area.top() + boxTop; ++y)
            QCOMPARE(with.pixelColor(x, y), without.pixelColor(x, y));
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.right() - 40; x <= area.right(); ++x)
            QCOMPARE(with.pixelColor(x, y), without.pixelColor(x, y));
    }
}

void FlatSkinTest::lineEdit_data() {
    QTest::addColumn<bool>("framed");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QColor>("outer");
    QTest::addColumn<QColor>("inner");

    const QColor frame(123, 158, 189);
    const QColor base = QApplication::palette().color(QPalette::Base);
    QTest::newRow("framed") << true << "" << frame << base;
    QTest::newRow("framed, read-only") << true << "read-only" << frame << Face();
    QTest::newRow("framed, read-only, then editable") << true << "editable again" << frame << base;
    QTest::newRow("framed, disabled") << true << "disabled" << FaceMinus(0x20) << Face();
    QTest::newRow("without frame") << false << "" << QColor() << QColor();
}

void FlatSkinTest::lineEdit() {
    QFETCH(bool, framed);
    QFETCH(QString, setUp);
    QFETCH(QColor, outer);
    QFETCH(QColor, inner);

    QLineEdit edit("1080|8080");
    edit.resize(120, 22);
    edit.setFrame(framed);
    edit.setReadOnly(setUp == "read-only" || setUp == "editable again");
    if (setUp == "editable again") {
        Render(edit);
        edit.setReadOnly(false);
    }
    edit.setEnabled(setUp != "disabled");

    const QImage image = Render(edit);
    if (!framed) {
        for (int x = 0; x < edit.width(); ++x)
            QVERIFY(image.pixelColor(x, 0) != QColor(123, 158, 189));
        return;
    }
    for (const QPoint point : {QPoint(0, 11), QPoint(60, 0), QPoint(119, 11), QPoint(60, 21)})
        QCOMPARE(image.pixelColor(point), outer);
    for (const QPoint point : {QPoint(1, 11), QPoint(60, 1), QPoint(118, 11), QPoint(60, 20)})
        QCOMPARE(image.pixelColor(point), inner);
}

void FlatSkinTest::comboBox_data() {
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QColor>("frame");
    QTest::addColumn<QList<QColor>>("corners");
    QTest::addColumn<QColor>("arrow");

    QTest::newRow("drop-down") << true << "" << QColor(123, 158, 189)
                               << QList<QColor>{{231, 239, 255},
                                                {222, 231, 255},
                                                {222, 227, 255},
                                                {222, 227, 247}}
                               << QColor(74, 97, 132);
    QTest::newRow("drop-down list, hot")
        << false << "hot" << QColor(123, 158, 189)
        << QList<QColor>{{206, 219, 239}, {198, 207, 239}, {198, 207, 231}, {189, 203, 231}}
        << QColor(74, 97, 132);
    QTest::newRow("disabled") << true << "disabled" << FaceMinus(0x20)
                              << QList<QColor>{{247, 247, 247},
                                               {247, 243, 239},
                                               {247, 243, 239},
                                               {247, 243, 239}}
                              << QColor(206, 203, 198);
}

void FlatSkinTest::comboBox() {
    QFETCH(bool, editable);
    QFETCH(QString, setUp);
    QFETCH(QColor, frame);
    QFETCH(QList<QColor>, corners);
    QFETCH(QColor, arrow);

    QComboBox combo;
    combo.setEditable(editable);
    combo.addItem("192.168.0.1");
    combo.resize(150, 24);
    combo.setEnabled(setUp != "disabled");
    if (setUp == "hot")
        SendHover(combo);

    const QImage image = Render(combo);
    QCOMPARE(image.pixelColor(0, 12), frame);
    QCOMPARE(image.pixelColor(149, 12), frame);
    const int scrollBarWidth = combo.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QRect button(150 - 2 - scrollBarWidth + 1, 2, scrollBarWidth - 1, 20);
    QCOMPARE(image.pixelColor(button.topLeft()), corners[0]);
    QCOMPARE(image.pixelColor(button.topRight()), corners[1]);
    QCOMPARE(image.pixelColor(button.bottomLeft()), corners[2]);
    QCOMPARE(image.pixelColor(button.bottomRight()), corners[3]);

    const QRect inner = button.adjusted(1, 1, -1, -1);
    const QPoint centre(inner.left() + inner.width() / 2, inner.top() + inner.height() / 2);
    for (const QPoint drawn :
         {QPoint(-4, -2), QPoint(-2, 0), QPoint(0, 2), QPoint(4, -2), QPoint(-3, -2), QPoint(0, 1),
          QPoint(3, -2), QPoint(-3, -3), QPoint(0, 0), QPoint(3, -3)})
        QCOMPARE(image.pixelColor(centre + drawn), arrow);
    // Each line stops before its last point.
    for (const QPoint end : {QPoint(5, -3), QPoint(4, -4)})
        QVERIFY(image.pixelColor(centre + end) != arrow);
}

void FlatSkinTest::messageBoxButtonsAreSkinned() {
    QMessageBox box(QMessageBox::NoIcon, "Talvane", "create socket fail ", QMessageBox::Ok);
    box.show();
    const QList<QPushButton*> buttons = box.findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 1);
    const QImage image = Render(*buttons.front());
    QCOMPARE(image.pixelColor(1, image.height() / 2), QColor(0, 60, 115));
    QCOMPARE(image.pixelColor(2, 2), QColor(82, 125, 165));
    // The only button is the default one.
    QCOMPARE(image.pixelColor(3, 2), QColor(206, 231, 255));
}

void FlatSkinTest::othersKeepTheBaseLook() {
    QGroupBox group("Protocols");
    group.setCheckable(true);
    QLabel label;
    QPlainTextEdit dataView;
    QTableView list;
    QToolBar toolBar;
    QToolButton toolButton;
    QStatusBar statusBar;
    for (const QWidget* widget : std::initializer_list<QWidget*>{&group, &label, &dataView, &list,
                                                                 &toolBar, &toolButton, &statusBar})
        QVERIFY2(!FlatSkin::ClassifyWidget(widget), widget->metaObject()->className());

    // Not even a group box's own check box takes the skin's box.
    group.resize(150, 80);
    const QImage image = Render(group);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QVERIFY(image.pixelColor(x, y) != QColor(24, 81, 132));
}

QTEST_MAIN(FlatSkinTest)
#include "FlatSkinTest.moc"
