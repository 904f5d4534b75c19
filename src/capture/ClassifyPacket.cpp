#include "ClassifyPacket.h"

#include "base/BigEndian.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace talvane {

namespace {

constexpr std::size_t MinimumIpHeader = 20;
constexpr std::size_t UdpHeader = 8;
constexpr std::size_t MinimumTcpHeader = 20;
constexpr std::uint16_t FragmentOffsetMask = 0x1FFF;

Ipv4Address AddressAt(std::span<const std::uint8_t> datagram, std::size_t offset) {
    Ipv4Address address;
    std::memcpy(address.octets.data(), datagram.data() + offset, address.octets.size());
    return address;
}

struct IpHeader {
    std::size_t length;
    std::uint8_t protocol;
    Ipv4Address source;
    Ipv4Address destination;
    // A fragment after the first: its bytes continue the transport payload, with no header.
    bool laterFragment;
};

// Nullopt unless the total-length field is the datagram's length and the header fits in it.
std::optional<IpHeader> ReadIpHeader(std::span<const std::uint8_t> datagram) {
    const std::size_t length = datagram.size();
    if (length < 4 || BigEndian::Get16(datagram, 2) != length)
        return std::nullopt;
    const std::size_t headerLength = std::size_t(datagram[0] & 0x0F) * 4;
    if (headerLength < MinimumIpHeader || headerLength > length)
        return std::nullopt;
    const bool laterFragment = (BigEndian::Get16(datagram, 6) & FragmentOffsetMask) != 0;
    return IpHeader{headerLength, datagram[9], AddressAt(datagram, 12), AddressAt(datagram, 16),
                    laterFragment};
}

std::optional<IpProtocol> RecordedProtocol(std::uint8_t number) {
    switch (IpProtocol{number}) {
    case IpProtocol::Icmp:
    case IpProtocol::Igmp:
    case IpProtocol::Tcp:
    case IpProtocol::Udp:
        return IpProtocol{number};
    }
    return std::nullopt;
}

// Which protocols monitorUdp and monitorTcp let through.
bool ProtocolMonitored(IpProtocol protocol, const ActiveFilter& filter) {
    const bool udpOnly = filter.monitorUdp != 0;
    const bool tcpOnly = filter.monitorTcp != 0;
    if (!udpOnly && !tcpOnly)
        return true;
    return (udpOnly && protocol == IpProtocol::Udp) || (tcpOnly && protocol == IpProtocol::Tcp);
}

bool FilteredBroadcast(const Ipv4Address& destination, const ActiveFilter& filter) {
    return filter.filterBroadcast != 0 && destination.octets[3] == 255;
}

// A filtered pattern matching either end rejects, and so does a monitored pattern matching
// neither.
bool AddressesPass(const IpHeader& ip, const ActiveFilter& filter) {
    const std::string source = ip.source.Dotted();
    const std::string destination = ip.destination.Dotted();
    return !filter.filterIps.AnyMatches(source) && !filter.filterIps.AnyMatches(destination) &&
           filter.monitorIps.EveryMatchesEither(source, destination);
}

using Octets = std::array<std::uint8_t, 4>;

// The local address's private range decides which test applies; the test then compares the
// packet's two ends with each other.
enum class PrivateRange { None, Ten, OneSevenTwo, OneNineTwo };

PrivateRange RangeOf(const Octets& local) {
    if (local[0] == 10)
        return PrivateRange::Ten;
    if (local[0] == 172 && local[1] >= 16 && local[1] <= 31)
        return PrivateRange::OneSevenTwo;
    if (local[0] == 192 && local[1] == 168)
        return PrivateRange::OneNineTwo;
    return PrivateRange::None;
}

bool InsideLocalPrivateNetwork(PrivateRange range, const Octets& source, const Octets& target) {
    switch (range) {
    case PrivateRange::Ten:
        return source[0] == 10 && target[0] == 10;
    case PrivateRange::OneSevenTwo:
        return source[0] == 172 && target[0] == 172 && source[1] == target[1];
    case PrivateRange::OneNineTwo:
        return source[0] == 192 && source[1] == 168 && target[0] == 192 && target[1] == 168 &&
               source[2] == target[2];
    case PrivateRange::None:
        return false;
    }
    return false;
}

bool PrivateNetworkPasses(const IpHeader& ip, const Ipv4Address& localAddress,
                          const ActiveFilter& filter) {
    const PrivateRange range = RangeOf(localAddress.octets);
    const bool insideLan =
        InsideLocalPrivateNetwork(range, ip.source.octets, ip.destination.octets);
    if (filter.filterLan != 0 && insideLan)
        return false;
    return filter.monitorLan == 0 || range == PrivateRange::None || insideLan;
}

struct TransportHeader {
    TransportPorts ports;
    std::size_t payloadStart;
};

// Nullopt when the TCP or UDP header does not fit behind the IP header, or when the TCP data
// offset is shorter than the header it ends.
std::optional<TransportHeader> ReadTransportHeader(std::span<const std::uint8_t> datagram,
                                                   const IpHeader& ip, IpProtocol protocol) {
    const bool tcp = protocol == IpProtocol::Tcp;
    if (ip.length + (tcp ? MinimumTcpHeader : UdpHeader) > datagram.size())
        return std::nullopt;
    const std::size_t headerLength =
        tcp ? std::size_t(datagram[ip.length + 12] >> 4) * 4 : UdpHeader;
    if (headerLength < (tcp ? MinimumTcpHeader : UdpHeader) ||
        ip.length + headerLength > datagram.size())
        return std::nullopt;
    return TransportHeader{
        {BigEndian::Get16(datagram, ip.length), BigEndian::Get16(datagram, ip.length + 2)},
        ip.length + headerLength};
}

enum class LocalEnd { Source, Destination, Neither };

// The end at the local address, the destination when both are. Between two other hosts an end
// in the local address's first octet stands in for it.
LocalEnd LocalEndOf(const IpHeader& ip, const Ipv4Address& localAddress) {
    const bool thisMachine = ip.source == localAddress || ip.destination == localAddress;
    const auto isLocal = [&](const Ipv4Address& end) {
        return thisMachine ? end == localAddress : end.octets[0] == localAddress.octets[0];
    };
    if (isLocal(ip.destination))
        return LocalEnd::Destination;
    if (isLocal(ip.source))
        return LocalEnd::Source;
    return LocalEnd::Neither;
}

// Ports are nullopt for a later fragment, whose flow's ports are unknown: a monitor list, which
// admits only its own ports, rejects it; a filter list, which turns away only its own ports, lets
// it pass.
bool PortsPass(const IpHeader& ip, const std::optional<TransportPorts>& ports,
               const Ipv4Address& localAddress, const ActiveFilter& filter) {
    // Neither end is this machine: there is no local port to demand anything of.
    const bool thisMachine = ip.source == localAddress || ip.destination == localAddress;
    if (!thisMachine &&
        (!filter.monitorLocalPorts.IsEmpty() || !filter.monitorRemotePorts.IsEmpty()))
        return false;

    // Without a local end or without ports both port texts stay empty, which no non-empty
    // pattern matches.
    std::optional<std::uint16_t> localPort;
    std::optional<std::uint16_t> remotePort;
    switch (LocalEndOf(ip, localAddress)) {
    case LocalEnd::Source:
        localPort = ports ? std::optional(ports->source) : std::nullopt;
        remotePort = ports ? std::optional(ports->destination) : std::nullopt;
        break;
    case LocalEnd::Destination:
        localPort = ports ? std::optional(ports->destination) : std::nullopt;
        remotePort = ports ? std::optional(ports->source) : std::nullopt;
        break;
    case LocalEnd::Neither:
        break;
    }
    const auto anyMatches = [](const PatternList& list, std::optional<std::uint16_t> port) {
        return port && list.AnyMatchesPort(*port);
    };
    const auto everyMatches = [](const PatternList& list, std::optional<std::uint16_t> port) {
        return port ? list.EveryMatchesPort(*port) : list.EveryMatches({});
    };
    return !anyMatches(filter.filterLocalPorts, localPort) &&
           !anyMatches(filter.filterRemotePorts, remotePort) &&
           everyMatches(filter.monitorLocalPorts, localPort) &&
           everyMatches(filter.monitorRemotePorts, remotePort);
}

PacketClass RejectedBy(Rejection rejection) {
    PacketClass packet;
    packet.rejection = rejection;
    return packet;
}

} // namespace

PacketClass ClassifyPacket(std::span<const std::uint8_t> datagram, const Ipv4Address& localAddress,
                           const ActiveFilter& filter) {
    const std::optional<IpHeader> ip = ReadIpHeader(datagram);
    if (!ip)
        return RejectedBy(Rejection::Malformed);
    const std::optional<IpProtocol> protocol = RecordedProtocol(ip->protocol);
    if (!protocol || !ProtocolMonitored(*protocol, filter))
        return RejectedBy(Rejection::Protocol);
    if (FilteredBroadcast(ip->destination, filter))
        return RejectedBy(Rejection::Broadcast);
    if (!AddressesPass(*ip, filter))
        return RejectedBy(Rejection::Address);
    if (!PrivateNetworkPasses(*ip, localAddress, filter))
        return RejectedBy(Rejection::PrivateNetwork);

    PacketClass packet;
    packet.protocol = *protocol;
    packet.source = ip->source;
    packet.destination = ip->destination;
    packet.payloadStart = datagram.size();
    if (packet.protocol != IpProtocol::Tcp && packet.protocol != IpProtocol::Udp)
        return packet;

    if (ip->laterFragment) {
        if (!PortsPass(*ip, std::nullopt, localAddress, filter))
            return RejectedBy(Rejection::Port);
        packet.payloadStart = ip->length;
        return packet;
    }
    const std::optional<TransportHeader> transport =
        ReadTransportHeader(datagram, *ip, packet.protocol);
    if (!transport)
        return RejectedBy(Rejection::Malformed);
    if (!PortsPass(*ip, transport->ports, localAddress, filter))
        return RejectedBy(Rejection::Port);
    packet.ports = transport->ports;
    packet.payloadStart = transport->payloadStart;
    return packet;
}

} // namespace talvane
