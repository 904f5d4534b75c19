#include "Ipv4Address.h"

#include <cstdio>

std::string Ipv4Address::Dotted() const {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
    return text;
}
