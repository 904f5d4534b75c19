#pragma once

#include <span>

namespace talvane {

// A menu bar as data: pop-ups in order, each with its items in order.
struct MenuTemplate {
    struct Item {
        const char* text;
        int commandId;
        // Shown after a tab; empty for none.
        const char* shortcutText;
    };
    struct Popup {
        const char* title;
        std::span<const Item> items;
    };

    std::span<const Popup> popups;
};

// Menu 137: the main window's menu bar.
extern const MenuTemplate MainMenu;

// Menu 145: the data view's context menu.
extern const MenuTemplate DataViewMenu;

} // namespace talvane
