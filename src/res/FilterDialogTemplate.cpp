#include "FilterDialogTemplate.h"

namespace talvane {

namespace {

using Kind = DialogTemplate::Kind;
namespace Id = FilterControlId;
constexpr int NoId = DialogTemplate::NoId;

// In template order, which is also the tab order.
constexpr DialogTemplate::Control Controls[] = {
    {Id::Ok, Kind::DefaultPushButton, 152, 215, 32, 14, "确定"},
    {Id::Cancel, Kind::PushButton, 204, 215, 30, 14, "取消"},
    {1014, Kind::GroupBox, 5, 0, 332, 234, ""},
    {Id::FilterBroadcast, Kind::CheckBox, 14, 15, 72, 10, "过滤广播数据包"},
    {Id::FilterLan, Kind::CheckBox, 98, 15, 80, 10, "过滤局域网数据包"},
    {1017, Kind::GroupBox, 6, 2, 329, 84, "包过滤设置"},
    {NoId, Kind::GroupBox, 6, 90, 329, 87, "包监控设置"},
    {Id::MonitorUdp, Kind::CheckBox, 13, 103, 63, 10, "监控UDP数据包"},
    {Id::MonitorTcp, Kind::CheckBox, 82, 103, 68, 10, "监控TCP数据包"},
    {NoId, Kind::Static, 13, 34, 53, 8, "过滤本地端口："},
    {Id::FilterLocalPort, Kind::Edit, 67, 33, 264, 12, ""},
    {NoId, Kind::Static, 13, 53, 53, 8, "过滤远程端口："},
    {Id::FilterRemotePort, Kind::Edit, 67, 51, 264, 12, ""},
    {NoId, Kind::Static, 13, 71, 31, 8, "过滤IP："},
    {Id::FilterIp, Kind::Edit, 67, 70, 264, 12, ""},
    {NoId, Kind::Static, 12, 122, 53, 8, "监控本地端口："},
    {Id::MonitorLocalPort, Kind::Edit, 66, 120, 265, 12, ""},
    {NoId, Kind::Static, 12, 142, 53, 8, "监控远程端口："},
    {Id::MonitorRemotePort, Kind::Edit, 66, 140, 264, 12, ""},
    {NoId, Kind::Static, 12, 161, 31, 8, "监控IP："},
    {Id::MonitorIp, Kind::Edit, 66, 160, 264, 12, ""},
    {Id::Export, Kind::PushButton, 35, 216, 30, 14, "导出"},
    {Id::Import, Kind::PushButton, 93, 215, 31, 14, "导入"},
    {Id::MoreHelp, Kind::Link, 271, 195, 47, 14, "更多帮助..."},
    {Id::MonitorLan, Kind::CheckBox, 150, 102, 72, 10, "监控局域网数据包"},
    {Id::RestoreDefaults, Kind::PushButton, 254, 214, 50, 14, "恢复默认设置"},
    {Id::HelpLine1, Kind::Static, 17, 183, 312, 12,
     "说明:1、@可表示0--9之间任意一个数,例如端口：800@ 表示8000--8009 十个端口,IP同样。"},
    {Id::HelpLine2, Kind::Static, 36, 196, 234, 8,
     "2、多个端口或IP请用 | 隔开,例如192.168.0.25@|192.168.0.240。"},
};

} // namespace

const DialogTemplate FilterDialogTemplate{346, 241, 10, "监控条件编辑", Controls};

} // namespace talvane
