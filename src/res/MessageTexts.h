#pragma once

#include "base/FileReplacement.h"

#include <filesystem>
#include <string>

namespace talvane {

// The texts of the program's message boxes.
namespace MessageTexts {

inline constexpr const char* CreateSocketFail = "create socket fail ";
inline constexpr const char* BeginMonitorFail = "begin monitor fail";
inline constexpr const char* FilterSaveFailed = "创建保存文件失败";
// Followed by the file's path: a settings file that ends early or whose lengths run past its end.
inline constexpr const char* FilterFileDamaged = "过滤设置文件已损坏: ";
// Each followed by the record folder's path. Records are then still listed, but a record whose
// file is missing cannot be shown again or saved.
inline constexpr const char* RecordWriteFailed = "记录文件写入失败，磁盘已满或记录文件夹不可写: ";
inline constexpr const char* RecordFolderNotAFolder =
    "记录文件夹是符号链接或不是文件夹，已拒绝使用: ";
inline constexpr const char* RecordFolderOfOtherUser = "记录文件夹属于其他用户，已拒绝使用: ";
// Each followed by the path chosen for an export of records or filter settings; the file that was
// there stays as it was.
inline constexpr const char* ExportNotAFile = "导出目标是符号链接或不是普通文件，已拒绝写入: ";
inline constexpr const char* ExportWriteFailed = "导出文件写入失败，磁盘已满或文件夹不可写: ";
// Followed by the reason: the capture helper failed (its interface went away, say), or its
// stream broke off or was garbled.
inline constexpr const char* CaptureEnded = "抓包进程已结束，监控已停止: ";

// What the user is told when an export to path ended with outcome; empty when it succeeded.
std::string ExportFailure(FileReplacement::Outcome outcome, const std::filesystem::path& path);

} // namespace MessageTexts

} // namespace talvane
