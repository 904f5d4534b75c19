#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvane {

// A local or remote IPv4 address, first octet first (network order).
struct Ipv4Address {
    std::array<std::uint8_t, 4> octets{};

    // "%d.%d.%d.%d", the one form in which the program shows and compares addresses.
    std::string Dotted() const;
    // Reads the dotted form back; nullopt for anything else.
    static std::optional<Ipv4Address> FromDotted(std::string_view text);

    friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
};

} // namespace talvane
