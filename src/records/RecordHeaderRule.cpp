#include "RecordHeaderRule.h"

#include "RecordTexts.h"

#include <charconv>
#include <optional>

namespace {

constexpr std::int32_t TcpProtocol = 6;
constexpr std::int32_t UdpProtocol = 17;

std::uint16_t PortOf(const std::string& text) {
    std::uint16_t port = 0;
    std::from_chars(text.data(), text.data() + text.size(), port);
    return port;
}

std::optional<Transport> TransportOf(std::int32_t protocol) {
    switch (protocol) {
    case TcpProtocol:
        return Transport::Tcp;
    case UdpProtocol:
        return Transport::Udp;
    default:
        return std::nullopt;
    }
}

} // namespace

RecordHeader MakeRecordHeader(const AcceptedPacket& packet, const Ipv4Address& localAddress,
                              OwnerSource& owners) {
    RecordHeader header;
    header.sourceIp = packet.fieldList[0];
    header.sourcePort = packet.fieldList[1];
    header.protocolName = packet.fieldList[2];
    header.destinationIp = packet.fieldList[3];
    header.destinationPort = packet.fieldList[4];
    header.timeText = RecordTimeText(
        std::chrono::floor<std::chrono::seconds>(packet.captured).time_since_epoch().count());

    const std::optional<Transport> transport = TransportOf(packet.protocol);
    const std::string local = localAddress.Dotted();
    const bool sent = local == header.sourceIp;
    if (!transport || (!sent && local != header.destinationIp))
        return header;
    const std::optional<Ipv4Address> remote =
        Ipv4Address::FromDotted(sent ? header.destinationIp : header.sourceIp);
    const SocketQuery query{
        *transport, localAddress, PortOf(sent ? header.sourcePort : header.destinationPort),
        remote.value_or(Ipv4Address{}), PortOf(sent ? header.destinationPort : header.sourcePort)};
    OwnerAnswer owner = owners.Owner(query);
    if (owner.status == OwnerAnswer::Status::Named && !owner.name.empty()) {
        header.processName = std::move(owner.name);
        header.direction = sent ? "send" : "receive";
    }
    return header;
}
