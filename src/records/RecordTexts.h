#pragma once

#include "RecordFile.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace talvane {

// The texts shown about captured records and their payload sizes.

// "total capture:N bytes": every payload byte captured since start.
std::string TotalCaptureText(std::uint32_t totalBytes);

// The size of the packet just captured, with its owner and direction when the owner is known.
std::string CurrentCaptureText(int payloadLength, const std::string& processName,
                               const std::string& direction);

// The line above a record read back from its file.
std::string RecordLineText(const RecordHeader& header, int payloadLength);

// The time entry of a record: "%Y%m%d %H:%M:%S" in local time, 17 characters.
std::string RecordTimeText(std::time_t time);

// The "%H:%M:%S" end of a time entry; a shorter text is returned whole.
std::string TimeOfDay(const std::string& timeText);

} // namespace talvane
