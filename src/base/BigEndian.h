#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace talvane {

// Numbers as network headers store them: most significant byte first, whatever the machine's
// order. The caller has checked that the bytes hold the number.
namespace BigEndian {

inline std::uint16_t Get16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

inline std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return std::uint32_t{Get16(bytes, offset)} << 16 | Get16(bytes, offset + 2);
}

} // namespace BigEndian

} // namespace talvane
