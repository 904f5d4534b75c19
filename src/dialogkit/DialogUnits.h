#pragma once

namespace talvane {

// Converts dialog units to pixels from the dialog font's metrics: a horizontal unit is a quarter
// of the average character width, a vertical unit an eighth of the character height.
class DialogUnits {
public:
    struct Rect {
        int x, y, width, height;
        friend bool operator==(const Rect&, const Rect&) = default;
    };

    DialogUnits(int averageCharWidth, int charHeight)
        : baseX(averageCharWidth), baseY(charHeight) {}

    int X(int units) const;
    int Y(int units) const;
    // Maps the edges, not the size, so that adjacent controls stay adjacent after rounding.
    Rect Map(int x, int y, int width, int height) const;

private:
    int baseX;
    int baseY;
};

} // namespace talvane
