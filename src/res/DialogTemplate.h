#pragma once

#include <span>

namespace talvane {

// A dialog laid out in dialog units, as data: one row per control.
struct DialogTemplate {
    enum class Kind {
        ListView,
        RichEdit,
        Static,
        Link,
        PushButton,
        DefaultPushButton,
        ComboBox,
        CheckBox,
        GroupBox,
        Edit,
        // Its text names the image it shows.
        Icon
    };

    // The id of controls nobody refers to: labels and frames.
    static constexpr int NoId = -1;

    struct Control {
        int id;
        Kind kind;
        int x, y, width, height;
        const char* text;
    };

    int width;
    int height;
    int fontPointSize;
    const char* caption;
    std::span<const Control> controls;
};

} // namespace talvane
