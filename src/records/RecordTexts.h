#pragma once

#include "RecordEntry.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace talvane {

// The texts shown about captured records and their payload sizes.

// "total capture:N bytes": every payload byte captured since start.
std::string TotalCaptureText(std::uint32_t totalBytes);

// The size of the packet just captured, with its owner and direction when the owner is known.
std::string CurrentCaptureText(int payloadLength, const RecordEntry& entry);

// The line above a record read back from its file.
std::string RecordLineText(const RecordEntry& entry, int payloadLength);

// "TCP", "UDP", "ICMP" or "IGMP".
std::string_view ProtocolText(IpProtocol protocol);
// "send", "receive", or "" for none.
std::string_view DirectionText(std::optional<RecordDirection> direction);
// The port's number, or "" for none.
std::string PortText(std::optional<std::uint16_t> port);

// The time entry of a record: "%Y%m%d %H:%M:%S" in local time, 17 characters.
std::string RecordTimeText(std::time_t time);
// The same for the second a datagram was captured in.
std::string RecordTimeText(CaptureTime captured);

// The "%H:%M:%S" end of a time entry; a shorter text is returned whole.
std::string TimeOfDay(const std::string& timeText);

} // namespace talvane
