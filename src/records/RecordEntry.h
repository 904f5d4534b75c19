#pragma once

#include "capture/CapturedDatagram.h"
#include "capture/ClassifyPacket.h"
#include "capture/Ipv4Address.h"
#include "capture/SocketOwner.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace talvane {

// An accepted datagram as classification saw it, its payload, when the capture saw it, and the
// whole datagram, IP header first.
struct AcceptedPacket {
    PacketClass packetClass;
    std::span<const std::uint8_t> payload;
    CaptureTime captured;
    std::span<const std::uint8_t> datagram{};
    // Who the kernel says carried it, when it says.
    DatagramOwners owners{};
    // The address of the capture that took it, which it was classified against; without one, the
    // address the book is bound to.
    std::optional<Ipv4Address> capturedOn{};
};

// Which way a datagram passed the local address.
enum class RecordDirection : std::uint8_t { Send, Receive };

// The process that owns the local socket of a recorded datagram.
struct RecordOwner {
    // In its shown form (ShownName), cut to what a record file holds.
    std::string name;
    ProcessIdentity process;
    bool operator==(const RecordOwner&) const = default;
};

// One record, as typed values: texts are made of it only where it is shown, written or exported.
// Its file in the record folder and its block in the datagram log are both found by its index.
struct RecordEntry {
    int index = 0;
    IpProtocol protocol = IpProtocol::Icmp;
    Ipv4Address source;
    Ipv4Address destination;
    // TCP and UDP datagrams that carry their transport header only.
    std::optional<std::uint16_t> sourcePort;
    std::optional<std::uint16_t> destinationPort;
    CaptureTime captured{};
    // Send when the local address is the source, Receive when it is only the destination, none
    // when neither end is local.
    std::optional<RecordDirection> direction;
    // Only for a TCP or UDP datagram with ports and a local end, and only when named.
    std::optional<RecordOwner> owner;
    // Which of the book's interfaces captured it.
    std::size_t interface = 0;
    bool operator==(const RecordEntry&) const = default;
};

// The entry an accepted datagram becomes, numbered index: its addresses, ports and capture time,
// its direction against the local address, and for a TCP or UDP datagram with the local address
// at one end the process that owns the local socket. The kernel's word on who carried the
// datagram is taken first; where it has none, owners is asked.
RecordEntry MakeRecordEntry(const AcceptedPacket& packet, int index,
                            const Ipv4Address& localAddress, OwnerSource& owners);

} // namespace talvane
