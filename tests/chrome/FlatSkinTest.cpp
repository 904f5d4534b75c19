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

using namespace talvane;

Q_DECLARE_METATYPE(GradientCorners)

namespace {

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

std::unique_ptr<QWidget> MakeWidget(const QString& kind) {
    if (kind == "push button")
        return std::make_unique<QPushButton>("OK");
    if (kind == "check box")
        return std::make_unique<QCheckBox>("Filter");
    if (kind == "radio button")
        return std::make_unique<QRadioButton>("Filter");
    if (kind == "edit")
        return std::make_unique<QLineEdit>("1080|8080");
    auto combo = std::make_unique<QComboBox>();
    combo->setEditable(kind == "editable combo box");
    combo->addItem("192.168.0.1");
    return combo;
}

// What a user or the program does to the widget before it is looked at.
void Apply(QWidget& widget, const QString& step) {
    auto* button = qobject_cast<QAbstractButton*>(&widget);
    auto* edit = qobject_cast<QLineEdit*>(&widget);
    if (step == "checked") {
        button->setCheckable(true);
        button->setChecked(true);
    } else if (step == "indeterminate") {
        auto* checkBox = static_cast<QCheckBox*>(button);
        checkBox->setTristate(true);
        checkBox->setCheckState(Qt::PartiallyChecked);
    } else if (step == "pressed") {
        button->setDown(true);
    } else if (step == "default") {
        static_cast<QPushButton*>(button)->setDefault(true);
    } else if (step == "disabled") {
        widget.setEnabled(false);
    } else if (step == "hot") {
        SendHover(widget);
    } else if (step == "shown") {
        Render(widget);
    } else if (step == "read-only" || step == "editable") {
        edit->setReadOnly(step == "read-only");
    } else if (step == "frameless") {
        edit->setFrame(false);
    } else {
        QFAIL(qPrintable("unknown step " + step));
    }
}

int CountOf(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

// A pixel and the colour it shows.
struct Probe {
    QPoint at;
    QColor colour;
};
using Probes = QList<Probe>;

} // namespace

Q_DECLARE_METATYPE(Probes)

class FlatSkinTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void gradientFill_data();
    void gradientFill();
    void looks_data();
    void looks();
    void hotOnlyWithoutLeftButton();
    void pickingFromTheListLeavesTheComboBoxCold();
    void reopenedDialogShowsItsButtonCold();
    void checkBoxLeavesItsSurroundingsAlone();
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

void FlatSkinTest::looks_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<Probes>("probes");
    // A colour drawn nowhere else, and how many pixels show it: a mark, an arrow, a frame.
    QTest::addColumn<QColor>("mark");
    QTest::addColumn<int>("markPixels");

    const QColor window(239, 239, 239);
    const QColor white(255, 255, 255);
    const QColor buttonFrame(0, 60, 115);
    const QColor boxFrame(24, 81, 132);
    const QColor fieldFrame(123, 158, 189);
    const QColor disabledFrame(207, 207, 207);
    const QColor green(33, 162, 33);
    const QColor arrow(74, 97, 132);
    const QSize button(80, 24);
    const QSize box(100, 20);
    const QSize edit(120, 22);
    const QSize combo(150, 24);

    // Button: the window around a dark frame with rounded corners, then a two-pixel band and the
    // face, both shaded from top to bottom; each last row falls just short of its bottom colour.
    QTest::newRow("push button") << "push button" << button << QStringList{}
                                 << Probes{{{0, 12}, window},
                                           {{1, 1}, window},
                                           {{1, 12}, buttonFrame},
                                           {{2, 2}, QColor(82, 125, 165)},
                                           {{10, 2}, white},
                                           {{10, 4}, QColor(252, 252, 251)},
                                           {{10, 19}, QColor(237, 236, 231)}}
                                 << QColor() << 0;
    QTest::newRow("push button, hot")
        << "push button" << button << QStringList{"hot"}
        << Probes{{{10, 2}, QColor(255, 240, 207)}, {{10, 21}, QColor(230, 155, 10)}} << QColor()
        << 0;
    QTest::newRow("push button, pressed")
        << "push button" << button << QStringList{"pressed"}
        << Probes{{{10, 2}, QColor(209, 204, 193)}, {{10, 4}, QColor(231, 227, 222)}} << QColor()
        << 0;
    QTest::newRow("push button, default")
        << "push button" << button << QStringList{"default"}
        << Probes{{{10, 2}, QColor(206, 231, 255)}, {{10, 21}, QColor(110, 135, 238)}} << QColor()
        << 0;
    QTest::newRow("push-like check box, checked")
        << "push button" << button << QStringList{"checked"}
        << Probes{{{10, 2}, QColor(214, 203, 189)}, {{10, 4}, QColor(231, 227, 222)}} << QColor()
        << 0;
    QTest::newRow("push button, disabled") << "push button" << button << QStringList{"disabled"}
                                           << Probes{{{1, 12}, disabledFrame},
                                                     {{2, 2}, QColor(218, 218, 218)},
                                                     {{10, 2}, QColor(245, 244, 234)},
                                                     {{10, 4}, QColor(245, 244, 234)}}
                                           << QColor() << 0;

    // Check box: a 13-pixel square box centred in the height, nothing drawn above it.
    QTest::newRow("check box") << "check box" << box << QStringList{}
                               << Probes{{{0, 2}, window},
                                         {{0, 3}, boxFrame},
                                         {{12, 15}, boxFrame},
                                         {{1, 4}, QColor(222, 223, 214)}}
                               << green << 0;
    QTest::newRow("check box, checked, odd height")
        << "check box" << QSize(100, 21) << QStringList{"checked"}
        << Probes{{{0, 3}, window}, {{0, 4}, boxFrame}} << green << 21;
    QTest::newRow("check box, pressed") << "check box" << box << QStringList{"pressed"}
                                        << Probes{{{1, 4}, QColor(181, 178, 165)}} << green << 0;
    QTest::newRow("check box, checked, hot")
        << "check box" << box << QStringList{"checked", "hot"}
        << Probes{{{1, 4}, QColor(255, 243, 206)}, {{3, 6}, QColor(247, 247, 247)}} << green << 21;
    QTest::newRow("check box, checked, disabled")
        << "check box" << box << QStringList{"checked", "disabled"}
        << Probes{{{0, 3}, disabledFrame}, {{1, 4}, white}} << QColor(206, 203, 189) << 21;
    QTest::newRow("check box, indeterminate")
        << "check box" << box << QStringList{"indeterminate"} << Probes{{{0, 3}, boxFrame}}
        << QColor(115, 195, 115) << 49;
    QTest::newRow("radio button, checked")
        << "radio button" << QSize(100, 16) << QStringList{"checked"}
        << Probes{{{0, 0}, window}, {{0, 1}, boxFrame}} << green << 21;

    // Edit: a light blue frame, and inside it a ring of the field's own colour.
    QTest::newRow("edit") << "edit" << edit << QStringList{}
                          << Probes{{{0, 11}, fieldFrame},
                                    {{1, 11}, white},
                                    {{60, 21}, fieldFrame},
                                    {{60, 20}, white}}
                          << QColor() << 0;
    QTest::newRow("edit, read-only")
        << "edit" << edit << QStringList{"read-only"}
        << Probes{{{0, 11}, fieldFrame}, {{1, 11}, window}, {{60, 20}, window}} << QColor() << 0;
    QTest::newRow("edit, read-only, then editable")
        << "edit" << edit << QStringList{"read-only", "shown", "editable"}
        << Probes{{{1, 11}, white}, {{60, 20}, white}} << QColor() << 0;
    QTest::newRow("edit, disabled")
        << "edit" << edit << QStringList{"disabled"}
        << Probes{{{0, 11}, disabledFrame}, {{1, 11}, window}} << QColor() << 0;
    QTest::newRow("edit without frame")
        << "edit" << edit << QStringList{"frameless"} << Probes{} << fieldFrame << 0;

    // Combo box: the field's frame, and a shaded button at the right with a three-line arrow; the
    // button's outer shading spans (135, 2) to (147, 21).
    QTest::newRow("editable combo box") << "editable combo box" << combo << QStringList{}
                                        << Probes{{{0, 12}, fieldFrame},
                                                  {{135, 2}, QColor(231, 239, 255)},
                                                  {{147, 21}, QColor(222, 227, 247)}}
                                        << arrow << 23;
    QTest::newRow("drop-down list, hot")
        << "combo box" << combo << QStringList{"hot"}
        << Probes{{{135, 2}, QColor(206, 219, 239)}, {{147, 21}, QColor(189, 203, 231)}} << arrow
        << 23;
    QTest::newRow("editable combo box, disabled")
        << "editable combo box" << combo << QStringList{"disabled"}
        << Probes{{{0, 12}, disabledFrame}, {{135, 2}, QColor(247, 247, 247)}}
        << QColor(206, 203, 198) << 23;
}

void FlatSkinTest::looks() {
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(QStringList, steps);
    QFETCH(Probes, probes);
    QFETCH(QColor, mark);
    QFETCH(int, markPixels);

    const std::unique_ptr<QWidget> widget = MakeWidget(kind);
    widget->resize(size);
    for (const QString& step : steps)
        Apply(*widget, step);

    const QImage image = Render(*widget);
    for (const Probe& probe : probes)
        QVERIFY2(image.pixelColor(probe.at) == probe.colour,
                 qPrintable(QString("(%1, %2) shows %3")
                                .arg(probe.at.x())
                                .arg(probe.at.y())
                                .arg(image.pixelColor(probe.at).name())));
    if (mark.isValid())
        QCOMPARE(CountOf(image, mark), markPixels);
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
