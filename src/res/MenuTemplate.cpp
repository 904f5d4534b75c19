#include "MenuTemplate.h"

#include "CommandIds.h"

namespace talvane {

namespace {

constexpr MenuTemplate::Item FileItems[] = {
    {"保存选中记录(&S)", CommandId::SaveSelected, "Ctrl+S"},
    {"保存所有记录(&A)", CommandId::SaveAll, "Ctrl+A"},
    {"导出所有记录为 pcapng(&P)...", CommandId::ExportAllPcapng, "Ctrl+Shift+A"},
    {"导出选中记录为 pcapng...", CommandId::ExportSelectedPcapng, "Ctrl+Shift+S"},
    {"退出软件(&X)", CommandId::Exit, ""},
};

constexpr MenuTemplate::Item MonitorItems[] = {
    {"开始监控(&B)", CommandId::BeginMonitor, "B"},
    {"暂停监控(&P)", CommandId::PauseMonitor, "P"},
    {"停止监控(&S)", CommandId::StopMonitor, "S"},
    {"清空记录(&C)", CommandId::ClearRecords, "C"},
};

constexpr MenuTemplate::Item SettingsItems[] = {
    {"编辑监控条件(&E)", CommandId::EditFilter, "Ctrl+E"},
    {"加载接口库(&D)", CommandId::InterfaceLibrary, "Ctrl+D"},
};

constexpr MenuTemplate::Item AboutItems[] = {
    {"关于(&A)", CommandId::About, "A"},
};

constexpr MenuTemplate::Item HelpItems[] = {
    {"帮助(&F1)", CommandId::Help, "F1"},
};

constexpr MenuTemplate::Popup Popups[] = {
    {"文件(&F)", FileItems},  {"监控(&M)", MonitorItems}, {"设置(&S)", SettingsItems},
    {"关于(&A)", AboutItems}, {"帮助(&F1)", HelpItems},
};

constexpr MenuTemplate::Item CopyItems[] = {
    {"复制(&C)", CommandId::CopyDump, ""},
};

constexpr MenuTemplate::Popup DataViewPopups[] = {
    {"复制", CopyItems},
};

} // namespace

const MenuTemplate MainMenu{Popups};
const MenuTemplate DataViewMenu{DataViewPopups};

} // namespace talvane
