#include "GradientFill.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace talvane {

namespace {

// Colour channels in sixteen bits, as the fill interpolates them.
using Channels = std::array<std::int64_t, 3>;

Channels ChannelsOf(ColourRef colour) {
    return {static_cast<std::int64_t>(colour & 0xFF) << 8,
            static_cast<std::int64_t>(colour >> 8 & 0xFF) << 8,
            static_cast<std::int64_t>(colour >> 16 & 0xFF) << 8};
}

// origin + (along - origin) * step / steps + (across - origin) * rise / rises, per channel.
std::uint32_t Shade(ColourRef origin, ColourRef along, std::int64_t step, std::int64_t steps,
                    ColourRef across, std::int64_t rise, std::int64_t rises) {
    const Channels o = ChannelsOf(origin);
    const Channels a = ChannelsOf(along);
    const Channels c = ChannelsOf(across);
    std::uint32_t argb = 0xFF000000;
    for (int channel = 0; channel < 3; ++channel) {
        const std::int64_t value = o[channel] + (a[channel] - o[channel]) * step / steps +
                                   (c[channel] - o[channel]) * rise / rises;
        const auto byte = static_cast<std::uint32_t>(std::clamp<std::int64_t>(value >> 8, 0, 255));
        argb |= byte << (16 - 8 * channel);
    }
    return argb;
}

} // namespace

GradientFill::GradientFill(int width, int height, const GradientCorners& corners)
    : width(std::max(width, 1)), height(std::max(height, 1)), corners(corners) {}

bool GradientFill::IsSingleRectangle() const {
    return corners.topLeft == corners.topRight && corners.bottomLeft == corners.bottomRight;
}

std::uint32_t GradientFill::ArgbAt(int x, int y) const {
    if (IsSingleRectangle())
        return Shade(corners.topLeft, corners.topLeft, 0, 1, corners.bottomLeft, y, height);
    const std::int64_t w = width;
    const std::int64_t h = height;
    // Above the diagonal: the triangle of the top-left corner.
    if (x * h + y * w < w * h)
        return Shade(corners.topLeft, corners.topRight, x, w, corners.bottomLeft, y, h);
    return Shade(corners.bottomRight, corners.bottomLeft, w - x, w, corners.topRight, h - y, h);
}

} // namespace talvane
