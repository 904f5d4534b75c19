#include "Datagram.h"

#include "base/BigEndian.h"

#include <cstring>

namespace talvane {

namespace {

constexpr std::size_t MinimumIpHeader = 20;
constexpr std::size_t UdpHeader = 8;
constexpr std::size_t MinimumTcpHeader = 20;
constexpr std::uint16_t FragmentOffsetMask = 0x1FFF;

Ipv4Address AddressAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    Ipv4Address address;
    std::memcpy(address.octets.data(), bytes.data() + offset, address.octets.size());
    return address;
}

struct TransportHeader {
    TransportPorts ports;
    std::size_t payloadStart;
};

// Nullopt when the TCP or UDP header does not fit behind the IP header, or when the TCP data
// offset is shorter than the header it ends.
std::optional<TransportHeader> ReadTransportHeader(std::span<const std::uint8_t> bytes,
                                                   std::size_t ipHeaderLength, bool tcp) {
    const std::size_t minimum = tcp ? MinimumTcpHeader : UdpHeader;
    if (ipHeaderLength + minimum > bytes.size())
        return std::nullopt;
    const std::size_t headerLength =
        tcp ? std::size_t(bytes[ipHeaderLength + 12] >> 4) * 4 : UdpHeader;
    if (headerLength < minimum || ipHeaderLength + headerLength > bytes.size())
        return std::nullopt;
    return TransportHeader{
        {BigEndian::Get16(bytes, ipHeaderLength), BigEndian::Get16(bytes, ipHeaderLength + 2)},
        ipHeaderLength + headerLength};
}

} // namespace

std::optional<Datagram> DecodeDatagram(std::span<const std::uint8_t> bytes) {
    const std::size_t length = bytes.size();
    if (length < 4 || BigEndian::Get16(bytes, 2) != length)
        return std::nullopt;
    const std::size_t headerLength = std::size_t(bytes[0] & 0x0F) * 4;
    if (headerLength < MinimumIpHeader || headerLength > length)
        return std::nullopt;

    Datagram datagram;
    datagram.protocol = IpProtocol{bytes[9]};
    datagram.source = AddressAt(bytes, 12);
    datagram.destination = AddressAt(bytes, 16);
    datagram.payloadStart = length;
    const bool tcp = datagram.protocol == IpProtocol::Tcp;
    if (!tcp && datagram.protocol != IpProtocol::Udp)
        return datagram;
    // A fragment after the first continues the transport payload, with no header.
    if ((BigEndian::Get16(bytes, 6) & FragmentOffsetMask) != 0) {
        datagram.payloadStart = headerLength;
        return datagram;
    }
    const std::optional<TransportHeader> transport = ReadTransportHeader(bytes, headerLength, tcp);
    if (!transport)
        return std::nullopt;
    datagram.ports = transport->ports;
    datagram.payloadStart = transport->payloadStart;
    return datagram;
}

} // namespace talvane
