#include "LinkFraming.h"

#include "base/BigEndian.h"
#include "base/LittleEndian.h"

namespace talvane {

namespace LinkFraming {
namespace {

constexpr std::uint16_t EtherTypeIpv4 = 0x0800;
constexpr std::uint16_t EtherTypeVlan = 0x8100;
constexpr std::uint16_t EtherTypeQinQ = 0x88a8;
constexpr std::size_t EthernetHeader = 14;
constexpr std::size_t VlanTag = 4;
constexpr std::size_t MinimumIpv4Header = 20;
constexpr std::uint32_t AfInet = 2;

bool StartsAsIpv4(std::span<const std::uint8_t> datagram) {
    return !datagram.empty() && (datagram[0] >> 4) == 4;
}

std::span<const std::uint8_t> AfterHeader(std::span<const std::uint8_t> frame, std::size_t header) {
    if (frame.size() <= header)
        return {};
    return frame.subspan(header);
}

std::span<const std::uint8_t> FromEthernet(std::span<const std::uint8_t> frame) {
    if (frame.size() < EthernetHeader)
        return {};
    std::size_t typeOffset = 12;
    std::uint16_t type = BigEndian::Get16(frame, typeOffset);
    while (type == EtherTypeVlan || type == EtherTypeQinQ) {
        typeOffset += VlanTag;
        if (frame.size() < typeOffset + 2)
            return {};
        type = BigEndian::Get16(frame, typeOffset);
    }
    if (type != EtherTypeIpv4)
        return {};
    return AfterHeader(frame, typeOffset + 2);
}

// Bytes past the total length are the link's, not the datagram's: an Ethernet frame's padding,
// its check sequence where the driver keeps it, a trailer. A total length that does not fit
// between the header and the frame's end leaves the bytes whole, for classification to judge.
std::span<const std::uint8_t> WithoutTrailer(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < MinimumIpv4Header)
        return datagram;
    const std::size_t headerLength = std::size_t(datagram[0] & 0x0F) * 4;
    const std::size_t totalLength = BigEndian::Get16(datagram, 2);
    if (headerLength < MinimumIpv4Header || headerLength > totalLength ||
        totalLength > datagram.size())
        return datagram;
    return datagram.first(totalLength);
}

std::span<const std::uint8_t> FromLoopback(std::span<const std::uint8_t> frame, bool networkOrder) {
    if (frame.size() < 4)
        return {};
    const std::uint32_t little = LittleEndian::Get32(frame, 0);
    const std::uint32_t big = BigEndian::Get32(frame, 0);
    const bool inet = networkOrder ? big == AfInet : (little == AfInet || big == AfInet);
    return inet ? AfterHeader(frame, 4) : std::span<const std::uint8_t>{};
}

std::span<const std::uint8_t> FromCooked(std::span<const std::uint8_t> frame, std::size_t header,
                                         std::size_t protocolOffset) {
    if (frame.size() < header || BigEndian::Get16(frame, protocolOffset) != EtherTypeIpv4)
        return {};
    return AfterHeader(frame, header);
}

} // namespace

std::span<const std::uint8_t> Ipv4Datagram(int linkType, std::span<const std::uint8_t> frame) {
    std::span<const std::uint8_t> datagram;
    switch (linkType) {
    case Ethernet:
        datagram = FromEthernet(frame);
        break;
    case BsdLoopback:
        datagram = FromLoopback(frame, false);
        break;
    case OpenBsdLoop:
        datagram = FromLoopback(frame, true);
        break;
    case LinuxCooked:
        datagram = FromCooked(frame, 16, 14);
        break;
    case LinuxCooked2:
        datagram = FromCooked(frame, 20, 0);
        break;
    case RawIp:
    case RawIpAlias:
    case RawIpv4:
        datagram = frame;
        break;
    default:
        return {};
    }
    return StartsAsIpv4(datagram) ? WithoutTrailer(datagram) : std::span<const std::uint8_t>{};
}

} // namespace LinkFraming

} // namespace talvane
