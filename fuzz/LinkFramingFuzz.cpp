// Any bytes as a captured frame of a link type chosen by the first byte: the framing finds a
// datagram inside the frame, no longer than its total length where that fits behind its header,
// and classifying that datagram stays inside it.

#include "capture/ClassifyPacket.h"
#include "capture/LinkFraming.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace talvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace LinkFraming;
    // The known types and one that is not.
    constexpr int LinkTypes[] = {Ethernet, BsdLoopback, OpenBsdLoop, LinuxCooked, LinuxCooked2,
                                 RawIp,    RawIpAlias,  RawIpv4,     147};
    if (size < 1)
        return 0;
    const int linkType = LinkTypes[data[0] % std::size(LinkTypes)];
    // Exactly sized copies, so that a read past the frame or the datagram is caught.
    const std::size_t frameLength = size - 1;
    const auto frame = std::make_unique<std::uint8_t[]>(frameLength);
    std::copy(data + 1, data + size, frame.get());
    const std::span<const std::uint8_t> found = Ipv4Datagram(linkType, {frame.get(), frameLength});
    if (found.empty())
        return 0;
    if (found.data() < frame.get() || found.data() + found.size() > frame.get() + frameLength ||
        found[0] >> 4 != 4)
        std::abort();
    if (found.size() >= 4) {
        const std::size_t headerLength = std::size_t(found[0] & 0x0F) * 4;
        const std::size_t totalLength = std::size_t(found[2]) << 8 | found[3];
        if (headerLength >= 20 && headerLength <= totalLength && found.size() > totalLength)
            std::abort();
    }

    const auto datagram = std::make_unique<std::uint8_t[]>(found.size());
    std::copy(found.begin(), found.end(), datagram.get());
    const PacketClass packet =
        ClassifyPacket({datagram.get(), found.size()}, Ipv4Address{{10, 0, 0, 1}}, ActiveFilter{});
    if (packet.Verdict() == Classification::Accepted && packet.payloadStart > found.size())
        std::abort();
    return 0;
}
