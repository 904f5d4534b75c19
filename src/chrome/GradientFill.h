#pragma once

#include <cstdint>

namespace talvane {

// Colours in COLORREF layout: red in the low byte, then green, then blue, then a top byte that
// takes part only in telling equal corners apart.
using ColourRef = std::uint32_t;

constexpr ColourRef Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                        std::uint32_t top = 0) {
    return red | green << 8 | blue << 16 | top << 24;
}

// The corner colours of a four-corner fill.
struct GradientCorners {
    ColourRef topLeft;
    ColourRef topRight;
    ColourRef bottomLeft;
    ColourRef bottomRight;
};

// A rectangle filled from its four corner colours. With equal top and equal bottom corners it is
// one vertical gradient; otherwise two triangles meet on the diagonal from the top-right to the
// bottom-left corner, (top-left, top-right, bottom-left) and (bottom-right, top-right,
// bottom-left), each shaded linearly from its vertices. Vertices sit on the rectangle's corners,
// the right and bottom ones just outside its last pixels, and each pixel is sampled at its
// top-left point, so the far corners' colours are approached but not reached.
class GradientFill {
public:
    GradientFill(int width, int height, const GradientCorners& corners);

    bool IsSingleRectangle() const;
    // The opaque colour of pixel (x, y) of the rectangle, as 0xFFRRGGBB.
    std::uint32_t ArgbAt(int x, int y) const;

private:
    int width;
    int height;
    GradientCorners corners;
};

} // namespace talvane
