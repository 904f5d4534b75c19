#include "Ipv4Address.h"

#include <charconv>

namespace talvane {

// Written by hand: every datagram formats two addresses, and the list compares one per cell it
// paints, where printf's format parsing cost more than the rest of the text.
std::string Ipv4Address::Dotted() const {
    char text[16];
    char* end = text;
    for (std::size_t index = 0; index < octets.size(); ++index) {
        if (index > 0)
            *end++ = '.';
        end = std::to_chars(end, text + sizeof text, octets[index]).ptr;
    }
    return std::string(text, end);
}

std::optional<Ipv4Address> Ipv4Address::FromDotted(std::string_view text) {
    Ipv4Address address;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t index = 0; index < address.octets.size(); ++index) {
        if (index > 0 && (at == end || *at++ != '.'))
            return std::nullopt;
        unsigned octet = 256;
        const auto [next, error] = std::from_chars(at, end, octet);
        if (error != std::errc() || octet > 255 || next - at > 3)
            return std::nullopt;
        address.octets[index] = static_cast<std::uint8_t>(octet);
        at = next;
    }
    return at == end ? std::optional(address) : std::nullopt;
}

} // namespace talvane
