#pragma once

#include "RecordFile.h"
#include "capture/CapturedDatagram.h"
#include "capture/ClassifyPacket.h"
#include "capture/Ipv4Address.h"
#include "capture/SocketOwner.h"

#include <cstdint>
#include <span>

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
};

// The header of the record an accepted datagram becomes: its texts, the capture time, and for a
// TCP or UDP datagram with the local address at one end, the process that owns the local socket
// with "send" when the local address is the source, "receive" when it is the destination. The
// kernel's word on who carried the datagram is taken first; where it has none, owners is asked.
// The name is kept in its shown form (ShownName), cut to what a record file holds.
// process, where given, receives which process the header names.
RecordHeader MakeRecordHeader(const AcceptedPacket& packet, const Ipv4Address& localAddress,
                              OwnerSource& owners, ProcessIdentity* process = nullptr);

} // namespace talvane
