#include "ClassifyPacket.h"

namespace talvane {

PacketClass ClassifyPacket(std::span<const std::uint8_t> datagram, const Ipv4Address& localAddress,
                           const ActiveFilter& filter) {
    PacketClass packet;
    const std::optional<Datagram> decoded = DecodeDatagram(datagram);
    if (!decoded) {
        packet.rejection = Rejection::Malformed;
        return packet;
    }
    if (const std::optional<Rejection> rejection = FilterVerdict(*decoded, localAddress, filter))
        packet.rejection = rejection;
    else
        static_cast<Datagram&>(packet) = *decoded;
    return packet;
}

} // namespace talvane
