#pragma once

#include "dialogkit/ControlMap.h"
#include "res/LayoutRule.h"

#include <QSize>
#include <map>
#include <span>

namespace talvane {

// Moves and stretches a window's controls by its resize rules as its client area changes size.
// Each layout is the rules applied once to the whole change since the places were noted, so that
// many small steps end where one big step does, and going back restores every place.
class ResizeLayout {
public:
    ResizeLayout(std::span<const LayoutRule> rules, const ControlMap& controls);

    // The client area and the controls the rules move as they stand now are where the rules
    // start from.
    void NoteInitialPlaces(QSize clientSize);
    bool Noted() const { return noted; }
    // Places every control the rules name for a client area of this size.
    void Follow(QSize clientSize) const;

private:
    std::span<const LayoutRule> rules;
    const ControlMap& controls;
    bool noted = false;
    QSize initialClientSize;
    std::map<int, LayoutRule::Rect> initialPlaces;
};

} // namespace talvane
