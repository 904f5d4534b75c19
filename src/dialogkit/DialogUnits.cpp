#include "DialogUnits.h"

namespace talvane {

namespace {

// value * numerator / denominator, rounded half away from zero.
int ScaleRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

} // namespace

int DialogUnits::X(int units) const {
    return ScaleRounded(units, baseX, 4);
}

int DialogUnits::Y(int units) const {
    return ScaleRounded(units, baseY, 8);
}

DialogUnits::Rect DialogUnits::Map(int x, int y, int width, int height) const {
    const int left = X(x);
    const int top = Y(y);
    return {left, top, X(x + width) - left, Y(y + height) - top};
}

} // namespace talvane
