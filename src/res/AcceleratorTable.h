#pragma once

#include <span>

namespace talvane {

// Table 143: keys that run commands. A plain key has no Ctrl, Shift or Alt; letters match in
// either case.
struct Accelerator {
    int key; // a Qt::Key value
    bool ctrl;
    int commandId;
};

extern const std::span<const Accelerator> AcceleratorTable;

} // namespace talvane
