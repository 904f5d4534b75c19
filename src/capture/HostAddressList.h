#pragma once

#include "Ipv4Address.h"

#include <optional>
#include <string>
#include <vector>

namespace talvane {

// The machine's own IPv4 addresses, read once at start-up.
class HostAddressList {
public:
    struct InterfaceAddress {
        std::string interfaceName;
        Ipv4Address address;
        bool up = false;
        bool loopback = false;
    };

    // Addresses of interfaces that are up: non-loopback ones first in the given order,
    // loopback ones last.
    static std::vector<Ipv4Address> Order(const std::vector<InterfaceAddress>& interfaces);

    // Every IPv4 address of the interfaces of this network namespace, as getifaddrs lists them.
    static std::vector<InterfaceAddress> ReadInterfaces();

    // The name of the interface that holds the address, if any interface does.
    static std::optional<std::string> InterfaceHolding(const Ipv4Address& address);
};

} // namespace talvane
