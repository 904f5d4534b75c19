#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace talvane {

// Finds the IPv4 datagram inside a captured link-layer frame, so that the program sees each
// datagram from its first header byte, as a raw IP socket would deliver it.
namespace LinkFraming {

// libpcap link-layer types (pcap_datalink) that can carry IPv4.
enum LinkType : int {
    BsdLoopback = 0,   // DLT_NULL: 4-byte family in host order
    Ethernet = 1,      // DLT_EN10MB, with 802.1Q / 802.1ad tags
    RawIp = 12,        // DLT_RAW
    RawIpAlias = 101,  // LINKTYPE_RAW, as some captures report it
    OpenBsdLoop = 108, // DLT_LOOP: 4-byte family in network order
    LinuxCooked = 113, // DLT_LINUX_SLL
    RawIpv4 = 228,     // DLT_IPV4
    LinuxCooked2 = 276 // DLT_LINUX_SLL2
};

// The datagram the frame carries, or an empty span when it carries no IPv4 datagram. Where the
// header's length is at most the IPv4 total length and that at most what the frame carries, the
// datagram is cut to its total length: what follows is padding or a trailer.
std::span<const std::uint8_t> Ipv4Datagram(int linkType, std::span<const std::uint8_t> frame);

} // namespace LinkFraming

} // namespace talvane
