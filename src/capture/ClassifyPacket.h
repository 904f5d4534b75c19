#pragma once

#include "Ipv4Address.h"
#include "filtering/FilterSettings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace talvane {

enum class Classification { Accepted = 0, Rejected = 1 };

// The step that turned a datagram away.
enum class Rejection {
    Malformed,      // a length field disagrees with the datagram, or a header does not fit in it
    Protocol,       // not ICMP, IGMP, TCP or UDP, or not among the monitored protocols
    Broadcast,      // to a .255 address while broadcasts are filtered
    Address,        // by the filtered or monitored address patterns
    PrivateNetwork, // by the two switches for the local private network
    Port,           // by the four port pattern lists
};

// The IPv4 protocols the program records.
enum class IpProtocol : std::uint8_t { Icmp = 1, Igmp = 2, Tcp = 6, Udp = 17 };

struct TransportPorts {
    std::uint16_t source = 0;
    std::uint16_t destination = 0;

    friend bool operator==(const TransportPorts&, const TransportPorts&) = default;
};

// What classification made of one datagram. Apart from rejection, the members describe an
// accepted datagram only; a rejected one keeps their defaults.
struct PacketClass {
    // Empty when the datagram was accepted.
    std::optional<Rejection> rejection;
    IpProtocol protocol = IpProtocol::Icmp;
    Ipv4Address source;
    Ipv4Address destination;
    // TCP and UDP only, and only in the first fragment: a later one carries no transport header.
    std::optional<TransportPorts> ports;
    // Offset of the payload in the datagram: behind the transport header for TCP and UDP, behind
    // the IP header for a later fragment of them, the datagram's end for ICMP and IGMP, whose
    // bytes are not kept.
    std::size_t payloadStart = 0;

    Classification Verdict() const {
        return rejection ? Classification::Rejected : Classification::Accepted;
    }
    std::span<const std::uint8_t> PayloadOf(std::span<const std::uint8_t> datagram) const {
        return datagram.subspan(payloadStart);
    }
};

// Decodes one IPv4 datagram and tests it against the active filter. The steps run in a fixed
// order, the first to reject deciding: IP header, protocol, broadcast, addresses, private network,
// then for TCP and UDP the transport header and the ports.
//
// Nothing outside the datagram is read: a datagram whose total-length field differs from its
// length, whose header-length field is below 5, or whose IP or transport header does not fit in
// it is rejected, and so is a TCP data offset below 5. A fragment after the first is decoded
// without a transport header and without ports; a port list that requires a port rejects it.
PacketClass ClassifyPacket(std::span<const std::uint8_t> datagram, const Ipv4Address& localAddress,
                           const ActiveFilter& filter);

} // namespace talvane
