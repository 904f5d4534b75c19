#pragma once

namespace talvane {

// Control ids of the main window.
namespace ControlId {

inline constexpr int RecordList = 1001;
inline constexpr int DataView = 1005;
inline constexpr int TotalReceived = 1006;
inline constexpr int CurrentReceived = 1009;
inline constexpr int SaveSelected = 1010;
inline constexpr int SaveAll = 1011;
inline constexpr int AddressCombo = 1012;
inline constexpr int Banner = 1013;
inline constexpr int UseFilter = 1015;
inline constexpr int WideDump = 1016;

inline constexpr int ToolBar = 59392;
inline constexpr int StatusBar = 59393;

} // namespace ControlId

} // namespace talvane
