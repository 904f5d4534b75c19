#pragma once

#include "Ipv4Address.h"
#include "PacketBuffer.h"
#include "filtering/FilterSettings.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class Classification { Accepted = 0, Rejected = 1 };

// Decodes one IPv4 datagram and tests it against the active filter, in a fixed order of steps.
// On acceptance fieldList becomes the five display texts (source IP, source port, protocol name,
// destination IP, destination port) and protocol the IPv4 protocol number; on rejection neither
// is touched. A TCP or UDP datagram that gets as far as its ports leaves its payload in payload,
// also when the port tests then reject it.
//
// Nothing outside the datagram is read: a datagram whose total-length field differs from its
// length, whose header-length field is below 5, or whose IP or transport header does not fit in
// it is rejected.
Classification ClassifyPacket(std::span<const std::uint8_t> datagram,
                              const Ipv4Address& localAddress, const ActiveFilter& filter,
                              PacketBuffer& payload, std::vector<std::string>& fieldList,
                              std::int32_t& protocol);
