#pragma once

#include <span>

namespace talvane {

// Tool bar 131: 16 x 15 buttons, in the order of the images in the strip.
namespace ToolBarTemplate {

inline constexpr int ButtonWidth = 16;
inline constexpr int ButtonHeight = 15;

extern const std::span<const int> Buttons;

// The tool bar's image strips, by bitmap id: 131 the default strip, 134 the normal and hot
// images, 135 the disabled ones.
inline constexpr int DefaultStrip = 131;
inline constexpr int NormalStrip = 134;
inline constexpr int DisabledStrip = 135;
// The resource path of a strip, or nullptr for an unknown id.
const char* StripPath(int bitmapId);

} // namespace ToolBarTemplate

} // namespace talvane
