#pragma once

#include "Ipv4Address.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace talvane {

// When the capture saw a datagram: the kernel's time stamp, in microseconds of the system clock.
using CaptureTime = std::chrono::sys_time<std::chrono::microseconds>;

// The largest IPv4 datagram: its total length is a 16-bit field.
inline constexpr std::size_t MaximumDatagram = 65535;

// Who carried a datagram through a socket one way, as the kernel told the capture.
struct KernelOwner {
    enum class Source : std::uint8_t {
        // The kernel did not say: the socket is older than the capture, or the capture has no
        // kernel programs. The window looks the owner up itself.
        LookUp = 0,
        // No process's socket carried it this way.
        Nobody = 1,
        Named = 2,
    };
    Source source = Source::LookUp;
    std::int32_t pid = 0;
    std::uint32_t uid = 0;
    // The executable's file name, else its command name; viewed where the capture keeps it.
    std::string_view name;
    bool operator==(const KernelOwner&) const = default;
};

// The process whose socket sent a datagram and the one whose socket received it: both are this
// machine's when it talks to itself.
struct DatagramOwners {
    KernelOwner sender;
    KernelOwner receiver;
    bool operator==(const DatagramOwners&) const = default;
};

// One captured IPv4 datagram, IP header first, viewed where the capture keeps it.
struct CapturedDatagram {
    std::span<const std::uint8_t> bytes;
    CaptureTime captured{};
    DatagramOwners owners{};
    // The address of the capture that took it, its local end: the selected address may have
    // changed while the datagram waited to be handled.
    Ipv4Address captureAddress{};
};

} // namespace talvane
