#pragma once

#include <span>

// Tool bar 131: 16 x 15 buttons, in the order of the images in the strip.
namespace ToolBarTemplate {

inline constexpr int ButtonWidth = 16;
inline constexpr int ButtonHeight = 15;

extern const std::span<const int> Buttons;

} // namespace ToolBarTemplate
