#include "FlatSkin.h"

#include "GradientFill.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>
#include <array>

namespace talvane {

namespace {

// Push button gradients, by use.
enum PushGradient {
    BandPressed,
    BandHot,
    BandChecked,
    BandFocused,
    BandNormal,
    FacePressed,
    FaceNormal
};
// The top byte of each last corner keeps these fills from collapsing to one rectangle.
constexpr std::array<GradientCorners, 7> PushGradients{{
    {Rgb(209, 204, 193), Rgb(209, 204, 193), Rgb(242, 241, 238), Rgb(242, 241, 238, 0xFF)},
    {Rgb(255, 240, 207), Rgb(255, 240, 207), Rgb(229, 151, 0), Rgb(229, 151, 0, 0xFF)},
    {Rgb(214, 203, 189), Rgb(214, 207, 198), Rgb(247, 243, 239), Rgb(247, 243, 239, 0xFF)},
    {Rgb(206, 231, 255), Rgb(206, 231, 255), Rgb(105, 130, 238), Rgb(105, 130, 238, 0xFF)},
    {Rgb(255, 255, 255), Rgb(255, 255, 255), Rgb(226, 223, 214), Rgb(226, 223, 214, 0xFF)},
    {Rgb(231, 227, 222), Rgb(231, 231, 231), Rgb(231, 227, 222), Rgb(231, 227, 222, 0xFF)},
    {Rgb(252, 252, 251), Rgb(252, 252, 251), Rgb(236, 235, 230), Rgb(236, 235, 230, 0xFF)},
}};

// Check box and radio button gradients: pressed, hot, normal.
constexpr std::array<GradientCorners, 3> BoxGradients{{
    {Rgb(181, 178, 165), Rgb(214, 215, 206), Rgb(214, 215, 206), Rgb(247, 239, 222)},
    {Rgb(255, 243, 206), Rgb(255, 203, 99), Rgb(255, 203, 99), Rgb(255, 178, 49)},
    {Rgb(222, 223, 214), Rgb(247, 243, 239), Rgb(247, 243, 239), Rgb(255, 255, 255)},
}};

struct ComboButtonLook {
    GradientCorners outer;
    std::array<ColourRef, 4> corners; // top-left, top-right, bottom-left, bottom-right
    GradientCorners inner;
};
enum ComboButtonState { ComboDisabled, ComboPressed, ComboHot, ComboNormal };
constexpr std::array<ComboButtonLook, 4> ComboButtonLooks{{
    {{Rgb(247, 243, 239), Rgb(231, 231, 222), Rgb(231, 227, 222), Rgb(231, 227, 222)},
     {Rgb(247, 247, 247), Rgb(247, 243, 239), Rgb(247, 243, 239), Rgb(247, 243, 239)},
     {Rgb(247, 247, 247), Rgb(239, 239, 231), Rgb(239, 235, 231), Rgb(231, 231, 222)}},
    {{Rgb(165, 174, 222), Rgb(189, 203, 247), Rgb(115, 130, 222), Rgb(181, 199, 247)},
     {Rgb(189, 195, 222), Rgb(173, 182, 222), Rgb(222, 227, 255), Rgb(222, 227, 247)},
     {Rgb(107, 142, 247), Rgb(132, 150, 247), Rgb(140, 158, 239), Rgb(214, 223, 239)}},
    {{Rgb(181, 199, 239), Rgb(148, 174, 231), Rgb(132, 162, 222), Rgb(140, 166, 222)},
     {Rgb(206, 219, 239), Rgb(198, 207, 239), Rgb(198, 207, 231), Rgb(189, 203, 231)},
     {Rgb(255, 255, 255), Rgb(206, 227, 255), Rgb(198, 223, 255), Rgb(189, 219, 255)}},
    {{Rgb(214, 227, 255), Rgb(189, 203, 247), Rgb(173, 195, 247), Rgb(181, 199, 247)},
     {Rgb(231, 239, 255), Rgb(222, 231, 255), Rgb(222, 227, 255), Rgb(222, 227, 247)},
     {Rgb(231, 235, 255), Rgb(189, 207, 255), Rgb(181, 203, 255), Rgb(173, 203, 247)}},
}};

constexpr ColourRef PushFrame = Rgb(0, 60, 115);
constexpr ColourRef PushDisabledFill = Rgb(245, 244, 234);
constexpr ColourRef PushSecondRing = Rgb(82, 125, 165);
constexpr ColourRef PushThirdRing = Rgb(123, 150, 173);
constexpr ColourRef PushGreyText = Rgb(165, 162, 148);
constexpr ColourRef BoxFrame = Rgb(24, 81, 132);
constexpr ColourRef CheckMark = Rgb(33, 162, 33);
constexpr ColourRef CheckMarkDisabled = Rgb(206, 203, 189);
constexpr ColourRef FieldFrame = Rgb(123, 158, 189);
constexpr ColourRef Arrow = Rgb(74, 97, 132);
constexpr ColourRef ArrowDisabled = Rgb(206, 203, 198);

// Solid fills of the mark area.
constexpr ColourRef MarkIndeterminateDisabled = Rgb(206, 203, 189);
constexpr ColourRef MarkIndeterminatePressed = Rgb(24, 138, 24);
constexpr ColourRef MarkIndeterminateHot = Rgb(33, 162, 33);
constexpr ColourRef MarkIndeterminate = Rgb(115, 195, 115);
constexpr ColourRef MarkHotChecked = Rgb(247, 247, 247);
constexpr ColourRef MarkHot = Rgb(231, 231, 231);

// How much darker than the button face the disabled frames and corner rings are.
constexpr int DisabledFrameShade = 0x20;
constexpr int DisabledSecondRingShade = 0x15;
constexpr int DisabledThirdRingShade = 0x11;

// A pixel offset from the rectangle's left or top edge, or from its right or bottom edge
// (exclusive) when negative.
struct EdgeOffset {
    int x;
    int y;
};
constexpr std::array<EdgeOffset, 4> PushFaceCorners{{{1, 1}, {1, -2}, {-2, -2}, {-2, 1}}};
constexpr std::array<EdgeOffset, 4> PushSecondRingCorners{{{2, 2}, {2, -3}, {-3, -3}, {-3, 2}}};
constexpr std::array<EdgeOffset, 8> PushThirdRingCorners{
    {{1, 2}, {2, 1}, {-3, 1}, {-2, 2}, {-3, -2}, {-2, -3}, {2, -2}, {1, -3}}};

constexpr int BoxSize = 13;
constexpr int BoxTextLeft = 18;
// The check mark: vertical strokes of three pixels, column x from row a of the mark area.
struct MarkStroke {
    int x;
    int a;
};
constexpr int MarkStrokeLength = 3;
constexpr std::array<MarkStroke, 7> CheckMarkStrokes{
    {{3, 2}, {4, 3}, {5, 4}, {6, 3}, {7, 2}, {8, 1}, {9, 0}}};

// The drop-down arrow: three lines through three points from the button's centre, each ending
// just before its last point.
constexpr std::array<std::array<QPoint, 3>, 3> ArrowLines{{
    {QPoint(-4, -2), QPoint(0, 2), QPoint(5, -3)},
    {QPoint(-3, -2), QPoint(0, 1), QPoint(4, -3)},
    {QPoint(-3, -3), QPoint(0, 0), QPoint(4, -4)},
}};

// Window texts are read into a 256-byte buffer.
constexpr int MaxCaptionLength = 255;

QColor ToQColor(ColourRef colour) {
    return QColor(colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF);
}

// Darker by the same amount in each channel; a channel already darker stops at 0 instead of
// borrowing from its neighbour.
QColor FaceMinus(const QColor& face, int shade) {
    return QColor(std::max(face.red() - shade, 0), std::max(face.green() - shade, 0),
                  std::max(face.blue() - shade, 0));
}

// A rectangle from its edges, the right and bottom ones exclusive.
QRect FromEdges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

QRect Shrink(const QRect& rect, int by) {
    return rect.adjusted(by, by, -by, -by);
}

void SetPixel(QPainter* painter, int x, int y, const QColor& colour) {
    painter->fillRect(x, y, 1, 1, colour);
}

QPoint PixelAt(const QRect& rect, EdgeOffset offset) {
    return {offset.x < 0 ? rect.x() + rect.width() + offset.x : rect.x() + offset.x,
            offset.y < 0 ? rect.y() + rect.height() + offset.y : rect.y() + offset.y};
}

void FrameRect(QPainter* painter, const QRect& rect, const QColor& colour) {
    if (rect.isEmpty())
        return;
    painter->fillRect(rect.x(), rect.y(), rect.width(), 1, colour);
    painter->fillRect(rect.x(), rect.bottom(), rect.width(), 1, colour);
    painter->fillRect(rect.x(), rect.y(), 1, rect.height(), colour);
    painter->fillRect(rect.right(), rect.y(), 1, rect.height(), colour);
}

void FillGradient4(QPainter* painter, const QRect& rect, const GradientCorners& corners) {
    if (rect.isEmpty())
        return;
    const GradientFill fill(rect.width(), rect.height(), corners);
    QImage image(rect.size(), QImage::Format_RGB32);
    for (int y = 0; y < rect.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < rect.width(); ++x)
            row[x] = fill.ArgbAt(x, y);
    }
    painter->drawImage(rect.topLeft(), image);
}

// A dotted rectangle that inverts every other pixel, so it shows on any background.
void DrawFocusRect(QPainter* painter, const QRect& rect) {
    if (rect.isEmpty())
        return;
    painter->save();
    painter->setCompositionMode(QPainter::RasterOp_NotDestination);
    auto dot = [&](int x, int y) {
        if ((x + y) % 2 == 0)
            SetPixel(painter, x, y, Qt::black);
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        dot(x, rect.top());
        if (rect.bottom() != rect.top())
            dot(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        dot(rect.left(), y);
        if (rect.right() != rect.left())
            dot(rect.right(), y);
    }
    painter->restore();
}

// A line of 45-degree segments through the points, without the last point.
void DrawDiagonalLine(QPainter* painter, const std::array<QPoint, 3>& points, const QColor& pen) {
    for (std::size_t segment = 0; segment + 1 < points.size(); ++segment) {
        QPoint at = points[segment];
        const QPoint to = points[segment + 1];
        const QPoint step((to.x() > at.x()) - (to.x() < at.x()),
                          (to.y() > at.y()) - (to.y() < at.y()));
        for (; at != to; at += step)
            SetPixel(painter, at.x(), at.y(), pen);
    }
}

// Whether the pointer is over the widget now. Leave notices miss some ways of going: a drop-down
// list holds the mouse while it is open, and a window that closes takes its controls away from
// under the pointer.
bool PointerOver(const QWidget* widget) {
    const QWidget* popup = QApplication::activePopupWidget();
    if (widget == nullptr || (popup != nullptr && popup != widget->window()))
        return false;
    return widget->rect().contains(widget->mapFromGlobal(QCursor::pos()));
}

QString Caption(const QStyleOption* option) {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    return button ? button->text.left(MaxCaptionLength) : QString();
}

} // namespace

struct FlatSkin::SkinState {
    bool disabled = false;
    bool pressed = false;
    bool hot = false;
    bool focused = false;
    bool isDefault = false;
    bool checked = false;
    bool indeterminate = false;
    bool readOnly = false;
};

FlatSkin::FlatSkin() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

std::optional<FlatSkin::SkinKind> FlatSkin::ClassifyWidget(const QWidget* widget) {
    // A checkable push button is the push-like check box; it stays a push button.
    if (qobject_cast<const QPushButton*>(widget))
        return SkinKind::PushButton;
    if (qobject_cast<const QCheckBox*>(widget))
        return SkinKind::CheckBox;
    if (qobject_cast<const QRadioButton*>(widget))
        return SkinKind::RadioButton;
    if (qobject_cast<const QLineEdit*>(widget))
        return SkinKind::Edit;
    if (qobject_cast<const QComboBox*>(widget))
        return SkinKind::ComboBox;
    return std::nullopt;
}

void FlatSkin::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    const std::optional<SkinKind> kind = ClassifyWidget(widget);
    // An edit field's border does not change with the mouse.
    if (!kind || *kind == SkinKind::Edit || mouse.contains(widget))
        return;
    widget->setAttribute(Qt::WA_Hover);
    mouse.insert(widget, {});
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this](QObject* gone) { mouse.remove(gone); });
}

void FlatSkin::unpolish(QWidget* widget) {
    if (mouse.remove(widget)) {
        widget->removeEventFilter(this);
        disconnect(widget, &QObject::destroyed, this, nullptr);
    }
    QProxyStyle::unpolish(widget);
}

bool FlatSkin::eventFilter(QObject* watched, QEvent* event) {
    const auto tracked = mouse.find(watched);
    if (tracked == mouse.end())
        return QProxyStyle::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: {
        // Hot only from a move without the left button held: dragging over a control, or
        // holding it down, does not light it up. Entering repaints even when the flag is still
        // set from a leave that never came.
        const auto* moved = static_cast<const QHoverEvent*>(event);
        if ((!tracked->hot || event->type() == QEvent::HoverEnter) &&
            !(QGuiApplication::mouseButtons() & Qt::LeftButton) &&
            widget->rect().contains(moved->position().toPoint())) {
            tracked->hot = true;
            widget->update();
        }
        break;
    }
    case QEvent::HoverLeave:
    case QEvent::Leave:
    case QEvent::Hide:
        if (tracked->hot) {
            tracked->hot = false;
            widget->update();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton) {
            tracked->leftButtonDown = event->type() == QEvent::MouseButtonPress;
            widget->update();
        }
        break;
    default:
        break;
    }
    return false;
}

FlatSkin::SkinState FlatSkin::StateOf(const QStyleOption* option, const QWidget* widget) const {
    const MouseState tracked = mouse.value(widget);
    SkinState state;
    state.disabled = !(option->state & State_Enabled);
    state.pressed = option->state & State_Sunken;
    state.hot = tracked.hot && PointerOver(widget);
    state.focused = option->state & State_HasFocus;
    state.checked = option->state & State_On;
    state.indeterminate = option->state & State_NoChange;
    if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option))
        state.isDefault = button->features & QStyleOptionButton::DefaultButton;
    // A click that opens the drop-down list hands its release to the list, not to the box.
    if (qobject_cast<const QComboBox*>(widget))
        state.pressed = tracked.leftButtonDown && QGuiApplication::mouseButtons() & Qt::LeftButton;
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        state.readOnly = edit->isReadOnly();
    return state;
}

void FlatSkin::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                           const QWidget* widget) const {
    const std::optional<SkinKind> kind = ClassifyWidget(widget);
    if (element == CE_PushButton && kind == SkinKind::PushButton)
        PaintPushButton(option, painter, widget);
    else if ((element == CE_CheckBox && kind == SkinKind::CheckBox) ||
             (element == CE_RadioButton && kind == SkinKind::RadioButton))
        PaintCheckBox(option, painter, widget);
    else
        QProxyStyle::drawControl(element, option, painter, widget);
}

void FlatSkin::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                             QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element == PE_PanelLineEdit && ClassifyWidget(widget) == SkinKind::Edit)
        PaintEditBorder(option, painter, widget);
}

void FlatSkin::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                  QPainter* painter, const QWidget* widget) const {
    if (control == CC_ComboBox && ClassifyWidget(widget) == SkinKind::ComboBox)
        PaintComboBox(option, painter, widget);
    else
        QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QRect FlatSkin::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                               SubControl subControl, const QWidget* widget) const {
    if (control != CC_ComboBox || ClassifyWidget(widget) != SkinKind::ComboBox)
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    // Inside the two frame rings the button takes a scroll bar's width at the right.
    const QRect& r = option->rect;
    const int buttonLeft = r.width() - 2 - pixelMetric(PM_ScrollBarExtent, option, widget);
    switch (subControl) {
    case SC_ComboBoxArrow:
        return FromEdges(buttonLeft, 2, r.width() - 2, r.height() - 2).translated(r.topLeft());
    case SC_ComboBoxEditField:
        return FromEdges(3, 3, buttonLeft, r.height() - 3).translated(r.topLeft());
    case SC_ComboBoxFrame:
        return r;
    default:
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

int FlatSkin::pixelMetric(PixelMetric metric, const QStyleOption* option,
                          const QWidget* widget) const {
    const std::optional<SkinKind> kind = ClassifyWidget(widget);
    const bool box = kind == SkinKind::CheckBox || kind == SkinKind::RadioButton;
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        if (box)
            return BoxSize;
        break;
    case PM_CheckBoxLabelSpacing:
    case PM_RadioButtonLabelSpacing:
        if (box)
            return BoxTextLeft - BoxSize;
        break;
    case PM_DefaultFrameWidth:
        // The border's two rings.
        if (kind == SkinKind::Edit)
            return 2;
        break;
    default:
        break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void FlatSkin::PaintPushButton(const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    const SkinState state = StateOf(option, widget);
    const QColor face = option->palette.color(QPalette::Button);
    const QRect whole(QPoint(0, 0), option->rect.size());
    painter->save();
    painter->translate(option->rect.topLeft());

    QRect r = whole;
    FrameRect(painter, r, face);
    r = Shrink(r, 1);
    FrameRect(painter, r,
              state.disabled ? FaceMinus(face, DisabledFrameShade) : ToQColor(PushFrame));
    r = Shrink(r, 1);
    if (state.disabled) {
        painter->fillRect(r, ToQColor(PushDisabledFill));
    } else {
        const PushGradient band = state.pressed                          ? BandPressed
                                  : state.hot                            ? BandHot
                                  : state.checked || state.indeterminate ? BandChecked
                                  : state.focused || state.isDefault     ? BandFocused
                                                                         : BandNormal;
        FillGradient4(painter, r, PushGradients[band]);
    }
    // The band shows as a two-pixel ring around the face.
    r = Shrink(r, 2);
    if (state.pressed || state.checked || state.indeterminate)
        FillGradient4(painter, r, PushGradients[FacePressed]);
    else if (!state.disabled)
        FillGradient4(painter, r, PushGradients[FaceNormal]);

    // Rounded corners.
    const QColor secondRing =
        state.disabled ? FaceMinus(face, DisabledSecondRingShade) : ToQColor(PushSecondRing);
    const QColor thirdRing =
        state.disabled ? FaceMinus(face, DisabledThirdRingShade) : ToQColor(PushThirdRing);
    for (const EdgeOffset offset : PushFaceCorners)
        SetPixel(painter, PixelAt(whole, offset).x(), PixelAt(whole, offset).y(), face);
    for (const EdgeOffset offset : PushSecondRingCorners)
        SetPixel(painter, PixelAt(whole, offset).x(), PixelAt(whole, offset).y(), secondRing);
    for (const EdgeOffset offset : PushThirdRingCorners)
        SetPixel(painter, PixelAt(whole, offset).x(), PixelAt(whole, offset).y(), thirdRing);

    if (state.focused) {
        r = Shrink(r, -1);
        DrawFocusRect(painter, r);
    }
    const QString text = Caption(option);
    if (!text.isEmpty()) {
        if (state.pressed)
            r.translate(1, 1);
        painter->setPen(state.disabled || state.indeterminate ? ToQColor(PushGreyText)
                                                              : QColor(Qt::black));
        painter->drawText(r, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text);
    }
    painter->restore();
}

void FlatSkin::PaintCheckBox(const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    // Radio buttons share the check box's square box and check mark. Only the box, the mark and
    // the text are drawn: around them the parent shows, a group box's interior for instance.
    const SkinState state = StateOf(option, widget);
    const QColor face = option->palette.color(QPalette::Button);
    painter->save();
    painter->translate(option->rect.topLeft());

    const int boxTop = (option->rect.height() - BoxSize) / 2;
    QRect box(0, boxTop, BoxSize, BoxSize);
    FrameRect(painter, box,
              state.disabled ? FaceMinus(face, DisabledFrameShade) : ToQColor(BoxFrame));
    box = Shrink(box, 1);
    if (state.disabled)
        painter->fillRect(box, Qt::white);
    else
        FillGradient4(painter, box, BoxGradients[state.pressed ? 0 : state.hot ? 1 : 2]);

    const QRect markArea = Shrink(box, 2);
    if (state.indeterminate) {
        const ColourRef fill = state.disabled  ? MarkIndeterminateDisabled
                               : state.pressed ? MarkIndeterminatePressed
                               : state.hot     ? MarkIndeterminateHot
                                               : MarkIndeterminate;
        painter->fillRect(markArea, ToQColor(fill));
    } else if (state.hot && !state.pressed) {
        painter->fillRect(markArea, ToQColor(state.checked ? MarkHotChecked : MarkHot));
    }
    if (state.checked) {
        const QColor pen = ToQColor(state.disabled ? CheckMarkDisabled : CheckMark);
        for (const MarkStroke stroke : CheckMarkStrokes)
            painter->fillRect(stroke.x, markArea.top() + stroke.a, 1, MarkStrokeLength, pen);
    }

    const QString text = Caption(option);
    if (!text.isEmpty()) {
        const QSize extent =
            option->fontMetrics.size(Qt::TextSingleLine | Qt::TextShowMnemonic, text);
        QRect textRect(BoxTextLeft, boxTop + 1, extent.width(), extent.height() + 1);
        painter->setPen(state.disabled ? option->palette.color(QPalette::Disabled, QPalette::Text)
                                       : option->palette.color(QPalette::ButtonText));
        painter->drawText(
            textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
            text);
        if (state.focused)
            DrawFocusRect(painter, Shrink(textRect, -1));
    }
    painter->restore();
}

void FlatSkin::PaintEditBorder(const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    // The edit inside an editable combo box has no frame; the box draws one.
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (!frame || frame->lineWidth <= 0)
        return;
    const SkinState state = StateOf(option, widget);
    const QColor face = option->palette.color(QPalette::Button);
    QRect r = option->rect;
    FrameRect(painter, r,
              state.disabled ? FaceMinus(face, DisabledFrameShade) : ToQColor(FieldFrame));
    FrameRect(painter, Shrink(r, 1),
              state.disabled || state.readOnly ? face : option->palette.color(QPalette::Base));
}

void FlatSkin::PaintComboBox(const QStyleOptionComplex* option, QPainter* painter,
                             const QWidget* widget) const {
    const SkinState state = StateOf(option, widget);
    const QColor face = option->palette.color(QPalette::Button);
    const QColor inner = state.disabled ? face : option->palette.color(QPalette::Base);
    const int width = option->rect.width();
    const int height = option->rect.height();
    painter->save();
    painter->translate(option->rect.topLeft());

    QRect r(0, 0, width, height);
    // The field behind the label or the edit.
    painter->fillRect(Shrink(r, 2), inner);
    FrameRect(painter, r,
              state.disabled ? FaceMinus(face, DisabledFrameShade) : ToQColor(FieldFrame));
    r = Shrink(r, 1);
    FrameRect(painter, r, inner);
    r = Shrink(r, 1);

    QRect button = FromEdges(r.x() + r.width() - pixelMetric(PM_ScrollBarExtent, option, widget), 2,
                             width - 2, height - 2);
    FrameRect(painter, button, inner);
    button.setLeft(button.left() + 1);
    const ComboButtonLook& look = ComboButtonLooks[state.disabled  ? ComboDisabled
                                                   : state.pressed ? ComboPressed
                                                   : state.hot     ? ComboHot
                                                                   : ComboNormal];
    FillGradient4(painter, button, look.outer);
    SetPixel(painter, button.left(), button.top(), ToQColor(look.corners[0]));
    SetPixel(painter, button.right(), button.top(), ToQColor(look.corners[1]));
    SetPixel(painter, button.left(), button.bottom(), ToQColor(look.corners[2]));
    SetPixel(painter, button.right(), button.bottom(), ToQColor(look.corners[3]));
    button = Shrink(button, 1);
    FillGradient4(painter, button, look.inner);

    const QPoint centre(button.left() + button.width() / 2, button.top() + button.height() / 2);
    const QColor pen = ToQColor(state.disabled ? ArrowDisabled : Arrow);
    for (std::array<QPoint, 3> line : ArrowLines) {
        for (QPoint& point : line)
            point += centre;
        DrawDiagonalLine(painter, line, pen);
    }
    painter->restore();
}

} // namespace talvane
