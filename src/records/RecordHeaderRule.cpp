#include "RecordHeaderRule.h"

#include "RecordTexts.h"
#include "ShownName.h"

#include <optional>
#include <string>

namespace talvane {

namespace {

const char* ProtocolName(IpProtocol protocol) {
    switch (protocol) {
    case IpProtocol::Icmp:
        return "ICMP";
    case IpProtocol::Igmp:
        return "IGMP";
    case IpProtocol::Tcp:
        return "TCP";
    case IpProtocol::Udp:
        return "UDP";
    }
    return "";
}

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

} // namespace

RecordHeader MakeRecordHeader(const AcceptedPacket& packet, const Ipv4Address& localAddress,
                              OwnerSource& owners, ProcessIdentity* process) {
    const PacketClass& accepted = packet.packetClass;
    RecordHeader header;
    header.sourceIp = accepted.source.Dotted();
    header.protocolName = ProtocolName(accepted.protocol);
    header.destinationIp = accepted.destination.Dotted();
    // Protocols without ports keep both port texts empty.
    if (accepted.ports) {
        header.sourcePort = std::to_string(accepted.ports->source);
        header.destinationPort = std::to_string(accepted.ports->destination);
    }
    header.timeText = RecordTimeText(
        std::chrono::floor<std::chrono::seconds>(packet.captured).time_since_epoch().count());

    const std::optional<Transport> transport = TransportOf(accepted.protocol);
    const bool sent = accepted.source == localAddress;
    if (!transport || !accepted.ports || (!sent && accepted.destination != localAddress))
        return header;
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
        return header;
    case KernelOwner::Source::LookUp:
        owner = owners.Owner(query);
        break;
    }
    if (owner.status == OwnerAnswer::Status::Named && !owner.name.empty()) {
        // Once, here, so that the list, the labels, the record file and both exports agree.
        header.processName = ShownName(owner.name, RecordFile::ProcessNameLimit);
        header.direction = sent ? "send" : "receive";
        if (process)
            *process = owner.process;
    }
    return header;
}

} // namespace talvane
