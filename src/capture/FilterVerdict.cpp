#include "FilterVerdict.h"

#include <array>
#include <string>

namespace talvane {

namespace {

bool Recorded(IpProtocol protocol) {
    switch (protocol) {
    case IpProtocol::Icmp:
    case IpProtocol::Igmp:
    case IpProtocol::Tcp:
    case IpProtocol::Udp:
        return true;
    }
    return false;
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
bool AddressesPass(const Datagram& datagram, const ActiveFilter& filter) {
    const std::string source = datagram.source.Dotted();
    const std::string destination = datagram.destination.Dotted();
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

bool PrivateNetworkPasses(const Datagram& datagram, const Ipv4Address& localAddress,
                          const ActiveFilter& filter) {
    const PrivateRange range = RangeOf(localAddress.octets);
    const bool insideLan =
        InsideLocalPrivateNetwork(range, datagram.source.octets, datagram.destination.octets);
    if (filter.filterLan != 0 && insideLan)
        return false;
    return filter.monitorLan == 0 || range == PrivateRange::None || insideLan;
}

enum class LocalEnd { Source, Destination, Neither };

// The end at the local address, the destination when both are. Between two other hosts an end
// in the local address's first octet stands in for it.
LocalEnd LocalEndOf(const Datagram& datagram, const Ipv4Address& localAddress) {
    const bool thisMachine =
        datagram.source == localAddress || datagram.destination == localAddress;
    const auto isLocal = [&](const Ipv4Address& end) {
        return thisMachine ? end == localAddress : end.octets[0] == localAddress.octets[0];
    };
    if (isLocal(datagram.destination))
        return LocalEnd::Destination;
    if (isLocal(datagram.source))
        return LocalEnd::Source;
    return LocalEnd::Neither;
}

// Ports are nullopt for a later fragment, whose flow's ports are unknown: a monitor list, which
// admits only its own ports, rejects it; a filter list, which turns away only its own ports, lets
// it pass.
bool PortsPass(const Datagram& datagram, const Ipv4Address& localAddress,
               const ActiveFilter& filter) {
    const std::optional<TransportPorts>& ports = datagram.ports;
    // Neither end is this machine: there is no local port to demand anything of.
    const bool thisMachine =
        datagram.source == localAddress || datagram.destination == localAddress;
    if (!thisMachine &&
        (!filter.monitorLocalPorts.IsEmpty() || !filter.monitorRemotePorts.IsEmpty()))
        return false;

    // Without a local end or without ports both port texts stay empty, which no non-empty
    // pattern matches.
    std::optional<std::uint16_t> localPort;
    std::optional<std::uint16_t> remotePort;
    switch (LocalEndOf(datagram, localAddress)) {
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

} // namespace

std::optional<Rejection> FilterVerdict(const Datagram& datagram, const Ipv4Address& localAddress,
                                       const ActiveFilter& filter) {
    if (!Recorded(datagram.protocol) || !ProtocolMonitored(datagram.protocol, filter))
        return Rejection::Protocol;
    if (FilteredBroadcast(datagram.destination, filter))
        return Rejection::Broadcast;
    if (!AddressesPass(datagram, filter))
        return Rejection::Address;
    if (!PrivateNetworkPasses(datagram, localAddress, filter))
        return Rejection::PrivateNetwork;
    if ((datagram.protocol == IpProtocol::Tcp || datagram.protocol == IpProtocol::Udp) &&
        !PortsPass(datagram, localAddress, filter))
        return Rejection::Port;
    return std::nullopt;
}

} // namespace talvane
