#pragma once

#include "LayoutRule.h"

#include <span>

namespace talvane {

// The main window's resize rules, applied in order on every size change: the list and the data
// view share extra height, the buttons, the banner and the status bar stay at the bottom.
extern const std::span<const LayoutRule> MainWindowLayoutRules;

} // namespace talvane
