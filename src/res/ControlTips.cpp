#include "ControlTips.h"

#include "ControlIds.h"

namespace talvane {

namespace {

constexpr ControlTip Entries[] = {
    {ControlId::SaveSelected, "保存当前选中的记录"},
    {ControlId::SaveAll, "保存所有监控记录"},
    {ControlId::UseFilter, "选中后会执行过滤设置,在设置菜单中编辑"},
};

} // namespace

const std::span<const ControlTip> ControlTips{Entries};

} // namespace talvane
