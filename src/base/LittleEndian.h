#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace talvane {

// Numbers as the program's own binary formats store them: least significant byte first, whatever
// the machine's order.
namespace LittleEndian {

inline void Put16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void Put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    Put16(bytes, static_cast<std::uint16_t>(value));
    Put16(bytes, static_cast<std::uint16_t>(value >> 16));
}

inline void Put64(std::vector<std::uint8_t>& bytes, std::uint64_t value) {
    Put32(bytes, static_cast<std::uint32_t>(value));
    Put32(bytes, static_cast<std::uint32_t>(value >> 32));
}

// The caller has checked that the bytes hold the number.
inline std::uint16_t Get16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

inline std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return Get16(bytes, offset) | std::uint32_t{Get16(bytes, offset + 2)} << 16;
}

inline std::uint64_t Get64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return Get32(bytes, offset) | std::uint64_t{Get32(bytes, offset + 4)} << 32;
}

} // namespace LittleEndian

} // namespace talvane
