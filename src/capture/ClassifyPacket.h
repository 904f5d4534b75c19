#pragma once

#include "Datagram.h"
#include "FilterVerdict.h"
#include "Ipv4Address.h"
#include "filtering/FilterSettings.h"

#include <cstdint>
#include <optional>
#include <span>

namespace talvane {

enum class Classification { Accepted = 0, Rejected = 1 };

// What classification made of one datagram. Apart from rejection, the members describe an
// accepted datagram only; a rejected one keeps their defaults.
struct PacketClass : Datagram {
    // Empty when the datagram was accepted.
    std::optional<Rejection> rejection;

    Classification Verdict() const {
        return rejection ? Classification::Rejected : Classification::Accepted;
    }
};

// Decodes one IPv4 datagram and, where it decodes, tests it against the active filter.
PacketClass ClassifyPacket(std::span<const std::uint8_t> datagram, const Ipv4Address& localAddress,
                           const ActiveFilter& filter);

} // namespace talvane
