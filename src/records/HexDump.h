#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace talvane {

// The data view's dump: lines of width bytes as "XX " hex, eight spaces, then the bytes as text
// with control, space and non-ASCII bytes shown as "."; full lines end in CR LF, the last partial
// line is padded so its text lines up and has no line end. A width below 1 gives "".
std::string HexDump(std::span<const std::uint8_t> bytes, int width);

// Appends one byte as the dump and the export show it: two upper-case hex digits and a space.
void AppendHexGroup(std::string& text, std::uint8_t byte);

} // namespace talvane
