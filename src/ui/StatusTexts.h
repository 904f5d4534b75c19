#pragma once

#include <cstdint>
#include <string>

namespace talvane {

// The texts of the counter panes of the status bar.
namespace StatusTexts {

inline constexpr const char* InitialStream = "监控流: 0";
inline constexpr const char* InitialFiltered = "过滤数据包:0";

// Pane 0: every datagram handed to the window since start.
std::string Stream(std::int32_t datagramTotal);
// Pane 0's tool tip: the datagrams the kernel dropped while monitoring ran, which no count
// includes.
std::string StreamTip(std::uint64_t kernelDrops);
// The bar's tool tip when the kernel cannot name the datagrams' owners, and why not.
std::string OwnersUnavailableTip(const std::string& reason);
// Pane 3: datagrams that did not become records.
std::string Filtered(std::int32_t filteredCount);

} // namespace StatusTexts

} // namespace talvane
