#include "ResizeLayout.h"

namespace talvane {

ResizeLayout::ResizeLayout(std::span<const LayoutRule> rules, const ControlMap& controls)
    : rules(rules), controls(controls) {}

void ResizeLayout::NoteInitialPlaces(QSize clientSize) {
    initialClientSize = clientSize;
    // A rule that is a no-op names no control to place.
    for (const LayoutRule& rule : rules) {
        if (!rule.Valid())
            continue;
        const QRect place = controls.Get(rule.controlId)->geometry();
        initialPlaces.try_emplace(
            rule.controlId, LayoutRule::Rect{place.x(), place.y(), place.width(), place.height()});
    }
    noted = true;
}

void ResizeLayout::Follow(QSize clientSize) const {
    const QSize change = clientSize - initialClientSize;
    std::map<int, LayoutRule::Rect> places = initialPlaces;
    for (const LayoutRule& rule : rules) {
        if (rule.Valid())
            places[rule.controlId] =
                rule.Apply(places[rule.controlId], change.width(), change.height());
    }
    for (const auto& [controlId, place] : places)
        controls.Get(controlId)->setGeometry(place.left, place.top, place.width, place.height);
}

} // namespace talvane
