#pragma once

#include "capture/CapturedDatagram.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvane {

// The pcapng blocks the program writes: a section header, the interfaces, which carry IPv4
// datagrams without a link header, and an enhanced packet block per datagram with its capture
// time, its direction, a comment naming its process and one with the process's id. Always
// little-endian, times in microseconds, the format's default resolution.
namespace Pcapng {

inline constexpr std::uint16_t LinkTypeIpv4 = 228;

// The direction bits of a packet block's flags.
enum class Direction : std::uint32_t { Unknown = 0, Inbound = 1, Outbound = 2 };

struct PacketBlock {
    CaptureTime captured{};
    Direction direction = Direction::Unknown;
    // Empty for none.
    std::string_view comment;
    std::span<const std::uint8_t> datagram;
    // The process's id, in a second comment "pid <N>"; 0 for none.
    std::int32_t pid = 0;
};

// What a file holds before its packet blocks: the section header and one interface per name
// given, numbered from 0 in that order, each bearing its name unless it is empty.
std::vector<std::uint8_t> FileHeader(const std::vector<std::string>& interfaceNames);

// Replaces bytes with the packet block of interface 0: the datagram (cut to the largest IPv4
// datagram), the direction in its flags, the comment (cut to what an option holds) unless it is
// empty, and the process id's comment behind it.
void WritePacketBlock(const PacketBlock& block, std::vector<std::uint8_t>& bytes);

// Makes the packet block in block one of interface number interface.
void SetPacketInterface(std::span<std::uint8_t> block, std::uint32_t interface);

// The packet block of interface 0 that fills bytes exactly, its comment and datagram viewing into
// them; nullopt for any other bytes, so that what it accepts can be copied into a file as it is.
// Options it does not know are passed over; it never reads outside bytes.
std::optional<PacketBlock> ReadPacketBlock(std::span<const std::uint8_t> bytes);

} // namespace Pcapng

} // namespace talvane
