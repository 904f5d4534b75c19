#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace talvane {

// When the capture saw a datagram: the kernel's time stamp, in microseconds of the system clock.
using CaptureTime = std::chrono::sys_time<std::chrono::microseconds>;

// The one receive buffer: the IPv4 datagram of the last read, IP header first. Bytes after the
// datagram are always 0.
struct PacketBuffer {
    static constexpr std::size_t Capacity = 65535;

    std::array<std::uint8_t, Capacity> data{};
    // Datagram length in bytes; 0 while a read is pending.
    std::int32_t length = 0;
    CaptureTime captured{};

    std::span<const std::uint8_t> Datagram() const {
        return {data.data(), length > 0 ? static_cast<std::size_t>(length) : 0};
    }

    // Zeroes what the last datagram used, which keeps every byte after the next one 0 without
    // clearing all 64 KiB per datagram.
    void Clear();

    // Takes a datagram, cut to the capacity: a datagram longer than IPv4 allows (a segmentation
    // offload frame) keeps its first 65535 bytes.
    void Assign(std::span<const std::uint8_t> datagram);
};

} // namespace talvane
