#include "MainWindowTemplate.h"

#include "ControlIds.h"

namespace talvane {

namespace {

using Kind = DialogTemplate::Kind;

constexpr DialogTemplate::Control Controls[] = {
    {ControlId::RecordList, Kind::ListView, 7, 20, 454, 127, ""},
    {ControlId::DataView, Kind::RichEdit, 7, 159, 454, 94, ""},
    {ControlId::TotalReceived, Kind::Static, 10, 150, 189, 8, "总共接收:"},
    {ControlId::CurrentReceived, Kind::Static, 222, 150, 175, 8, "当前接收:"},
    {ControlId::SaveSelected, Kind::PushButton, 41, 261, 50, 15, "保存"},
    {ControlId::SaveAll, Kind::PushButton, 121, 261, 50, 15, "保存所有"},
    {ControlId::AddressCombo, Kind::ComboBox, 112, 2, 71, 59, ""},
    {ControlId::Banner, Kind::Link, 357, 254, 110, 28, ""},
    {ControlId::UseFilter, Kind::CheckBox, 207, 3, 64, 10, "启用监控条件"},
    {ControlId::WideDump, Kind::CheckBox, 400, 148, 56, 10, "32字节显示"},
};

} // namespace

const DialogTemplate MainWindowTemplate{468, 317, 9, "Talvane", Controls};

} // namespace talvane
