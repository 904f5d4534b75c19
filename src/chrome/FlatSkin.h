#pragma once

#include <QHash>
#include <QProxyStyle>
#include <optional>

namespace talvane {

// The flat, gradient-filled look of push buttons, check boxes, radio buttons, line edits and combo
// boxes, with hot tracking. Set on the application, it reaches every window the program opens,
// dialogs and message boxes included; every other widget keeps the base style's look.
class FlatSkin : public QProxyStyle {
    Q_OBJECT

public:
    enum class SkinKind { PushButton, CheckBox, RadioButton, Edit, ComboBox };

    FlatSkin();

    // The kind a widget is drawn as, or none when it keeps the base look.
    static std::optional<SkinKind> ClassifyWidget(const QWidget* widget);

    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the style options do not tell: the mouse as the skin tracks it.
    struct MouseState {
        bool hot = false;
        bool leftButtonDown = false;
    };
    struct SkinState;

    SkinState StateOf(const QStyleOption* option, const QWidget* widget) const;
    void PaintPushButton(const QStyleOption* option, QPainter* painter,
                         const QWidget* widget) const;
    void PaintCheckBox(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void PaintEditBorder(const QStyleOption* option, QPainter* painter,
                         const QWidget* widget) const;
    void PaintComboBox(const QStyleOptionComplex* option, QPainter* painter,
                       const QWidget* widget) const;

    QHash<const QObject*, MouseState> mouse;
};

} // namespace talvane
