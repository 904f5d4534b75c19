#pragma once

#include "Datagram.h"
#include "Ipv4Address.h"
#include "filtering/FilterSettings.h"

#include <optional>

namespace talvane {

// The step that turned a datagram away.
enum class Rejection {
    Malformed,      // a length field disagrees with the datagram, or a header does not fit in it
    Protocol,       // not ICMP, IGMP, TCP or UDP, or not among the monitored protocols
    Broadcast,      // to a .255 address while broadcasts are filtered
    Address,        // by the filtered or monitored address patterns
    PrivateNetwork, // by the two switches for the local private network
    Port,           // by the four port pattern lists
};

// Tests a decoded datagram against the active filter, for the monitored local address. The steps
// run in a fixed order, the first to reject deciding: protocol, broadcast, addresses, private
// network, then for TCP and UDP the ports; nullopt when the datagram passes them all. A fragment
// after the first has no ports: a port list that requires a port rejects it.
std::optional<Rejection> FilterVerdict(const Datagram& datagram, const Ipv4Address& localAddress,
                                       const ActiveFilter& filter);

} // namespace talvane
