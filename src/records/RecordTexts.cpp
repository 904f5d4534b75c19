#include "RecordTexts.h"

namespace talvane {

namespace {

// The owner and the direction, as the labels and the text export name them.
std::string OwnerText(const RecordOwner& owner, const RecordEntry& entry) {
    return owner.name + " " + std::string(DirectionText(entry.direction));
}

} // namespace

std::string TotalCaptureText(std::uint32_t totalBytes) {
    return "total capture:" + std::to_string(totalBytes) + " bytes";
}

std::string CurrentCaptureText(int payloadLength, const RecordEntry& entry) {
    if (!entry.owner)
        return "current capture:" + std::to_string(payloadLength) + " bytes";
    return OwnerText(*entry.owner, entry) + ":" + std::to_string(payloadLength) + " bytes";
}

std::string RecordLineText(const RecordEntry& entry, int payloadLength) {
    if (!entry.owner)
        return "current data length:" + std::to_string(payloadLength) + " bytes";
    return OwnerText(*entry.owner, entry) + " data:" + std::to_string(payloadLength) + " bytes";
}

std::string_view ProtocolText(IpProtocol protocol) {
    switch (protocol) {
    case IpProtocol::Icmp:
        return "ICMP";
    case IpProtocol::Igmp:
        return "IGMP";
    case IpProtocol::Tcp:
        return "TCP";
    case IpProtocol::Udp:
        return "UDP";
    }
    return "";
}

std::string_view DirectionText(std::optional<RecordDirection> direction) {
    if (!direction)
        return "";
    return *direction == RecordDirection::Send ? "send" : "receive";
}

std::string PortText(std::optional<std::uint16_t> port) {
    return port ? std::to_string(*port) : std::string();
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

std::string RecordTimeText(CaptureTime captured) {
    return RecordTimeText(
        std::chrono::floor<std::chrono::seconds>(captured).time_since_epoch().count());
}

std::string TimeOfDay(const std::string& timeText) {
    constexpr std::size_t Length = 8;
    return timeText.size() <= Length ? timeText : timeText.substr(timeText.size() - Length);
}

} // namespace talvane
