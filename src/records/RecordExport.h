#pragma once

#include "RecordFile.h"

#include <string>
#include <string_view>

namespace talvane {

// The text a record contributes to the saved export: its non-empty address, port, protocol and
// time entries as "label=text,", then who moved how many bytes, then the payload as "XX " hex.
// It holds no line break, so each record stays one line.
std::string RecordExportText(const Record& record);

// Follows every record of a whole export, also one whose file could not be read.
inline constexpr std::string_view RecordSeparator = "\r\n\r\n";

} // namespace talvane
