#include "HostAddressList.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

namespace talvane {

std::vector<Ipv4Address> HostAddressList::Order(const std::vector<InterfaceAddress>& interfaces) {
    std::vector<Ipv4Address> ordered;
    for (bool loopbackPass : {false, true}) {
        for (const InterfaceAddress& entry : interfaces) {
            if (entry.up && entry.loopback == loopbackPass)
                ordered.push_back(entry.address);
        }
    }
    return ordered;
}

std::vector<HostAddressList::InterfaceAddress> HostAddressList::ReadInterfaces() {
    std::vector<InterfaceAddress> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return interfaces;
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owned(list, freeifaddrs);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        InterfaceAddress item;
        item.interfaceName = entry->ifa_name;
        const auto* inet = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        std::memcpy(item.address.octets.data(), &inet->sin_addr, 4);
        item.up = (entry->ifa_flags & IFF_UP) != 0;
        item.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        interfaces.push_back(std::move(item));
    }
    return interfaces;
}

std::optional<std::string> HostAddressList::InterfaceHolding(const Ipv4Address& address) {
    for (const InterfaceAddress& entry : ReadInterfaces()) {
        if (entry.address == address)
            return entry.interfaceName;
    }
    return std::nullopt;
}

} // namespace talvane
