#pragma once

#include "Ipv4Address.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace talvane {

// An IPv4 protocol number; the program records the four named ones.
enum class IpProtocol : std::uint8_t { Icmp = 1, Igmp = 2, Tcp = 6, Udp = 17 };

struct TransportPorts {
    std::uint16_t source = 0;
    std::uint16_t destination = 0;

    friend bool operator==(const TransportPorts&, const TransportPorts&) = default;
};

// What the IP header and, for TCP and UDP, the transport header of one IPv4 datagram say.
struct Datagram {
    // Any protocol number the header holds.
    IpProtocol protocol = IpProtocol::Icmp;
    Ipv4Address source;
    Ipv4Address destination;
    // TCP and UDP only, and only in the first fragment: a later one carries no transport header.
    std::optional<TransportPorts> ports;
    // Offset of the payload in the datagram: behind the transport header for TCP and UDP, behind
    // the IP header for a later fragment of them, the datagram's end for every other protocol,
    // whose bytes are not kept.
    std::size_t payloadStart = 0;

    std::span<const std::uint8_t> PayloadOf(std::span<const std::uint8_t> bytes) const {
        return bytes.subspan(payloadStart);
    }
};

// Nothing outside the bytes is read: nullopt when the total-length field differs from their
// length, the header-length field is below 5, the IP header or a first fragment's TCP or UDP
// header does not fit, or a TCP data offset is below 5.
std::optional<Datagram> DecodeDatagram(std::span<const std::uint8_t> bytes);

} // namespace talvane
