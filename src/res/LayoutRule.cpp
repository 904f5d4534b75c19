#include "LayoutRule.h"

namespace talvane {

LayoutRule::Rect LayoutRule::Apply(Rect rect, int dx, int dy) const {
    const int horizontal = percentage * dx / 100;
    const int vertical = percentage * dy / 100;
    switch (mode) {
    case MoveRight:
        rect.left += horizontal;
        break;
    case MoveDown:
        rect.top += vertical;
        break;
    case MoveRightAndDown:
        rect.left += horizontal;
        rect.top += vertical;
        break;
    case Widen:
        rect.width += horizontal;
        break;
    case Heighten:
        rect.height += vertical;
        break;
    case WidenAndHeighten:
        rect.width += horizontal;
        rect.height += vertical;
        break;
    default:
        break;
    }
    return rect;
}

} // namespace talvane
