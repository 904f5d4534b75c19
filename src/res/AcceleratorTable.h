#pragma once

#include <span>

namespace talvane {

// Table 143: keys that run commands. A plain key has no Ctrl, Shift or Alt; letters match in
// either case.
struct Accelerator {
    enum class Modifiers { None, Ctrl, CtrlShift };
    int key; // a Qt::Key value
    Modifiers modifiers;
    int commandId;
};

extern const std::span<const Accelerator> AcceleratorTable;

} // namespace talvane
