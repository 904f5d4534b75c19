#include "StatusTexts.h"

namespace talvane {

namespace StatusTexts {

std::string Stream(std::int32_t datagramTotal) {
    return "监控流 " + std::to_string(datagramTotal);
}

std::string StreamTip(std::uint64_t kernelDrops) {
    return "内核丢弃: " + std::to_string(kernelDrops);
}

std::string OwnersUnavailableTip(const std::string& reason) {
    return "内核程序未能加载，进程名由端口查询得出: " + reason;
}

std::string Filtered(std::int32_t filteredCount) {
    return "过滤数据包:" + std::to_string(filteredCount);
}

} // namespace StatusTexts

} // namespace talvane
