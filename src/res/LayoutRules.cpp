#include "LayoutRules.h"

#include "ControlIds.h"

namespace talvane {

namespace {

using Mode = LayoutRule::Mode;

constexpr LayoutRule Rules[] = {
    {ControlId::SaveSelected, Mode::MoveDown, 100},
    {ControlId::SaveAll, Mode::MoveDown, 100},
    {ControlId::Banner, Mode::MoveDown, 100},
    {ControlId::Banner, Mode::MoveRight, 100},
    {ControlId::StatusBar, Mode::MoveDown, 98},
    {ControlId::StatusBar, Mode::Widen, 100},
    {ControlId::DataView, Mode::MoveDown, 50},
    {ControlId::DataView, Mode::Widen, 100},
    {ControlId::DataView, Mode::Heighten, 50},
    {ControlId::TotalReceived, Mode::MoveDown, 50},
    {ControlId::CurrentReceived, Mode::MoveDown, 50},
    {ControlId::RecordList, Mode::Widen, 100},
    {ControlId::RecordList, Mode::Heighten, 50},
    {ControlId::WideDump, Mode::MoveDown, 50},
};

} // namespace

const std::span<const LayoutRule> MainWindowLayoutRules{Rules};

} // namespace talvane
