#include "ClassifyPacket.h"

#include <array>
#include <cstring>

namespace {

constexpr std::size_t MinimumIpHeader = 20;
constexpr std::size_t UdpHeader = 8;
constexpr std::size_t MinimumTcpHeader = 20;

enum Protocol : std::uint8_t { Icmp = 1, Igmp = 2, Tcp = 6, Udp = 17 };

const char* ProtocolName(std::uint8_t protocol) {
    switch (protocol) {
    case Icmp:
        return "ICMP";
    case Igmp:
        return "IGMP";
    case Tcp:
        return "TCP";
    case Udp:
        return "UDP";
    default:
        return nullptr;
    }
}

std::uint16_t BigEndian16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

// Which protocols monitorUdp and monitorTcp let through.
bool ProtocolMonitored(std::uint8_t protocol, const ActiveFilter& filter) {
    const bool udpOnly = filter.monitorUdp != 0;
    const bool tcpOnly = filter.monitorTcp != 0;
    if (!udpOnly && !tcpOnly)
        return true;
    return (udpOnly && protocol == Udp) || (tcpOnly && protocol == Tcp);
}

bool AnyNonEmptyMatches(const PatternList& list, std::string_view value) {
    for (const std::string& entry : list.Entries()) {
        if (!entry.empty() && PatternMatches(entry, value))
            return true;
    }
    return false;
}

bool AnyNonEmptyFails(const PatternList& list, std::string_view value) {
    for (const std::string& entry : list.Entries()) {
        if (!entry.empty() && !PatternMatches(entry, value))
            return true;
    }
    return false;
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

Octets OctetsAt(std::span<const std::uint8_t> datagram, std::size_t offset) {
    Octets octets;
    std::memcpy(octets.data(), datagram.data() + offset, octets.size());
    return octets;
}

} // namespace

Classification ClassifyPacket(std::span<const std::uint8_t> datagram,
                              const Ipv4Address& localAddress, const ActiveFilter& filter,
                              PacketBuffer& payload, std::vector<std::string>& fieldList,
                              std::int32_t& protocolNumber) {
    constexpr Classification Reject = Classification::Rejected;
    const std::size_t length = datagram.size();
    if (length < 4 || BigEndian16(datagram, 2) != length)
        return Reject;
    const std::size_t headerLength = std::size_t(datagram[0] & 0x0F) * 4;
    if (headerLength < MinimumIpHeader || headerLength > length)
        return Reject;

    const std::uint8_t protocol = datagram[9];
    const char* protocolName = ProtocolName(protocol);
    if (protocolName == nullptr || !ProtocolMonitored(protocol, filter))
        return Reject;

    const Octets source = OctetsAt(datagram, 12);
    const Octets target = OctetsAt(datagram, 16);
    const std::string sourceText = Ipv4Address{source}.Dotted();
    const std::string targetText = Ipv4Address{target}.Dotted();
    if (filter.filterBroadcast != 0 && target[3] == 255)
        return Reject;
    if (AnyNonEmptyMatches(filter.filterIps, sourceText) ||
        AnyNonEmptyMatches(filter.filterIps, targetText))
        return Reject;
    for (const std::string& entry : filter.monitorIps.Entries()) {
        if (!entry.empty() && !PatternMatches(entry, sourceText) &&
            !PatternMatches(entry, targetText))
            return Reject;
    }

    const PrivateRange range = RangeOf(localAddress.octets);
    const bool insideLan = InsideLocalPrivateNetwork(range, source, target);
    if (filter.filterLan != 0 && insideLan)
        return Reject;
    if (filter.monitorLan != 0 && range != PrivateRange::None && !insideLan)
        return Reject;

    std::string sourcePort;
    std::string targetPort;
    if (protocol == Tcp || protocol == Udp) {
        payload.Clear();
        const std::size_t minimumHeader = protocol == Tcp ? MinimumTcpHeader : UdpHeader;
        if (headerLength + minimumHeader > length)
            return Reject;
        const std::size_t transportHeader =
            protocol == Tcp ? std::size_t(datagram[headerLength + 12] >> 4) * 4 : UdpHeader;
        if (headerLength + transportHeader > length)
            return Reject;
        payload.Assign(datagram.subspan(headerLength + transportHeader));
        sourcePort = std::to_string(BigEndian16(datagram, headerLength));
        targetPort = std::to_string(BigEndian16(datagram, headerLength + 2));

        const std::string localText = localAddress.Dotted();
        std::string_view localPort;
        std::string_view remotePort;
        if (sourceText == localText || targetText == localText) {
            if (sourceText == localText) {
                localPort = sourcePort;
                remotePort = targetPort;
            }
            if (targetText == localText) {
                localPort = targetPort;
                remotePort = sourcePort;
            }
            if (AnyNonEmptyMatches(filter.filterLocalPorts, localPort) ||
                AnyNonEmptyMatches(filter.filterRemotePorts, remotePort) ||
                AnyNonEmptyFails(filter.monitorLocalPorts, localPort) ||
                AnyNonEmptyFails(filter.monitorRemotePorts, remotePort))
                return Reject;
        } else {
            // Neither end is this machine: there is no local port to demand anything of.
            if (!filter.monitorLocalPorts.IsEmpty() || !filter.monitorRemotePorts.IsEmpty())
                return Reject;
            if (source[0] == localAddress.octets[0]) {
                localPort = sourcePort;
                remotePort = targetPort;
            }
            if (target[0] == localAddress.octets[0]) {
                localPort = targetPort;
                remotePort = sourcePort;
            }
            if (AnyNonEmptyMatches(filter.filterLocalPorts, localPort) ||
                AnyNonEmptyMatches(filter.filterRemotePorts, remotePort))
                return Reject;
        }
    } else {
        payload.Clear();
    }

    fieldList.clear();
    fieldList.push_back(sourceText);
    fieldList.push_back(sourcePort);
    fieldList.push_back(protocolName);
    fieldList.push_back(targetText);
    fieldList.push_back(targetPort);
    protocolNumber = protocol;
    return Classification::Accepted;
}
