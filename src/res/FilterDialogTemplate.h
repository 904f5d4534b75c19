#pragma once

#include "DialogTemplate.h"

namespace talvane {

// Control ids of the filter settings dialog.
namespace FilterControlId {

inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int FilterLocalPort = 1007;
inline constexpr int FilterRemotePort = 1008;
inline constexpr int MonitorLocalPort = 1009;
inline constexpr int MonitorRemotePort = 1010;
inline constexpr int Export = 1011;
inline constexpr int Import = 1012;
inline constexpr int FilterBroadcast = 1015;
inline constexpr int FilterLan = 1016;
inline constexpr int MonitorUdp = 1018;
inline constexpr int MonitorTcp = 1019;
inline constexpr int FilterIp = 1020;
inline constexpr int MonitorLan = 1021;
inline constexpr int MonitorIp = 1022;
inline constexpr int RestoreDefaults = 1030;
inline constexpr int MoreHelp = 1032;
inline constexpr int HelpLine1 = 1033;
inline constexpr int HelpLine2 = 1035;

} // namespace FilterControlId

// Template 138: the filter settings dialog.
extern const DialogTemplate FilterDialogTemplate;

} // namespace talvane
