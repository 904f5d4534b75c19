#pragma once

namespace talvane {

// Command ids of menus, shortcuts and tool bar buttons. The values are fixed: everything else
// refers to them.
namespace CommandId {

// Tool bar buttons.
inline constexpr int BeginMonitorTool = 32771;
inline constexpr int PauseMonitorTool = 32772;
inline constexpr int StopMonitorTool = 32773;
inline constexpr int AboutTool = 32774;
inline constexpr int ClearRecordsTool = 32796;
inline constexpr int HelpTool = 57670;

// Menu items and shortcuts.
inline constexpr int SaveSelected = 32786;
inline constexpr int SaveAll = 32787;
inline constexpr int Exit = 32788;
inline constexpr int BeginMonitor = 32789;
inline constexpr int StopMonitor = 32790;
inline constexpr int ClearRecords = 32791;
inline constexpr int EditFilter = 32792;
inline constexpr int About = 32794;
inline constexpr int Help = 32795;
inline constexpr int PauseMonitor = 32797;
inline constexpr int InterfaceLibrary = 32799;
inline constexpr int CopyDump = 32800;
inline constexpr int ExportAllPcapng = 32801;
inline constexpr int ExportSelectedPcapng = 32802;

} // namespace CommandId

} // namespace talvane
