#pragma once

#include "PatternList.h"

#include <cstdint>
#include <string>

namespace talvane {

// The user's filter: five switches (any non-zero value is on) and six pattern fields as typed.
struct FilterSettings {
    std::int32_t filterBroadcast = 0;
    std::int32_t filterLan = 0;
    std::int32_t monitorUdp = 0;
    std::int32_t monitorTcp = 0;
    std::int32_t monitorLan = 0;
    std::string filterLocalPortText;
    std::string filterRemotePortText;
    std::string filterIpText;
    std::string monitorLocalPortText;
    std::string monitorRemotePortText;
    std::string monitorIpText;

    friend bool operator==(const FilterSettings&, const FilterSettings&) = default;
};

// The filter the classifier applies: the switches and the parsed pattern lists. Empty, it
// rejects nothing.
struct ActiveFilter {
    std::int32_t filterBroadcast = 0;
    std::int32_t filterLan = 0;
    PatternList filterLocalPorts;
    PatternList filterRemotePorts;
    PatternList filterIps;
    std::int32_t monitorUdp = 0;
    std::int32_t monitorTcp = 0;
    std::int32_t monitorLan = 0;
    PatternList monitorLocalPorts;
    PatternList monitorRemotePorts;
    PatternList monitorIps;

    static ActiveFilter From(const FilterSettings& settings);

    friend bool operator==(const ActiveFilter&, const ActiveFilter&) = default;
};

} // namespace talvane
