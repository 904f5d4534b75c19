#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace talvane {

// When the capture saw a datagram: the kernel's time stamp, in microseconds of the system clock.
using CaptureTime = std::chrono::sys_time<std::chrono::microseconds>;

// The largest IPv4 datagram: its total length is a 16-bit field.
inline constexpr std::size_t MaximumDatagram = 65535;

// One captured IPv4 datagram, IP header first, viewed where the capture keeps it.
struct CapturedDatagram {
    std::span<const std::uint8_t> bytes;
    CaptureTime captured{};
};

} // namespace talvane
