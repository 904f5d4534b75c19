#include "MonitorSpans.h"

#include <algorithm>

namespace talvane {

void MonitorSpans::Begin(CaptureTime at) {
    if (!runningSince)
        runningSince = at;
    oneDueSince.reset();
}

void MonitorSpans::Pause(CaptureTime at) {
    Close(at);
    oneDueSince = at;
}

void MonitorSpans::Stop(CaptureTime at) {
    Close(at);
    oneDueSince.reset();
}

void MonitorSpans::Close(CaptureTime at) {
    if (runningSince && *runningSince < at)
        ended.push_back({*runningSince, at});
    runningSince.reset();
}

bool MonitorSpans::Admit(CaptureTime captured) {
    // Later datagrams are captured later still, so no span that ended by now can hold them.
    std::erase_if(ended, [captured](const Span& span) { return span.end <= captured; });
    if (runningSince && captured >= *runningSince)
        return true;
    if (std::ranges::any_of(ended, [captured](const Span& span) {
            return span.begin <= captured && captured < span.end;
        }))
        return true;
    if (oneDueSince && captured >= *oneDueSince) {
        oneDueSince.reset();
        return true;
    }
    return false;
}

} // namespace talvane
