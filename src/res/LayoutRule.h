#pragma once

#include <span>

namespace talvane {

// One step of the main window's resize layout: a control moves or grows by a percentage of the
// change in the client area's width (dx) or height (dy).
struct LayoutRule {
    enum Mode {
        MoveRight = 0,
        MoveDown = 1,
        MoveRightAndDown = 2,
        Widen = 3,
        Heighten = 4,
        WidenAndHeighten = 5,
    };

    int controlId;
    int mode;
    int percentage;

    struct Rect {
        int left, top, width, height;
        friend bool operator==(const Rect&, const Rect&) = default;
    };

    // Each product is divided by 100 truncating toward zero, so a shrinking window moves
    // controls back by the same amounts. A mode outside the table leaves the control where it
    // is.
    Rect Apply(Rect rect, int dx, int dy) const;
    // A percentage outside 0 to 100 makes the rule a no-op that is skipped.
    bool Valid() const { return percentage >= 0 && percentage <= 100; }
};

} // namespace talvane
