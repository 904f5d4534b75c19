#include "FilterSettings.h"

namespace talvane {

ActiveFilter ActiveFilter::From(const FilterSettings& settings) {
    using Kind = PatternList::Kind;
    ActiveFilter filter;
    filter.filterBroadcast = settings.filterBroadcast;
    filter.filterLan = settings.filterLan;
    filter.filterLocalPorts =
        PatternList::ParsePatternField(settings.filterLocalPortText, Kind::Port);
    filter.filterRemotePorts =
        PatternList::ParsePatternField(settings.filterRemotePortText, Kind::Port);
    filter.filterIps = PatternList::ParsePatternField(settings.filterIpText, Kind::Address);
    filter.monitorUdp = settings.monitorUdp;
    filter.monitorTcp = settings.monitorTcp;
    filter.monitorLan = settings.monitorLan;
    filter.monitorLocalPorts =
        PatternList::ParsePatternField(settings.monitorLocalPortText, Kind::Port);
    filter.monitorRemotePorts =
        PatternList::ParsePatternField(settings.monitorRemotePortText, Kind::Port);
    filter.monitorIps = PatternList::ParsePatternField(settings.monitorIpText, Kind::Address);
    return filter;
}

} // namespace talvane
