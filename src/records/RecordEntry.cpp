#include "RecordEntry.h"

#include "RecordFile.h"
#include "ShownName.h"

namespace talvane {

namespace {

std::optional<Transport> TransportOf(IpProtocol protocol) {
    switch (protocol) {
    case IpProtocol::Tcp:
        return Transport::Tcp;
    case IpProtocol::Udp:
        return Transport::Udp;
    case IpProtocol::Icmp:
    case IpProtocol::Igmp:
        break;
    }
    return std::nullopt;
}

std::optional<RecordDirection> DirectionOf(const PacketClass& packet,
                                           const Ipv4Address& localAddress) {
    if (packet.source == localAddress)
        return RecordDirection::Send;
    if (packet.destination == localAddress)
        return RecordDirection::Receive;
    return std::nullopt;
}

} // namespace

RecordEntry MakeRecordEntry(const AcceptedPacket& packet, int index,
                            const Ipv4Address& localAddress, OwnerSource& owners) {
    const PacketClass& accepted = packet.packetClass;
    RecordEntry entry;
    entry.index = index;
    entry.protocol = accepted.protocol;
    entry.source = accepted.source;
    entry.destination = accepted.destination;
    if (accepted.ports) {
        entry.sourcePort = accepted.ports->source;
        entry.destinationPort = accepted.ports->destination;
    }
    entry.captured = packet.captured;
    entry.direction = DirectionOf(accepted, localAddress);

    const std::optional<Transport> transport = TransportOf(accepted.protocol);
    if (!transport || !accepted.ports || !entry.direction)
        return entry;
    const bool sent = entry.direction == RecordDirection::Send;
    const TransportPorts& ports = *accepted.ports;
    const SocketQuery query = sent ? SocketQuery{*transport, localAddress, ports.source,
                                                 accepted.destination, ports.destination}
                                   : SocketQuery{*transport, localAddress, ports.destination,
                                                 accepted.source, ports.source};
    const KernelOwner& carrier = sent ? packet.owners.sender : packet.owners.receiver;
    OwnerAnswer owner;
    switch (carrier.source) {
    case KernelOwner::Source::Named:
        owner = {OwnerAnswer::Status::Named, std::string(carrier.name), {carrier.pid, carrier.uid}};
        break;
    case KernelOwner::Source::Nobody:
        return entry;
    case KernelOwner::Source::LookUp:
        owner = owners.Owner(query);
        break;
    }
    // Once, here, so that the list, the labels, the record file and both exports agree.
    if (owner.status == OwnerAnswer::Status::Named && !owner.name.empty())
        entry.owner = {ShownName(owner.name, RecordFile::ProcessNameLimit), owner.process};
    return entry;
}

} // namespace talvane
