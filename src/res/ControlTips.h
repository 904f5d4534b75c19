#pragma once

#include <span>

namespace talvane {

// The main window's own tips for three of its controls.
struct ControlTip {
    int controlId;
    const char* text;
};

extern const std::span<const ControlTip> ControlTips;

} // namespace talvane
