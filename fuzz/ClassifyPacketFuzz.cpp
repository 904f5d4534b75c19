// Any bytes as a captured datagram, against a filter chosen by the input's first bytes: the
// classification must stay inside the datagram and give a consistent result.

#include "capture/ClassifyPacket.h"

#include <cstdlib>
#include <memory>

using namespace talvane;

namespace {

constexpr const char* Ports[] = {"", "80", "8@8@", "@@", "0|53", "137"};
constexpr const char* Addresses[] = {"", "10.0.0.@", "192.168.0.25@", "@@@.@@@.@@@.@@@"};

const char* Pick(std::span<const char* const> choices, std::uint8_t byte) {
    return choices[byte % choices.size()];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t Setup = 4 + 1 + 6;
    if (size < Setup)
        return 0;
    const Ipv4Address local{{data[0], data[1], data[2], data[3]}};
    const std::uint8_t switches = data[4];
    FilterSettings settings;
    settings.filterBroadcast = switches & 1;
    settings.filterLan = switches >> 1 & 1;
    settings.monitorUdp = switches >> 2 & 1;
    settings.monitorTcp = switches >> 3 & 1;
    settings.monitorLan = switches >> 4 & 1;
    settings.filterLocalPortText = Pick(Ports, data[5]);
    settings.filterRemotePortText = Pick(Ports, data[6]);
    settings.monitorLocalPortText = Pick(Ports, data[7]);
    settings.monitorRemotePortText = Pick(Ports, data[8]);
    settings.filterIpText = Pick(Addresses, data[9]);
    settings.monitorIpText = Pick(Addresses, data[10]);
    const ActiveFilter filter = ActiveFilter::From(settings);

    // An exactly sized copy, so that a read past the datagram is caught.
    const std::size_t length = size - Setup;
    const auto datagram = std::make_unique<std::uint8_t[]>(length);
    std::copy(data + Setup, data + size, datagram.get());
    const PacketClass packet = ClassifyPacket({datagram.get(), length}, local, filter);
    if (packet.Verdict() == Classification::Rejected)
        return 0;
    const bool transport = packet.protocol == IpProtocol::Tcp || packet.protocol == IpProtocol::Udp;
    // A later fragment carries no transport header: no ports, its payload behind the IP header.
    const bool laterFragment = (datagram[6] & 0x1F) != 0 || datagram[7] != 0;
    const std::size_t ipHeaderLength = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    const bool hasPorts = transport && !laterFragment;
    // Protocols without ports keep no payload.
    if (packet.ports.has_value() != hasPorts || packet.payloadStart > length ||
        (!transport && packet.payloadStart != length) ||
        (transport && laterFragment && packet.payloadStart != ipHeaderLength))
        std::abort();
    return 0;
}
