#pragma once

namespace talvane {

// The texts of the program's message boxes.
namespace MessageTexts {

inline constexpr const char* CreateSocketFail = "create socket fail ";
inline constexpr const char* BeginMonitorFail = "begin monitor fail";
inline constexpr const char* FilterSaveFailed = "创建保存文件失败";
// Followed by the file's path: a settings file that ends early or whose lengths run past its end.
inline constexpr const char* FilterFileDamaged = "过滤设置文件已损坏: ";

} // namespace MessageTexts

} // namespace talvane
