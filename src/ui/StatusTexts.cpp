#include "StatusTexts.h"

namespace StatusTexts {

std::string Stream(std::int32_t datagramTotal) {
    return "监控流 " + std::to_string(datagramTotal);
}

std::string Filtered(std::int32_t filteredCount) {
    return "过滤数据包:" + std::to_string(filteredCount);
}

} // namespace StatusTexts
