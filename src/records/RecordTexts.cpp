#include "RecordTexts.h"

#include <optional>

namespace talvane {

std::string TotalCaptureText(std::uint32_t totalBytes) {
    return "total capture:" + std::to_string(totalBytes) + " bytes";
}

std::string CurrentCaptureText(int payloadLength, const std::string& processName,
                               const std::string& direction) {
    if (processName.empty())
        return "current capture:" + std::to_string(payloadLength) + " bytes";
    return processName + " " + direction + ":" + std::to_string(payloadLength) + " bytes";
}

std::string RecordLineText(const RecordHeader& header, int payloadLength) {
    if (header.processName.empty())
        return "current data length:" + std::to_string(payloadLength) + " bytes";
    return header.processName + " " + header.direction + " data:" + std::to_string(payloadLength) +
           " bytes";
}

std::string RecordTimeText(std::time_t time) {
    // The datagrams of one second share their text, which is formatted once.
    thread_local std::optional<std::time_t> lastTime;
    thread_local std::string lastText;
    if (time == lastTime)
        return lastText;
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr)
        return {};
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y%m%d %H:%M:%S", &local);
    lastTime = time;
    lastText.assign(text, length);
    return lastText;
}

std::string TimeOfDay(const std::string& timeText) {
    constexpr std::size_t Length = 8;
    return timeText.size() <= Length ? timeText : timeText.substr(timeText.size() - Length);
}

} // namespace talvane
