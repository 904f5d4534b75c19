#pragma once

#include "CapturedDatagram.h"

#include <optional>
#include <vector>

namespace talvane {

// Which captured datagrams belong to monitoring, judged by their capture time stamps: those
// captured while monitoring was on (from a begin up to the next pause or stop), and after a pause
// the first one captured since, which the worker still waiting in its read hands over before it
// ends. Everything else (before the first begin, during a pause, after a stop) is dropped.
// Datagrams are judged in the order they were captured. Not synchronised: the owner locks.
class MonitorSpans {
public:
    void Begin(CaptureTime at);
    void Pause(CaptureTime at);
    void Stop(CaptureTime at);

    // Whether the datagram captured at that moment is handed over. Admitting the one datagram
    // after a pause uses it up.
    bool Admit(CaptureTime captured);

private:
    struct Span {
        CaptureTime begin;
        CaptureTime end;
    };

    void Close(CaptureTime at);

    // Spans that have ended, oldest first; the capture may still hold datagrams from them.
    std::vector<Span> ended;
    std::optional<CaptureTime> runningSince;
    // Set by a pause until the one datagram captured from then on has been admitted.
    std::optional<CaptureTime> oneDueSince;
};

} // namespace talvane
